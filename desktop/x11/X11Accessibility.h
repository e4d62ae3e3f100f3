// Other applications' windows on X11, answered from the window model: an element is an X window
// id, and every read comes from the latest snapshot without a round trip.
#pragma once

#include "platform/Accessibility.h"
#include "platform/WindowParts.h"

namespace zumo::x11 {

class X11WindowModel;
class X11Actions;

// Attributes answered: "AXSubrole" ("AXStandardWindow", "AXDialog", "AXUnknown"), "AXTitle",
// "AXRole" ("AXWindow"), "AXMinimized", "AXMain" and "AXFocused" (the active window),
// "AXCloseButton" (the window itself: pressing it closes the window). A window no longer listed
// yields nothing. Window parts (browser tabs among them) are not the X server's: "AXChildren" of a
// window and every request about a part element go to the parts layer, when there is one.
class X11Accessibility final : public Accessibility {
public:
    // The model, actions and parts (may be null: no window parts) must outlive this. Any thread.
    X11Accessibility(X11WindowModel& model, X11Actions& actions, WindowParts* parts = nullptr);

    // The application's windows front to back (most recently raised first); empty when it has none.
    std::optional<std::vector<ElementRef>> windows(Pid pid, double timeout) override;
    void setTimeout(ElementRef element, double seconds) override;
    // Forwarded to the window parts, the only reads that wait on another application.
    void limitThisThread(std::optional<double> seconds) override;
    std::optional<QString> string(ElementRef element, const QString& attribute) override;
    std::optional<bool> boolean(ElementRef element, const QString& attribute) override;
    std::optional<double> number(ElementRef element, const QString& attribute) override;
    std::optional<ElementRef> element(ElementRef element, const QString& attribute) override;
    std::optional<std::vector<ElementRef>> elements(ElementRef element, const QString& attribute) override;
    // The outer frame, decoration included, in root coordinates.
    std::optional<QRectF> frame(ElementRef element) override;
    // A window element is its X window id; both answer only for windows the model lists.
    std::optional<std::uint32_t> windowNumber(ElementRef element) override;
    std::optional<ElementRef> windowOfNumber(std::uint32_t number) override;

    // "AXMinimized" true minimises, false restores; "AXMain"/"AXFocused" true activate. Raising and
    // focusing one window in a row sends a single activation.
    void setBoolean(ElementRef element, const QString& attribute, bool value) override;
    void setPosition(ElementRef element, QPointF position) override;  // of the outer frame
    void setSize(ElementRef element, QSizeF size) override;           // of the outer frame
    // "AXRaise" activates the window; "AXPress" on a close button closes its window.
    void perform(ElementRef element, const QString& action) override;
    void setFrontmost(Pid pid, double timeout) override;

private:
    WindowParts* partsFor(ElementRef element) const;

    X11WindowModel& m_model;
    X11Actions& m_actions;
    WindowParts* m_parts = nullptr;
};

} // namespace zumo::x11
