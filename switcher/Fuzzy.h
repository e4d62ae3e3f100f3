// Scores a text against a prepared query in fixed tiers; 0 means no match.
#pragma once

#include <QString>
#include <vector>

#include "switcher/Query.h"

namespace zumo::Fuzzy {

int score(const Query& query, const QString& text);

// Indices where a word character follows a separator or the start of text.
std::vector<int> wordStarts(QStringView text);
// Whether a and b are at most one edit apart (insertion, deletion, substitution, transposition).
bool withinOneEdit(QStringView token, QStringView word);

} // namespace zumo::Fuzzy
