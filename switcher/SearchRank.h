// Ranks entries against a search: the best score of each entry's texts, best first.
#pragma once

#include <QString>
#include <cstddef>
#include <vector>

#include "switcher/Query.h"

namespace zumo {

// The texts an entry is searched by; empty ones are skipped.
struct SearchTexts {
    QString title;
    QString appName;
    QString windowTitle;
};

// The highest Fuzzy::score of the non-empty texts; 0 when none matches or all are empty.
// An empty query scores 1 for every item, even one whose texts are all empty.
int bestScore(const Query& query, const SearchTexts& texts);

// Indices of the items whose best score is above 0, highest score first, ties in list order.
// An empty query keeps every item in list order. Reads only its arguments, so it may run on a
// background thread as long as the caller hands it copies it does not change meanwhile.
std::vector<std::size_t> rankByScore(const Query& query, const std::vector<SearchTexts>& items);

} // namespace zumo
