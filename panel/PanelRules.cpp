// Pure decisions of the switcher panel: badge and subtitle texts, hover slop, scroll steps.
#include "panel/PanelRules.h"

#include <QLineF>
#include <cmath>

namespace zumo {

QString badgeText(int index, bool showNumbers)
{
    // Shared strings, so that painting a badge does not allocate.
    static const QString digits[9] = {
        QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
        QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
    if (!showNumbers || index < 0 || index >= 9)
        return {};
    return digits[index];
}

QString subtitleText(const Entry& entry)
{
    const QString& name = entry.app.name;
    if (entry.otherSpace)
        return name + QStringLiteral(" · other desktop");
    if (entry.tab)
        return name + QStringLiteral(" · tab");
    if (name == entry.title)
        return {};
    return name;
}

HoverDecision decideHover(std::optional<QPointF> anchor, QPointF point)
{
    if (!anchor)
        return {false, point};
    if (QLineF(*anchor, point).length() <= HoverSlop)
        return {false, *anchor};
    return {true, point};
}

double wheelDistance(QPoint pixelDelta, QPoint angleDelta)
{
    // Touchpads report pixels, which are already points. A classic wheel reports eighths of a
    // degree, 15 degrees a notch; counting a degree as a point makes one notch one step.
    const QPointF d = pixelDelta.isNull() ? QPointF(angleDelta) / 8.0 : QPointF(pixelDelta);
    return std::abs(d.x()) > std::abs(d.y()) ? d.x() : d.y();
}

ScrollDecision accumulateScroll(double accumulated, double delta)
{
    if (!std::isfinite(delta))
        return {accumulated, 0};
    const double acc = accumulated - delta;
    if (std::abs(acc) <= ScrollStepDistance)
        return {acc, 0};
    return {0, acc > 0 ? 1 : -1};
}

} // namespace zumo
