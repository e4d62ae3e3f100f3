// Scores every entry's texts against a search and orders the matches, best first.
#include "switcher/SearchRank.h"

#include <QHash>
#include <QThreadPool>
#include <algorithm>
#include <latch>
#include <numeric>
#include <utility>

#include "switcher/Fuzzy.h"

namespace zumo {
namespace {

int scoreUnlessEmpty(const Query& query, const QString& text)
{
    return text.isEmpty() ? 0 : Fuzzy::score(query, text);
}

} // namespace

int bestScore(const Query& query, const SearchTexts& texts)
{
    // An entry without any text still stays in the unfiltered list.
    if (query.whole.isEmpty())
        return 1;
    return std::max({scoreUnlessEmpty(query, texts.title), scoreUnlessEmpty(query, texts.appName),
                     scoreUnlessEmpty(query, texts.windowTitle)});
}

namespace {

using Scored = std::vector<std::pair<int, std::size_t>>;

// The matches among items[begin, end), in list order.
Scored scoreRange(const Query& query, const std::vector<SearchTexts>& items, std::size_t begin, std::size_t end)
{
    // Every window of an app carries the same app name, so each name is scored once.
    QHash<QString, int> appScores;
    Scored scored;
    scored.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const SearchTexts& texts = items[i];
        auto app = appScores.constFind(texts.appName);
        const int appScore = app != appScores.cend()
                                 ? *app
                                 : *appScores.insert(texts.appName, scoreUnlessEmpty(query, texts.appName));
        const int score = std::max(
            {scoreUnlessEmpty(query, texts.title), appScore, scoreUnlessEmpty(query, texts.windowTitle)});
        if (score > 0)
            scored.emplace_back(score, i);
    }
    return scored;
}

// Long lists are scored in two halves at once, the second on a spare pool thread when there is
// one, so a keystroke uses both cores; without a spare thread it all runs here.
Scored scoreAll(const Query& query, const std::vector<SearchTexts>& items)
{
    constexpr std::size_t SplitFrom = 256;
    const std::size_t n = items.size();
    if (n < SplitFrom)
        return scoreRange(query, items, 0, n);
    const std::size_t mid = n / 2;
    Scored second;
    std::latch done(1);
    const bool helped = QThreadPool::globalInstance()->tryStart([&] {
        second = scoreRange(query, items, mid, n);
        done.count_down();
    });
    Scored scored = scoreRange(query, items, 0, mid);
    if (helped)
        done.wait();
    else
        second = scoreRange(query, items, mid, n);
    scored.insert(scored.end(), second.begin(), second.end());
    return scored;
}

} // namespace

std::vector<std::size_t> rankByScore(const Query& query, const std::vector<SearchTexts>& items)
{
    if (query.whole.isEmpty()) {
        std::vector<std::size_t> all(items.size());
        std::iota(all.begin(), all.end(), std::size_t{0});
        return all;
    }
    Scored scored = scoreAll(query, items);
    std::ranges::stable_sort(scored, [](const auto& a, const auto& b) { return a.first > b.first; });

    std::vector<std::size_t> order;
    order.reserve(scored.size());
    for (const auto& [score, index] : scored)
        order.push_back(index);
    return order;
}

} // namespace zumo
