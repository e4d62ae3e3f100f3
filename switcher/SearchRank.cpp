// Scores every entry's texts against a search and orders the matches, best first.
#include "switcher/SearchRank.h"

#include <algorithm>
#include <utility>

#include "switcher/Fuzzy.h"

namespace zumo {

int bestScore(const Query& query, const SearchTexts& texts)
{
    // An entry without any text still stays in the unfiltered list.
    if (query.whole.isEmpty())
        return 1;
    int best = 0;
    for (const QString* text : {&texts.title, &texts.appName, &texts.windowTitle}) {
        if (!text->isEmpty())
            best = std::max(best, Fuzzy::score(query, *text));
    }
    return best;
}

std::vector<std::size_t> rankByScore(const Query& query, const std::vector<SearchTexts>& items)
{
    std::vector<std::pair<int, std::size_t>> scored;
    scored.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (const int score = bestScore(query, items[i]); score > 0)
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
