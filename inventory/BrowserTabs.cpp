// Browser recognition, the breadth-first tab search and the per-process tab cache.
#include "inventory/BrowserTabs.h"

#include <deque>
#include <optional>

namespace zumo {

namespace {

constexpr int maxExamined = 250;
constexpr int maxDepth = 10;
constexpr double tabTimeout = 0.1;

const QString kRole = QStringLiteral("AXRole");
const QString kChildren = QStringLiteral("AXChildren");

bool isTabRole(const std::optional<QString>& role)
{
    return role && (*role == QLatin1String("AXRadioButton") || *role == QLatin1String("AXTab"));
}

bool isContainerRole(const QString& role)
{
    return role == QLatin1String("AXGroup") || role == QLatin1String("AXWindow") ||
           role == QLatin1String("AXSplitGroup");
}

std::vector<TabRef> tabsOfGroup(Accessibility& ax, ElementRef group)
{
    std::vector<TabRef> tabs;
    for (ElementRef child : ax.elements(group, kChildren).value_or(std::vector<ElementRef>{})) {
        if (!isTabRole(ax.string(child, kRole)))
            continue;
        TabRef tab;
        tab.title = ax.string(child, QStringLiteral("AXTitle")).value_or(QString());
        if (tab.title.isEmpty())
            tab.title = QStringLiteral("Tab");
        tab.element = child;
        tab.selected = ax.number(child, QStringLiteral("AXValue")) == 1.0;
        tabs.push_back(std::move(tab));
    }
    return tabs;
}

} // namespace

const QStringList& browserBundleIDs()
{
    static const QStringList ids{
        QStringLiteral("com.apple.Safari"),    QStringLiteral("com.google.Chrome"),
        QStringLiteral("com.brave.Browser"),   QStringLiteral("com.microsoft.edgemac"),
        QStringLiteral("com.vivaldi.Vivaldi"), QStringLiteral("company.thebrowser.Browser"),
        QStringLiteral("org.mozilla.firefox"),
    };
    return ids;
}

const QStringList& linuxBrowserIDs()
{
    static const QStringList ids{
        QStringLiteral("firefox"),
        QStringLiteral("org.mozilla.firefox"),
        QStringLiteral("google-chrome"),
        QStringLiteral("chromium"),
        QStringLiteral("org.chromium.Chromium"),
        QStringLiteral("brave-browser"),
        QStringLiteral("microsoft-edge"),
        QStringLiteral("com.microsoft.Edge"),
        QStringLiteral("vivaldi-stable"),
        QStringLiteral("vivaldi-snapshot"),
    };
    return ids;
}

bool isBrowser(const QString& bundleId)
{
    if (bundleId.isEmpty())
        return false;
    for (const QString& prefix : browserBundleIDs())
        if (bundleId.startsWith(prefix, Qt::CaseSensitive))
            return true;
    for (const QString& prefix : linuxBrowserIDs())
        if (bundleId.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    return false;
}

std::vector<TabRef> tabsOfWindow(Accessibility& ax, ElementRef window)
{
    ax.setTimeout(window, tabTimeout);
    std::deque<std::pair<ElementRef, int>> queue{{window, 0}};
    for (int examined = 0; examined < maxExamined && !queue.empty(); ++examined) {
        auto [element, depth] = queue.front();
        queue.pop_front();
        std::optional<QString> role = ax.string(element, kRole);
        if (role == QLatin1String("AXTabGroup")) {
            std::vector<TabRef> tabs = tabsOfGroup(ax, element);
            if (!tabs.empty())
                return tabs;
            continue;
        }
        bool descend = depth < maxDepth && (!role || isContainerRole(*role));
        if (!descend)
            continue;
        for (ElementRef child : ax.elements(element, kChildren).value_or(std::vector<ElementRef>{}))
            queue.emplace_back(child, depth + 1);
    }
    return {};
}

std::vector<WindowTabs> TabCollector::collectTabs(Pid pid, const std::vector<ElementRef>& windows, double until)
{
    const double start = m_clock.nowSeconds();
    std::optional<std::vector<WindowTabs>> last;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_cache.find(pid);
        if (it != m_cache.end()) {
            double age = start - it->second.stamp;
            if (age >= 0 && age < maxAge)
                return it->second.tabs;
            last = it->second.tabs;
        }
    }
    if (start >= until)
        return last.value_or(std::vector<WindowTabs>{});
    m_ax.limitThisThread(until - start);
    std::vector<WindowTabs> result;
    result.reserve(windows.size());
    for (ElementRef window : windows)
        result.emplace_back(window, tabsOfWindow(m_ax, window));
    m_ax.limitThisThread(std::nullopt);
    if (m_clock.nowSeconds() >= until)
        return last.value_or(std::move(result));
    std::lock_guard lock(m_mutex);
    m_cache[pid] = Cached{m_clock.nowSeconds(), result};
    return result;
}

} // namespace zumo
