// The running applications of the session and what can be asked of them.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Listeners.h"

namespace zumo {

using Pid = std::int32_t;

// Where an application's icon came from; with none the panel draws its initial on a tile.
enum class IconSource { window, theme, hints };

// A running application, as a value. An empty bundleId means the application has none.
struct RunningApp {
    Pid pid = 0;
    QString bundleId;
    QString name;        // localised name; may be empty
    QImage icon;         // null when the application has none
    IconSource iconSource = IconSource::window;  // meaningful when icon is not null
    bool regular = true; // an ordinary application with windows (not an agent or a tool)
    bool hidden = false;
    bool terminated = false;
};

class Workspace {
public:
    virtual ~Workspace() = default;
    // In the system's order. Main thread.
    virtual std::vector<RunningApp> runningApplications() const = 0;
    virtual std::optional<RunningApp> frontmostApplication() const = 0;
    // This program's own bundle identifier; empty when it has none.
    virtual QString ownBundleId() const = 0;
    // Actions on an application; an unknown or dead pid is ignored.
    virtual void terminate(Pid pid) = 0;   // a polite quit request
    virtual void hide(Pid pid) = 0;
    virtual void unhide(Pid pid) = 0;
    virtual void activate(Pid pid) = 0;    // bring to the front, ignoring other applications
    // Sends the requests made so far in this turn of the event loop now rather than at its end
    // (where a backend gathers them into one). Main thread.
    virtual void sendRequestsNow() {}
    // An application became the frontmost one. Main thread.
    Notifier<const RunningApp&> activated;
};

} // namespace zumo
