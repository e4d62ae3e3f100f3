// Scores a text against a prepared query in fixed tiers; 0 means no match.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "switcher/Query.h"

namespace zumo::Fuzzy {

// The score of `text` against `query`. The text is lower-cased once; L is its length in UTF-16
// units, at most 39, so within a tier a shorter text scores higher. The first tier that matches
// decides:
//   the whole query starts the text                          1040 - L   (1001-1040)
//   the whole query occurs later in the text                 1000 - L   (961-1000)
//   each token starts a word, no two tokens the same word     800 - L   (761-800)
//   the compact query is the initials of the first words      600 - L   (561-600)
//   the compact query's units occur in order (a span)        400 - min(span - m, 99)  (301-400)
//   each token within one edit of some word (tokens of 4 or
//   more units; shorter ones must start a word exactly)       200 - L   (161-200)
// m is the compact query's length: below 2 only the first three tiers apply, below 4 the typo
// tier does not. An empty query scores 1 for every text, even an empty one; otherwise an empty
// text scores 0. A query of punctuation only has no tokens and matches only as a substring.
// Pure and stateless, so it may run on any thread.
int score(const Query& query, const QString& text);
// Above every score: the top tier's base.
inline constexpr int ScoreCeiling = 1040;

// A text made ready once for scoring against many queries: lower-cased as score() lowers it, the
// units and neighbouring pairs it holds (as unitSetOf and pairSetOf fold them) and its words in
// order (runs of word units).
struct PreparedText {
    std::u16string_view units;
    std::uint64_t held = 0;
    std::uint64_t pairs = 0;
    std::span<const std::u16string_view> words;
};

// The same score as score() gives the text the prepared one came from.
int score(const Query& query, const PreparedText& text);

// Appends `text` lower-cased as score() lowers it to `units`; returns the set of the units added.
std::uint64_t appendLowered(const QString& text, std::u16string& units);

// Appends the words of `units` to `words`, in order; they point into `units`.
void appendWords(std::u16string_view units, std::vector<std::u16string_view>& words);

} // namespace zumo::Fuzzy
