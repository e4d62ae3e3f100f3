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
// yields nothing. Window parts (browser tabs among them) are not the X server's: the application
// lays a parts layer over this (atspi::PartsOverlay), which finds a window by its facts().
// An element that is no 32-bit window id (a part's) never reaches a window action.
class X11Accessibility final : public Accessibility {
public:
    // The model and actions must outlive this. Any thread.
    X11Accessibility(X11WindowModel& model, X11Actions& actions);

    // What the parts layer needs to find the window; nothing for one not listed or without a real
    // process id.
    std::optional<WindowFacts> facts(ElementRef element) const;

    // The application's windows front to back (most recently raised first); empty when it has none.
    std::optional<std::vector<ElementRef>> windows(Pid pid, double timeout) override;
    // Window reads come from the model and never wait.
    void setTimeout(ElementRef, double) override {}
    std::optional<QString> string(ElementRef element, const QString& attribute) override;
    std::optional<bool> boolean(ElementRef element, const QString& attribute) override;
    std::optional<double> number(ElementRef, const QString&) override { return std::nullopt; }
    std::optional<ElementRef> element(ElementRef element, const QString& attribute) override;
    std::optional<std::vector<ElementRef>> elements(ElementRef, const QString&) override { return std::nullopt; }
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
    X11WindowModel& m_model;
    X11Actions& m_actions;
};

} // namespace zumo::x11
