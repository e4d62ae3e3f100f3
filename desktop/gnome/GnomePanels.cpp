// Paints the run as the Wayland overlay does, and hands the image to the extension.
#include "desktop/gnome/GnomePanels.h"

#include <QDBusUnixFileDescriptor>
#include <QPainter>
#include <cmath>
#include <sys/mman.h>
#include <unistd.h>

#include "desktop/gnome/ShellBridge.h"
#include "panel/PanelBackground.h"
#include "panel/PanelRules.h"
#include "settings/Settings.h"

namespace zumo::gnome {

namespace {

QSize frameSize(const RunView& view, int tileSize)
{
    return pixelSize(panelShape(view, tileSize));
}

// The extension's pointer kinds.
enum PointerKind { Moved = 0, Pressed = 1, WheelUp = 2, WheelDown = 3 };

} // namespace

GnomePanels::GnomePanels(const Settings& settings, ShellBridge& bridge, std::function<void()> hidden)
    : m_settings(settings), m_bridge(bridge), m_hidden(std::move(hidden))
{
    m_pointer = bridge.panelPointer.subscribe([this](int kind, double x, double y) { pointer(kind, x, y); });
    draw(warmUpView());
}

int GnomePanels::rowsThatFit(const RunView& view, const QRectF& availableArea) const
{
    return zumo::rowsThatFit(panelShape(view, m_settings.tileSize()), availableArea.height());
}

void GnomePanels::show(const RunView& view, const std::vector<QRect>&)
{
    m_shown = true;
    paint(view);
}

void GnomePanels::redraw(const RunView& view)
{
    if (m_shown)
        paint(view);
}

void GnomePanels::warmUp(const RunView& view)
{
    draw(view);
}

void GnomePanels::hide()
{
    m_shown = false;
    m_hidden();
}

void GnomePanels::resetPointer()
{
    m_lastPointer.reset();
    m_scrolled = 0;
}

void GnomePanels::pointer(int kind, double x, double y)
{
    if (!m_shown || !m_settings.mouse())
        return;
    if (kind == WheelUp || kind == WheelDown) {
        const ScrollDecision decision = accumulateScroll(m_scrolled, kind == WheelUp ? 1.0 : -1.0);
        m_scrolled = decision.accumulated;
        if (decision.step != 0)
            scrolled.notify(decision.step);
        return;
    }
    if (kind == Moved) {
        const HoverDecision decision = decideHover(m_lastPointer, QPointF(x, y));
        m_lastPointer = decision.anchor;
        if (!decision.hover)
            return;
    }
    const int index = tileAt(m_shape, QPointF(x, y));
    if (index >= 0)
        (kind == Pressed ? picked : hovered).notify(index);
}

void GnomePanels::paint(const RunView& view)
{
    m_shape = panelShape(view, m_settings.tileSize());
    draw(view);
    // The bytes as Qt lays them out (premultiplied BGRA in memory on this little-endian
    // machine), in a memory file whose descriptor goes over the bus instead of the bytes.
    const int fd = memfd_create("zumo-panel", MFD_CLOEXEC);
    if (fd < 0)
        return;
    const qsizetype size = m_frame.sizeInBytes();
    const bool written = write(fd, m_frame.constBits(), std::size_t(size)) == size;
    if (written)
        m_bridge.call(QStringLiteral("ShowPanel"), {QVariant::fromValue(QDBusUnixFileDescriptor(fd)), m_frame.width(),
                                                     m_frame.height(), int(m_frame.bytesPerLine())});
    ::close(fd);
}

void GnomePanels::draw(const RunView& view)
{
    const QSize size = frameSize(view, m_settings.tileSize());
    if (m_frame.size() != size)
        m_frame = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_frame.fill(Qt::transparent);
    QPainter painter(&m_frame);
    painter.setRenderHint(QPainter::Antialiasing);
    // The Shell blends its actors: the panel is translucent with rounded corners.
    paintPanelBackground(painter, QRectF(QPointF(0, 0), size), true);
    m_painter.paint(painter, PanelContent{view, m_settings.tileSize(), m_settings.showNumbers()});
}

} // namespace zumo::gnome
