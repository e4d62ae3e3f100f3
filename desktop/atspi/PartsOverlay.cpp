// Each element goes to the layer that knows it; only a window's children join the two.
#include "desktop/atspi/PartsOverlay.h"

namespace zumo::atspi {

void PartsOverlay::setTimeout(ElementRef element, double seconds)
{
    route(element).setTimeout(element, seconds);
}

void PartsOverlay::limitThisThread(std::optional<double> seconds)
{
    // Only the parts are asked over a bus; the desktop's reads never wait.
    m_parts.limitThisThread(seconds);
}

std::optional<QString> PartsOverlay::string(ElementRef element, const QString& attribute)
{
    return route(element).string(element, attribute);
}

std::optional<bool> PartsOverlay::boolean(ElementRef element, const QString& attribute)
{
    return route(element).boolean(element, attribute);
}

std::optional<double> PartsOverlay::number(ElementRef element, const QString& attribute)
{
    return route(element).number(element, attribute);
}

std::optional<ElementRef> PartsOverlay::element(ElementRef element, const QString& attribute)
{
    return route(element).element(element, attribute);
}

std::optional<std::vector<ElementRef>> PartsOverlay::elements(ElementRef element, const QString& attribute)
{
    if (isPartElement(element) || attribute != QLatin1String("AXChildren"))
        return route(element).elements(element, attribute);
    const std::optional<WindowFacts> facts = m_factsOf(element);
    if (!facts)
        return std::nullopt;
    return m_parts.windowChildren(*facts);
}

std::optional<QRectF> PartsOverlay::frame(ElementRef element)
{
    return route(element).frame(element);
}

void PartsOverlay::setBoolean(ElementRef element, const QString& attribute, bool value)
{
    route(element).setBoolean(element, attribute, value);
}

void PartsOverlay::setPosition(ElementRef element, QPointF position)
{
    route(element).setPosition(element, position);
}

void PartsOverlay::setSize(ElementRef element, QSizeF size)
{
    route(element).setSize(element, size);
}

void PartsOverlay::setFrame(ElementRef element, const QRectF& frame)
{
    route(element).setFrame(element, frame);
}

void PartsOverlay::perform(ElementRef element, const QString& action)
{
    route(element).perform(element, action);
}

} // namespace zumo::atspi
