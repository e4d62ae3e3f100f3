// Which applications are browsers, and the tabs of their windows, cached briefly per process.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/Workspace.h"

namespace zumo {

struct TabRef {
    QString title;          // "Tab" when the tab has no title
    ElementRef element = 0; // pressed to select the tab
    bool selected = false;  // its "AXValue" is the number 1
    bool operator==(const TabRef&) const = default;
};

// A window and its tabs (empty when it has none).
using WindowTabs = std::pair<ElementRef, std::vector<TabRef>>;

// Bundle identifier prefixes of the supported browsers, compared case-sensitively.
const QStringList& browserBundleIDs();
// Application ids of the same browsers on Linux (desktop-file ids, WM_CLASS classes),
// compared case-insensitively because window classes are capitalised inconsistently.
const QStringList& linuxBrowserIDs();

// The bundle id begins with one of the prefixes above, so beta and developer editions whose ids
// extend them count too. An empty id is no browser.
bool isBrowser(const QString& bundleId);
inline bool isBrowser(const RunningApp& app)
{
    return isBrowser(app.bundleId);
}

// Breadth-first search of the window for the first "AXTabGroup" with "AXRadioButton"/"AXTab"
// children, examining at most 250 elements and descending only through "AXGroup", "AXWindow",
// "AXSplitGroup" and role-less elements above depth 10. Empty when nothing is found or the
// browser does not answer (each request may wait 0.1 s). Any thread.
std::vector<TabRef> tabsOfWindow(Accessibility& ax, ElementRef window);

// The tabs of an application's windows, remembered per process for 2 seconds so that opening
// the switcher repeatedly does not walk every browser window each time. Thread-safe; the lock is
// never held while the browser is asked, so concurrent callers may both compute and the later
// store wins.
class TabCollector {
  public:
    static constexpr double maxAge = 2.0;
    // Seconds one entry build may wait for all browsers together: the panel waits for the build,
    // and must open within 0.1 s of the shortcut even when a browser has stopped answering.
    static constexpr double budget = 0.06;

    TabCollector(Accessibility& ax, const Clock& clock) : m_ax(ax), m_clock(clock) {}

    // One pair per window, in the given order. Within 2 seconds of the last computation for pid
    // that earlier result is returned unchanged, even when the windows passed differ. A clock that
    // went backwards makes the stored result stale rather than fresh for ever. The browser is
    // asked only until `until` (clock seconds; the thread's requests are limited to it): when
    // none is left, or the walk ran out of it, the last result for pid is returned whatever its
    // age (nothing when there is none) and a cut-short walk is not remembered.
    std::vector<WindowTabs> collectTabs(Pid pid, const std::vector<ElementRef>& windows, double until);

  private:
    struct Cached {
        double stamp = 0;
        std::vector<WindowTabs> tabs;
    };
    Accessibility& m_ax;
    const Clock& m_clock;
    std::mutex m_mutex;
    std::map<Pid, Cached> m_cache;
};

} // namespace zumo
