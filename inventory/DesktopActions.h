// What the switcher does to the entry the user chose: bring it to the front, close, minimise,
// hide, quit, snap and capture, all through the platform seam.
#pragma once

#include <QRectF>
#include <functional>
#include <optional>

#include "platform/Accessibility.h"
#include "platform/Screens.h"
#include "platform/WindowServer.h"
#include "platform/Workspace.h"
#include "inventory/SnapGeometry.h"
#include "inventory/WindowInventory.h"

namespace zumo {

// Runs work on the main thread and returns once it has run.
using MainRunner = std::function<void(const std::function<void()>&)>;

// Runs directly when called on the main thread (or when there is no application object),
// otherwise through a blocking queued call to the application object. Calling it from a worker
// while the main thread waits for that worker deadlocks.
MainRunner blockingMainRunner();

class DesktopActions final : public WindowActions {
  public:
    static constexpr double frontmostTimeout = 0.5;
    static constexpr double tabTimeout = 0.3;

    // Every reference must outlive the actions. runOnMain carries the screen reads of a snap
    // to the main thread; tests pass one that calls directly.
    DesktopActions(WindowInventory& inventory, Workspace& workspace, Accessibility& ax,
                   WindowServer& windowServer, const Screens& screens,
                   MainRunner runOnMain = blockingMainRunner());

    // Notes the app as used, unhides it, un-minimises the window when the entry says it is
    // minimised, makes the app frontmost, presses the tab, raises and focuses the window, and
    // activates the app unless it already is the frontmost one. Each step is attempted whatever
    // became of the one before. Main thread.
    void activateEntry(const Entry& entry) override;
    // Presses the window's close button; nothing when it has none. Any thread.
    void closeWindow(ElementRef window) override;
    void minimizeWindow(ElementRef window) override;
    void hideApp(const Entry& entry) override;
    // A polite quit request.
    void quitApp(const Entry& entry) override;
    // Moves and resizes the window onto the screen holding its centre (size, position, size, so
    // that a window first clamped by its old screen still ends at the right size). A window
    // whose frame cannot be read, or no screen at all, leaves it untouched. Any thread except
    // one the main thread is waiting for.
    void snapWindow(ElementRef window, SnapTo target) override;
    QImage captureWindow(std::uint32_t windowID) override;

    // The primary height and the visible frame (bottom-left coordinates) of the screen the
    // window frame (top-left coordinates) belongs to; nothing without screens. Main thread.
    std::optional<SnapScreenInfo> snapScreenInfo(const QRectF& frame) const;

  private:
    bool isHiddenNow(const RunningApp& app) const;
    void applyFrame(ElementRef window, const QRectF& frame);

    WindowInventory& m_inventory;
    Workspace& m_workspace;
    Accessibility& m_ax;
    WindowServer& m_windowServer;
    const Screens& m_screens;
    MainRunner m_runOnMain;
};

} // namespace zumo
