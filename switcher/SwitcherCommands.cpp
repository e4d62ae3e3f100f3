// Search and the single-key commands on the selected entry of a switcher run.
#include <QHash>
#include <algorithm>
#include <utility>

#include "platform/Permissions.h"
#include "settings/Settings.h"
#include "stats/Counters.h"
#include "switcher/Query.h"
#include "switcher/SearchRank.h"
#include "switcher/Switcher.h"
#include "inventory/WindowInventory.h"

namespace zumo {

// A run's entries as its search reads them; their titles do not change during the run, and an
// entry removed meanwhile is dropped when the ranking comes back.
struct RunSearch {
    RunSearch(std::vector<SearchTexts> texts, std::vector<EntryId> ids)
        : texts(std::move(texts)), ids(std::move(ids))
    {
    }
    SearchIndex texts;
    std::vector<EntryId> ids;
};

namespace {

std::shared_ptr<const RunSearch> runSearch(const std::vector<Entry>& entries)
{
    std::vector<SearchTexts> texts;
    std::vector<EntryId> ids;
    texts.reserve(entries.size());
    ids.reserve(entries.size());
    for (const Entry& e : entries) {
        texts.push_back(SearchTexts{e.title, e.app.name, e.windowTitle});
        ids.push_back(e.id);
    }
    return std::make_shared<const RunSearch>(std::move(texts), std::move(ids));
}

} // namespace

void Switcher::beginSearch()
{
    if (waitsForEntries([this] { beginSearch(); })) {
        m_view.query = QString();
        return;
    }
    if (!loaded())
        return;
    m_deps.counters.bumpCounter(QStringLiteral("searches"));
    m_view.query = QString();
    if (!m_search) {
        // Lowering every title takes a while with many windows: done before the first letter.
        m_search = runSearch(m_allEntries);
        m_deps.dispatcher.background(Quality::UserInteractive, [search = m_search] { search->texts.prepare(); });
    }
    refilter();
}

void Switcher::typeText(const QString& text)
{
    if (!isOpen() || !isSearching())
        return;
    *m_view.query += text;
    queryEdited();
}

void Switcher::backspace()
{
    if (!isOpen() || !isSearching())
        return;
    QString& query = *m_view.query;
    if (query.isEmpty()) {
        m_view.query.reset();
    } else {
        // Never leave half of a surrogate pair behind.
        const bool pair = query.size() >= 2 && query.back().isLowSurrogate()
            && query.at(query.size() - 2).isHighSurrogate();
        query.chop(pair ? 2 : 1);
    }
    queryEdited();
}

void Switcher::leaveSearch()
{
    if (!isOpen() || !isSearching())
        return;
    m_view.query.reset();
    queryEdited();
}

void Switcher::queryEdited()
{
    // While loading, the query as it is now is kept for its turn among the other keys.
    if (!waitsForEntries([this, query = m_view.query] {
            m_view.query = query;
            refilter();
        }))
        refilter();
}

void Switcher::refilter()
{
    const QString q = m_view.query.value_or(QString()).trimmed();
    ++m_filterGen;
    m_rankPending = !q.isEmpty();
    if (q.isEmpty()) {
        setShown(m_allEntries);
        setSelected(0);
        show();
        if (std::exchange(m_commitWhenRanked, false))
            finish(true);
        return;
    }
    Dispatcher* dispatcher = &m_deps.dispatcher;
    Weak weak = m_self;
    const std::uint64_t filterGen = m_filterGen;
    m_deps.dispatcher.background(Quality::UserInteractive,
        [dispatcher, weak, filterGen, query = Query(q), search = m_search] {
            std::vector<EntryId> ranked;
            for (std::size_t index : rankByScore(query, search->texts))
                ranked.push_back(search->ids[index]);
            dispatcher->post([weak, filterGen, ranked = std::move(ranked)] {
                if (auto self = weak.lock())
                    (*self)->searchRanked(filterGen, ranked);
            });
        });
}

void Switcher::searchRanked(std::uint64_t filterGen, const std::vector<EntryId>& ranked)
{
    if (filterGen != m_filterGen || !loaded() || !isSearching())
        return;
    m_rankPending = false;
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
    setShown(std::move(shown));
    setSelected(0);
    show();
    if (std::exchange(m_commitWhenRanked, false))
        finish(true);
}

void Switcher::removeEntries(const std::function<bool(const Entry&)>& match)
{
    std::erase_if(m_allEntries, match);
    std::erase_if(m_view.entries, match);
    if (m_allEntries.empty()) {
        finish(false);
        return;
    }
    setSelected(std::min(m_view.selected, std::max(0, shownCount() - 1)));
    show();
}

void Switcher::quitSelected()
{
    if (waitsForEntries([this] { quitSelected(); }) || !loaded())
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
    if (waitsForEntries([this] { closeSelected(); }) || !loaded())
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
    if (waitsForEntries([this] { minimizeSelected(); }) || !loaded())
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
    for (std::vector<Entry>* list : {&m_allEntries, &m_view.entries}) {
        for (Entry& e : *list) {
            if (e.id == id)
                e.minimized = true;
        }
    }
}

void Switcher::hideSelected()
{
    if (waitsForEntries([this] { hideSelected(); }) || !loaded())
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
    if (waitsForEntries([this, target] { snapSelected(target); }) || !loaded())
        return;
    const std::optional<Entry> entry = selectedEntry();
    if (!entry || !entry->window)
        return;
    // Said in the hint line rather than doing nothing silently; the run stays open.
    if (!m_deps.permissions.windowsMovable()) {
        m_notice = QString::fromUtf8(SnapUnavailableNotice);
        show();
        return;
    }
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
            if (self && (*self)->m_gen == gen && (*self)->isOpen())
                (*self)->finish(true);
        });
    });
}

} // namespace zumo
