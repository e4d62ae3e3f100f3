// The seam's window elements on GNOME Shell: the Wayland answers, plus what the extension adds
// to them: real frames, window numbers (so records and windows pair by number, not by frame),
// and moves and resizes, which make snapping work.
#pragma once

#include "platform/Accessibility.h"

namespace zumo::wayland {
class WaylandWindows;
}

namespace zumo::gnome {

class ShellWindows;

class GnomeAccessibility final : public Accessibility {
public:
    // Both must outlive this. Main thread; the reads and moves from any thread.
    GnomeAccessibility(wayland::WaylandWindows& windows, ShellWindows& shell);

    std::optional<std::vector<ElementRef>> windows(Pid pid, double timeout) override;
    void setTimeout(ElementRef element, double seconds) override;
    std::optional<QString> string(ElementRef element, const QString& attribute) override;
    std::optional<bool> boolean(ElementRef element, const QString& attribute) override;
    std::optional<double> number(ElementRef element, const QString& attribute) override;
    std::optional<ElementRef> element(ElementRef element, const QString& attribute) override;
    std::optional<std::vector<ElementRef>> elements(ElementRef element, const QString& attribute) override;
    std::optional<QRectF> frame(ElementRef element) override;
    std::optional<std::uint32_t> windowNumber(ElementRef element) override;
    std::optional<ElementRef> windowOfNumber(std::uint32_t number) override;
    void setBoolean(ElementRef element, const QString& attribute, bool value) override;
    void setPosition(ElementRef element, QPointF position) override;
    void setSize(ElementRef element, QSizeF size) override;
    void setFrame(ElementRef element, const QRectF& frame) override;
    void perform(ElementRef element, const QString& action) override;
    void setFrontmost(Pid pid, double timeout) override;

private:
    // The window of an element (a window is its own element), if the extension reports it.
    std::optional<std::uint32_t> known(ElementRef element) const;

    wayland::WaylandWindows& m_windows;
    ShellWindows& m_shell;
};

} // namespace zumo::gnome
