// One row of the switcher, and what the entry list is built with.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/Accessibility.h"
#include "platform/Workspace.h"

namespace zumo {

using EntryId = std::uint64_t;

// A new identity, unique in this process. Any thread.
EntryId newEntryId();

struct Entry {
    EntryId id = 0;
    RunningApp app;
    QString title;
    // Absent for app rows, and for windows on other desktops when the platform cannot name them.
    std::optional<ElementRef> window;
    bool minimized = false;
    QImage icon;                         // null when the app has none (the panel draws its initial)
    std::optional<std::uint32_t> windowID;
    bool otherSpace = false;
    QImage thumb;                        // null until a preview is captured
    std::optional<ElementRef> tab;       // a browser-tab row's tab
    QString windowTitle;                 // a tab row's window title; empty otherwise
};

struct BuildOptions {
    bool perWindow = true;
    std::optional<Pid> onlyPID;
    bool tabs = false;
    // Tabs only as remembered from an earlier build: no browser is asked (a build on the main
    // thread, with the keyboard held, must not wait on one).
    bool tabsRemembered = false;
    bool spaces = false;
    bool previews = false;
};

enum class SnapTo { left, right, top, bottom, full, center };

} // namespace zumo
