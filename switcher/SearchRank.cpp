// Scores every entry's texts against a search and orders the matches, best first.
#include "switcher/SearchRank.h"

#include <QHash>
#include <algorithm>
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

std::vector<std::size_t> rankByScore(const Query& query, const std::vector<SearchTexts>& items)
{
    if (query.whole.isEmpty()) {
        std::vector<std::size_t> all(items.size());
        std::iota(all.begin(), all.end(), std::size_t{0});
        return all;
    }
    // Every window of an app carries the same app name, so each name is scored once.
    QHash<QString, int> appScores;
    std::vector<std::pair<int, std::size_t>> scored;
    scored.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
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
    std::ranges::stable_sort(scored, [](const auto& a, const auto& b) { return a.first > b.first; });

    std::vector<std::size_t> order;
    order.reserve(scored.size());
    for (const auto& [score, index] : scored)
        order.push_back(index);
    return order;
}

} // namespace zumo
