// A desktop's own window reads and actions, with what is inside each window (browser tabs)
// from the window parts layer: for desktops whose backend knows windows but not their parts.
#pragma once

#include <functional>

#include "platform/WindowParts.h"

namespace zumo::atspi {

class PartsOverlay final : public Accessibility {
public:
    // What the desktop knows of a window element, enough to find it among the parts; nothing for
    // an unknown window or one whose process the desktop does not tell.
    using FactsOf = std::function<std::optional<WindowFacts>(ElementRef)>;

    // `windows` and `parts` must outlive this.
    PartsOverlay(Accessibility& windows, WindowParts& parts, FactsOf factsOf)
        : m_windows(windows), m_parts(parts), m_factsOf(std::move(factsOf))
    {
    }

    std::optional<std::vector<ElementRef>> windows(Pid pid, double timeout) override { return m_windows.windows(pid, timeout); }
    void setTimeout(ElementRef element, double seconds) override;
    void limitThisThread(std::optional<double> seconds) override;
    std::optional<QString> string(ElementRef element, const QString& attribute) override;
    std::optional<bool> boolean(ElementRef element, const QString& attribute) override;
    std::optional<double> number(ElementRef element, const QString& attribute) override;
    std::optional<ElementRef> element(ElementRef element, const QString& attribute) override;
    // A window's "AXChildren" are its top-level parts.
    std::optional<std::vector<ElementRef>> elements(ElementRef element, const QString& attribute) override;
    std::optional<QRectF> frame(ElementRef element) override;
    std::optional<std::uint32_t> windowNumber(ElementRef element) override { return m_windows.windowNumber(element); }
    std::optional<ElementRef> windowOfNumber(std::uint32_t number) override { return m_windows.windowOfNumber(number); }
    void setBoolean(ElementRef element, const QString& attribute, bool value) override;
    void setPosition(ElementRef element, QPointF position) override;
    void setSize(ElementRef element, QSizeF size) override;
    void setFrame(ElementRef element, const QRectF& frame) override;
    void perform(ElementRef element, const QString& action) override;
    void setFrontmost(Pid pid, double timeout) override { m_windows.setFrontmost(pid, timeout); }

private:
    // A part element goes to the parts layer and never to the desktop: pressing a tab must never
    // reach its window's close button.
    Accessibility& route(ElementRef element) { return isPartElement(element) ? static_cast<Accessibility&>(m_parts) : m_windows; }

    Accessibility& m_windows;
    WindowParts& m_parts;
    FactsOf m_factsOf;
};

} // namespace zumo::atspi
