// The switcher's entry list: running applications by recent use, their windows, windows on
// other desktops and browser tabs, built over the platform seam.
#pragma once

#include <vector>

#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/WindowServer.h"
#include "platform/Workspace.h"
#include "inventory/BrowserTabs.h"
#include "inventory/EntryRules.h"
#include "inventory/InventoryPrefs.h"
#include "inventory/Recency.h"
#include "inventory/WindowInventory.h"

namespace zumo {

class Inventory final : public WindowInventory {
  public:
    // Seconds an application may take to list its windows before it counts as windowless.
    static constexpr double appTimeout = 0.25;

    // Every reference must outlive the inventory.
    Inventory(Workspace& workspace, Accessibility& ax, WindowServer& windowServer, const Clock& clock,
              InventoryPrefs prefs);

    void noteAppUsed(Pid pid) override;
    // Regular live applications, never this program (compared by bundle id), none that the
    // "appModes" preference hides; used ones by recent use, then the rest in workspace order.
    std::vector<RunningApp> switchableApps() override;
    // Rows per application in the given order: its standard windows and dialogs in the order the
    // application lists them (a window with two or more browser tabs becomes one row per tab),
    // then its windows on other desktops (per-window mode with spaces only). In one-row-per-app
    // mode an app with windows gets a single row. An app without rows is listed only when
    // "showWindowless" is on. The window-server list is read at most once, and only for previews
    // or other desktops. Runs on a worker; touches only the tab cache and the preferences.
    std::vector<Entry> buildEntries(const std::vector<RunningApp>& apps,
                                    const BuildOptions& options) override;

    const std::vector<Pid>& recentPIDs() const { return m_recency.recentPIDs(); }
    TabCollector& tabs() { return m_tabs; }

  private:
    struct AppContext;
    // Browsers are asked for tabs until `tabsUntil` (clock seconds).
    std::vector<Entry> rowsOf(const RunningApp& app, const BuildOptions& options,
                              const std::vector<WindowRecord>& records, double tabsUntil);
    // These append the rows they make to rows.
    void addWindowRows(const AppContext& context, ElementRef window, TakenNumbers& taken, std::vector<Entry>& rows);
    static void addTabRows(const Entry& windowEntry, const std::vector<TabRef>& tabs, std::vector<Entry>& rows);
    std::optional<std::uint32_t> windowNumberOf(const AppContext& context, ElementRef window,
                                                TakenNumbers& taken);
    void addOtherSpaceRows(const AppContext& context, TakenNumbers& taken, std::vector<Entry>& rows) const;
    bool showWindowless() const;

    Workspace& m_workspace;
    Accessibility& m_ax;
    WindowServer& m_windowServer;
    const Clock& m_clock;
    InventoryPrefs m_prefs;
    Recency m_recency;
    TabCollector m_tabs;
};

} // namespace zumo
