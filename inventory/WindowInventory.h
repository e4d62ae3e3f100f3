// What the switcher asks of the window inventory and the window actions.
#pragma once

#include <QImage>
#include <vector>

#include "inventory/Entry.h"

namespace zumo {

class WindowInventory {
public:
    virtual ~WindowInventory() = default;
    // Moves pid to the front of the recent-use list. Main thread.
    virtual void noteAppUsed(Pid pid) = 0;
    // Regular applications other than this program, hidden ones left out, by recent use. Main thread.
    virtual std::vector<RunningApp> switchableApps() = 0;
    // The rows for those applications, in order. Any thread; never blocks long.
    virtual std::vector<Entry> buildEntries(const std::vector<RunningApp>& apps, const BuildOptions& options) = 0;
};

class WindowActions {
public:
    virtual ~WindowActions() = default;
    virtual void activateEntry(const Entry& entry) = 0;       // main thread
    virtual void closeWindow(ElementRef window) = 0;          // background
    virtual void minimizeWindow(ElementRef window) = 0;       // background
    virtual void hideApp(const Entry& entry) = 0;             // main thread
    virtual void quitApp(const Entry& entry) = 0;             // main thread
    virtual void snapWindow(ElementRef window, SnapTo target) = 0;  // any thread but main-blocking ones
    // The window's preview, null on failure. Background.
    virtual QImage captureWindow(std::uint32_t windowID) = 0;
};

} // namespace zumo
