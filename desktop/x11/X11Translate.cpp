// Pure translations of X window properties into window records.
#include "desktop/x11/X11Translate.h"

#include <algorithm>

namespace zumo::x11 {

namespace {

constexpr std::uint32_t MaxIconSide = 4096;

} // namespace

WindowKind windowKind(std::span<const std::uint32_t> types, const KindAtoms& atoms)
{
    if (types.empty())
        return WindowKind::Normal;
    for (std::uint32_t type : types) {
        if (type == atoms.normal)
            return WindowKind::Normal;
        if (type == atoms.dialog)
            return WindowKind::Dialog;
    }
    return WindowKind::Other;
}

QString subroleFor(WindowKind kind)
{
    switch (kind) {
    case WindowKind::Normal:
        return QStringLiteral("AXStandardWindow");
    case WindowKind::Dialog:
        return QStringLiteral("AXDialog");
    case WindowKind::Other:
        break;
    }
    return QStringLiteral("AXUnknown");
}

WindowState parseWindowState(std::span<const std::uint32_t> states, const StateAtoms& atoms)
{
    WindowState state;
    for (std::uint32_t atom : states) {
        state.hidden |= atom == atoms.hidden;
        state.skipTaskbar |= atom == atoms.skipTaskbar;
        state.sticky |= atom == atoms.sticky;
    }
    return state;
}

bool isMinimised(const WindowState& state, std::optional<std::uint32_t> wmState)
{
    return state.hidden || wmState == IconicState;
}

std::vector<QSize> iconSizes(std::span<const std::uint32_t> data)
{
    std::vector<QSize> sizes;
    std::size_t at = 0;
    while (data.size() - at >= 2) {
        std::uint32_t width = data[at], height = data[at + 1];
        if (width == 0 || height == 0 || width > MaxIconSide || height > MaxIconSide)
            break;
        std::size_t pixels = std::size_t(width) * height;
        if (pixels > data.size() - at - 2)
            break;  // truncated: the property was cut short
        sizes.emplace_back(int(width), int(height));
        at += 2 + pixels;
    }
    return sizes;
}

std::optional<std::size_t> chooseIcon(const std::vector<QSize>& sizes, int preferred)
{
    std::optional<std::size_t> fitting, larger;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        int side = std::max(sizes[i].width(), sizes[i].height());
        if (side <= preferred) {
            if (!fitting || side > std::max(sizes[*fitting].width(), sizes[*fitting].height()))
                fitting = i;
        } else if (!larger || side < std::max(sizes[*larger].width(), sizes[*larger].height())) {
            larger = i;
        }
    }
    return fitting ? fitting : larger;
}

QImage decodeIcon(std::span<const std::uint32_t> data, int preferred, int largest)
{
    std::vector<QSize> sizes = iconSizes(data);
    std::optional<std::size_t> chosen = chooseIcon(sizes, preferred);
    if (!chosen)
        return {};
    std::size_t at = 0;
    for (std::size_t i = 0; i < *chosen; ++i)
        at += 2 + std::size_t(sizes[i].width()) * sizes[i].height();
    const QSize size = sizes[*chosen];
    QImage image(size, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    const std::uint32_t* pixels = data.data() + at + 2;
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::copy_n(pixels + std::size_t(y) * size.width(), size.width(), line);
    }
    if (size.width() <= largest && size.height() <= largest)
        return image;
    return image.scaled(largest, largest, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

WmClass parseWmClass(const QByteArray& value)
{
    QList<QByteArray> parts = value.split('\0');
    WmClass result;
    if (!parts.isEmpty())
        result.instance = QString::fromLocal8Bit(parts[0]);
    if (parts.size() > 1)
        result.className = QString::fromLocal8Bit(parts[1]);
    return result;
}

QString decodeText(const QByteArray& value, bool utf8)
{
    QByteArray text = value;
    if (qsizetype nul = text.indexOf('\0'); nul >= 0)
        text.truncate(nul);
    return utf8 ? QString::fromUtf8(text) : QString::fromLatin1(text);
}

FrameExtents parseFrameExtents(std::span<const std::uint32_t> values)
{
    if (values.size() < 4)
        return {};
    auto side = [](std::uint32_t v) { return int(std::min<std::uint32_t>(v, 10000)); };
    return {side(values[0]), side(values[1]), side(values[2]), side(values[3])};
}

QRect frameRect(const QRect& client, const FrameExtents& extents)
{
    return client.adjusted(-extents.left, -extents.top, extents.right, extents.bottom);
}

QSize clientSizeForFrame(const QSize& frameSize, const FrameExtents& extents)
{
    return {std::max(1, frameSize.width() - extents.left - extents.right),
            std::max(1, frameSize.height() - extents.top - extents.bottom)};
}

bool isOnscreen(std::optional<std::uint32_t> desktop, std::uint32_t currentDesktop, const WindowState& state,
                bool minimised)
{
    if (minimised)
        return false;
    return !desktop || *desktop == currentDesktop || *desktop == AllDesktops || state.sticky;
}

std::optional<QRect> workArea(std::span<const std::uint32_t> values, std::uint32_t desktop)
{
    std::size_t at = std::size_t(desktop) * 4;
    if (desktop == AllDesktops || values.size() < at + 4)
        return std::nullopt;
    QRect area(int(values[at]), int(values[at + 1]), int(values[at + 2]), int(values[at + 3]));
    if (area.isEmpty())
        return std::nullopt;
    return area;
}

} // namespace zumo::x11
