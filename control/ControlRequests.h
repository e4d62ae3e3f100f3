// What the running Zumo does for each control request: sync, list, activate, show settings.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "inventory/Entry.h"
#include "platform/Listeners.h"
#include "control/ControlProtocol.h"
#include "control/ControlServer.h"

namespace zumo {

class Dispatcher;
class Settings;
class WindowActions;
class WindowInventory;
class Workspace;

// Everything the requests reach; each must outlive the ControlRequests.
struct ControlDeps {
    Dispatcher& dispatcher;
    const Settings& settings;
    Workspace& workspace;
    WindowInventory& inventory;
    WindowActions& actions;
    // Makes every event the window system sent so far handled (a round trip, then the events it
    // brought in), down to a commit they made. Main thread.
    std::function<void()> syncPlatform;
    // The desktop a window is on; nothing when it is on all of them or unknown. Main thread.
    std::function<std::optional<std::uint32_t>(std::uint32_t window)> desktopOf;
    // Opens the switcher or moves in it, as the shortcut with those keys (the main one when none
    // has them) would, with Shift when reverse; false when the switcher is off. Empty where Zumo
    // watches the keyboard itself (X11).
    std::function<bool(bool reverse, const HookShortcut& keys)> trigger = {};
    // Whether an update check may reach the vendor now (the user agreed); empty: always.
    std::function<bool()> mayCheckUpdates = {};
};

class ControlRequests {
public:
    explicit ControlRequests(ControlDeps deps);
    ~ControlRequests();
    ControlRequests(const ControlRequests&) = delete;
    ControlRequests& operator=(const ControlRequests&) = delete;

    // Answers one request, now or once its work is done. Main thread.
    void handle(const ControlRequest& request, ControlServer::Respond respond);

    // A second launch asked this one to show its settings.
    Notifier<> showSettingsRequested;
    // `zumo --check-updates` asked for a check, as "Check for Updates…" does.
    Notifier<> checkUpdatesRequested;

private:
    void sync(ControlServer::Respond respond);
    void buildEntries(std::function<void(std::vector<Entry>)> done);
    void list(ControlServer::Respond respond);
    void activate(const ControlRequest& request, ControlServer::Respond respond);
    void showSettings(ControlServer::Respond respond);
    void trigger(bool reverse, const HookShortcut& keys, ControlServer::Respond respond);

    ControlDeps m_deps;
    std::shared_ptr<ControlRequests*> m_self;
};

// The options the switcher builds its "all windows" list with, from the settings, with the
// window numbers that --activate takes (read from the window list; no preview is captured).
BuildOptions listBuildOptions(const Settings& settings);
// The rows of `zumo --list` for entries in the switcher's order.
std::vector<ListedRow> listedRows(const std::vector<Entry>& entries,
                                  const std::function<std::optional<std::uint32_t>(std::uint32_t)>& desktopOf);
// The entry "activate <window> [<tab>]" means, by the numbers listedRows gives; nothing when no
// row has them.
std::optional<std::size_t> activatedEntry(const std::vector<Entry>& entries, std::uint32_t window, int tab);

} // namespace zumo
