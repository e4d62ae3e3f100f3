// Pure geometry of snapping a window to a part of a screen.
#include "inventory/SnapGeometry.h"

namespace zumo {

namespace {

bool containsHalfOpen(const QRectF& rect, QPointF point)
{
    return point.x() >= rect.left() && point.x() < rect.left() + rect.width() && point.y() >= rect.top() &&
           point.y() < rect.top() + rect.height();
}

} // namespace

QRectF toTopLeft(const QRectF& bottomLeft, double primaryHeight)
{
    return QRectF(bottomLeft.x(), primaryHeight - (bottomLeft.y() + bottomLeft.height()), bottomLeft.width(),
                  bottomLeft.height());
}

std::vector<BottomLeftScreen> toBottomLeft(const std::vector<Screen>& screens)
{
    std::vector<BottomLeftScreen> result;
    if (screens.empty())
        return result;
    double primaryHeight = screens.front().frame.height();
    for (const Screen& screen : screens)
        result.push_back(
            {toTopLeft(screen.frame, primaryHeight), toTopLeft(screen.visibleFrame, primaryHeight)});
    return result;
}

std::optional<SnapScreenInfo> chooseSnapScreen(const std::vector<BottomLeftScreen>& screens,
                                               std::optional<int> mainScreen, const QRectF& windowFrame)
{
    if (screens.empty())
        return std::nullopt;
    double primaryHeight = screens.front().frame.height();
    QPointF centre(windowFrame.x() + windowFrame.width() * 0.5, windowFrame.y() + windowFrame.height() * 0.5);
    for (const BottomLeftScreen& screen : screens)
        if (containsHalfOpen(toTopLeft(screen.frame, primaryHeight), centre))
            return SnapScreenInfo{primaryHeight, screen.visibleFrame};
    std::size_t index = 0;
    if (mainScreen && *mainScreen >= 0 && std::size_t(*mainScreen) < screens.size())
        index = std::size_t(*mainScreen);
    return SnapScreenInfo{primaryHeight, screens[index].visibleFrame};
}

std::optional<QRectF> snapTarget(const SnapScreenInfo& screen, SnapTo target)
{
    const QRectF r = toTopLeft(screen.visibleFrame, screen.primaryHeight);
    const double midX = r.x() + r.width() * 0.5;
    const double midY = r.y() + r.height() * 0.5;
    switch (target) {
    case SnapTo::left:
        return QRectF(r.x(), r.y(), r.width() * 0.5, r.height());
    case SnapTo::right:
        return QRectF(midX, r.y(), r.width() * 0.5, r.height());
    case SnapTo::top:
        return QRectF(r.x(), r.y(), r.width(), r.height() * 0.5);
    case SnapTo::bottom:
        return QRectF(r.x(), midY, r.width(), r.height() * 0.5);
    case SnapTo::full:
        return r;
    case SnapTo::center: {
        const double w = r.width() * 0.6;
        const double h = r.height() * 0.7;
        return QRectF(midX - w * 0.5, midY - h * 0.5, w, h);
    }
    }
    return std::nullopt;
}

} // namespace zumo
