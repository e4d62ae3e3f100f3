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

// Indices of the items whose best score is above 0, highest score first, ties in list order.
std::vector<std::size_t> rankByScore(const Query& query, const std::vector<SearchTexts>& items);

} // namespace zumo
