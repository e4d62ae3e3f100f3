// Search and the single-key commands on the selected entry of a switcher run.
#include <QHash>
#include <algorithm>

#include "settings/Settings.h"
#include "stats/Counters.h"
#include "switcher/Query.h"
#include "switcher/SearchRank.h"
#include "switcher/Switcher.h"
#include "switcher/SwitcherView.h"
#include "inventory/WindowInventory.h"

namespace zumo {

void Switcher::beginSearch()
{
    if (!m_open || m_loading)
        return;
    m_deps.counters.bumpCounter(QStringLiteral("searches"));
    m_searching = true;
    m_query.clear();
    refilter();
}

void Switcher::backspace()
{
    if (!m_open || m_loading)
        return;
    if (m_query.isEmpty()) {
        m_searching = false;
    } else {
        // Never leave half of a surrogate pair behind.
        const bool pair = m_query.size() >= 2 && m_query.back().isLowSurrogate()
            && m_query.at(m_query.size() - 2).isHighSurrogate();
        m_query.chop(pair ? 2 : 1);
    }
    refilter();
}

void Switcher::refilter()
{
    if (!m_open)
        return;
    const QString q = m_query.trimmed();
    ++m_filterGen;
    if (q.isEmpty()) {
        view().setEntries(m_allEntries);
        view().setSelected(0);
        show();
        return;
    }
    std::vector<SearchTexts> texts;
    std::vector<EntryId> ids;
    texts.reserve(m_allEntries.size());
    ids.reserve(m_allEntries.size());
    for (const Entry& e : m_allEntries) {
        texts.push_back(SearchTexts{e.title, e.app.name, e.windowTitle});
        ids.push_back(e.id);
    }
    Dispatcher* dispatcher = &m_deps.dispatcher;
    Weak weak = m_self;
    const std::uint64_t filterGen = m_filterGen;
    m_deps.dispatcher.background(Quality::UserInteractive,
        [dispatcher, weak, filterGen, query = Query(q), texts = std::move(texts), ids = std::move(ids)] {
            std::vector<EntryId> ranked;
            for (std::size_t index : rankByScore(query, texts))
                ranked.push_back(ids[index]);
            dispatcher->post([weak, filterGen, ranked = std::move(ranked)] {
                if (auto self = weak.lock())
                    (*self)->searchRanked(filterGen, ranked);
            });
        });
}

void Switcher::searchRanked(std::uint64_t filterGen, const std::vector<EntryId>& ranked)
{
    if (filterGen != m_filterGen || !m_open || !m_searching)
        return;
    // Take the entries as they are now: a thumbnail or a minimised mark may have arrived
    // meanwhile, and an entry removed by a command must not come back.
    QHash<EntryId, std::size_t> byId;
    for (std::size_t i = 0; i < m_allEntries.size(); ++i)
        byId.insert(m_allEntries[i].id, i);
    std::vector<Entry> shown;
    for (EntryId id : ranked) {
        const auto it = byId.constFind(id);
        if (it != byId.constEnd())
            shown.push_back(m_allEntries[*it]);
    }
    view().setEntries(std::move(shown));
    view().setSelected(0);
    show();
}

void Switcher::removeEntries(const std::function<bool(const Entry&)>& match)
{
    std::erase_if(m_allEntries, match);
    std::vector<Entry> shown = view().entries();
    std::erase_if(shown, match);
    view().setEntries(std::move(shown));
    if (m_allEntries.empty()) {
        finish(false);
        return;
    }
    const int last = std::max(0, int(view().entries().size()) - 1);
    view().setSelected(std::min(view().selected(), last));
    show();
}

void Switcher::quitSelected()
{
    if (!m_open || m_loading)
        return;
    const std::optional<Entry> entry = selectedEntry();
    if (!entry)
        return;
    m_deps.counters.bumpCounter(QStringLiteral("quits"));
    m_deps.actions.quitApp(*entry);
    const Pid pid = entry->app.pid;
    removeEntries([pid](const Entry& e) { return e.app.pid == pid; });
}

void Switcher::closeSelected()
{
    if (!m_open || m_loading)
        return;
    const std::optional<Entry> entry = selectedEntry();
    if (!entry)
        return;
    if (entry->tab) {
        m_notice = QString::fromUtf8(TabCloseNotice);
        show();
        return;
    }
    if (!entry->window) {
        // An app row quits its app; a window on another desktop cannot be reached from here.
        if (!entry->otherSpace)
            quitSelected();
        return;
    }
    m_deps.counters.bumpCounter(QStringLiteral("closes"));
    WindowActions* actions = &m_deps.actions;
    const ElementRef window = *entry->window;
    m_deps.dispatcher.background(Quality::Default, [actions, window] { actions->closeWindow(window); });
    const EntryId id = entry->id;
    removeEntries([id](const Entry& e) { return e.id == id; });
}

void Switcher::minimizeSelected()
{
    if (!m_open || m_loading)
        return;
    const std::optional<Entry> entry = selectedEntry();
    if (!entry || !entry->window)
        return;
    m_deps.counters.bumpCounter(QStringLiteral("mins"));
    WindowActions* actions = &m_deps.actions;
    const ElementRef window = *entry->window;
    m_deps.dispatcher.background(Quality::Default, [actions, window] { actions->minimizeWindow(window); });
    setMinimized(entry->id);
    redraw();
}

void Switcher::setMinimized(EntryId id)
{
    for (Entry& e : m_allEntries) {
        if (e.id == id)
            e.minimized = true;
    }
    for (Entry& e : view().mutableEntries()) {
        if (e.id == id)
            e.minimized = true;
    }
}

void Switcher::hideSelected()
{
    if (!m_open || m_loading)
        return;
    const std::optional<Entry> entry = selectedEntry();
    if (!entry)
        return;
    m_deps.counters.bumpCounter(QStringLiteral("hides"));
    m_deps.actions.hideApp(*entry);
    const Pid pid = entry->app.pid;
    removeEntries([pid](const Entry& e) { return e.app.pid == pid; });
}

void Switcher::snapSelected(SnapTo target)
{
    if (!m_open || m_loading)
        return;
    const std::optional<Entry> entry = selectedEntry();
    if (!entry || !entry->window)
        return;
    m_deps.counters.bumpCounter(QStringLiteral("snaps"));
    WindowActions* actions = &m_deps.actions;
    Dispatcher* dispatcher = &m_deps.dispatcher;
    Weak weak = m_self;
    const std::uint64_t gen = m_gen;
    const ElementRef window = *entry->window;
    m_deps.dispatcher.background(Quality::UserInitiated, [actions, dispatcher, weak, gen, window, target] {
        actions->snapWindow(window, target);
        dispatcher->post([weak, gen] {
            auto self = weak.lock();
            if (self && (*self)->m_gen == gen && (*self)->m_open)
                (*self)->finish(true);
        });
    });
}

} // namespace zumo
