// The tiered search scorer: substring, word prefixes, initials, scattered letters, one typo per word.
#include "switcher/Fuzzy.h"

#include <QVarLengthArray>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zumo::Fuzzy {
namespace {

using Units = std::u16string_view;

constexpr int kLengthCap = 39;
constexpr std::size_t kSpanCap = 99;
constexpr std::size_t kShortestTypoToken = 4;

Units unitsOf(QStringView text)
{
    return Units(text.utf16(), static_cast<std::size_t>(text.size()));
}

constexpr std::uint64_t kLanes = 0x0001'0001'0001'0001;

// Lower-cases four units at once when all four are ASCII; returns false, writing nothing, if not.
bool lowerFourAscii(const char16_t* in, char16_t* out)
{
    std::uint64_t four;
    std::memcpy(&four, in, sizeof four);
    if (four & (0xff80 * kLanes))
        return false;
    // Bit 7 of each lane answers "at least 'A'" and "past 'Z'"; lanes below 128 carry nothing over.
    const std::uint64_t fromA = four + (0x80 - u'A') * kLanes;
    const std::uint64_t pastZ = four + (0x80 - u'Z' - 1) * kLanes;
    four |= (fromA & ~pastZ & (0x80 * kLanes)) >> 2;
    std::memcpy(out, &four, sizeof four);
    return true;
}

// Which units a text holds, folded into 64 bits: a unit whose bit is clear is not in the text.
using UnitSet = std::uint64_t;


// A text lower-cased once for scoring: four ASCII units at a time or unit by unit into a stack
// buffer, or by Qt's whole-string lowering when the text holds a surrogate or U+0130, the one
// unit whose lower case is two units. Qt's lowering costs about 13 ns a unit once a unit
// changes, more than all the tiers together; unit by unit it gives the same units (a test checks
// every unit). The same pass notes which units the text holds, so most texts are ruled out
// without another walk.
class Lowered {
  public:
    explicit Lowered(const QString& text)
    {
        const qsizetype size = text.size();
        buffer_.resize(size);
        const char16_t* in = QStringView(text).utf16();
        char16_t* out = buffer_.data();
        for (qsizetype i = 0; i < size; ++i) {
            if (i + 4 <= size && lowerFourAscii(in + i, out + i)) {
                held |= unitBit(out[i]) | unitBit(out[i + 1]) | unitBit(out[i + 2]) | unitBit(out[i + 3]);
                i += 3;
                continue;
            }
            const char16_t unit = in[i];
            if (QChar::isSurrogate(unit) || unit == u'\u0130') {
                other_ = text.toLower();
                units = unitsOf(other_);
                held = unitSetOf(other_);
                return;
            }
            out[i] = unit < 128 ? static_cast<char16_t>(unit | ((unit >= u'A' && unit <= u'Z') ? 0x20 : 0))
                                : static_cast<char16_t>(QChar::toLower(char32_t(unit)));
            held |= unitBit(out[i]);
        }
        units = Units(out, static_cast<std::size_t>(size));
    }
    Lowered(const Lowered&) = delete;
    Lowered& operator=(const Lowered&) = delete;

    Units units;
    UnitSet held = 0; // the units of `units`

  private:
    QVarLengthArray<char16_t, 128> buffer_;
    QString other_;
};

// The typo tier lets a token of 4 or more units carry one unit the text lacks (a substitution or
// an insertion); a shorter token must be all there.
bool typoTierPossible(const std::vector<QString>& tokens, UnitSet held)
{
    return std::ranges::all_of(tokens, [held](const QString& token) {
        const Units units = unitsOf(token);
        const auto missing =
            std::ranges::count_if(units, [held](char16_t unit) { return (unitBit(unit) & held) == 0; });
        return missing <= (units.size() < kShortestTypoToken ? 0 : 1);
    });
}

using Words = QVarLengthArray<Units, 32>;

// Calls `fn` with each word of a text in order, each a maximal run of word units, until it
// returns true; returns whether it did.
template <typename Fn> bool anyWord(Units text, Fn fn)
{
    const char16_t* const end = text.data() + text.size();
    const char16_t* unit = text.data();
    while (true) {
        while (unit != end && !isWordUnit(*unit))
            ++unit;
        if (unit == end)
            return false;
        const char16_t* const start = unit;
        while (unit != end && isWordUnit(*unit))
            ++unit;
        if (fn(Units(start, static_cast<std::size_t>(unit - start))))
            return true;
    }
}

// The words of a text appended to `words`; split once per scored text when several tiers walk
// them.
void splitWords(Units text, Words& words)
{
    anyWord(text, [&words](Units word) {
        words.push_back(word);
        return false;
    });
}

bool editTest(Units token, Units word)
{
    const std::size_t t = token.size();
    const std::size_t w = word.size();
    if (t > w + 1 || w > t + 1)
        return false;
    std::size_t p = 0;
    while (p < t && p < w && token[p] == word[p])
        ++p;
    if (p == t || p == w)
        return true;
    if (t == w + 1)
        return token.substr(p + 1) == word.substr(p);
    if (t + 1 == w)
        return token.substr(p) == word.substr(p + 1);
    if (token.substr(p + 1) == word.substr(p + 1))
        return true;
    return p + 1 < t && token[p] == word[p + 1] && token[p + 1] == word[p] &&
           token.substr(p + 2) == word.substr(p + 2);
}

// Greedy on purpose: each token takes the first free word it starts, in text order.
bool tokensStartWords(const std::vector<QString>& tokens, const Words& words)
{
    QVarLengthArray<bool, 32> used(words.size(), false);
    for (const QString& token : tokens) {
        const Units units = unitsOf(token);
        qsizetype i = 0;
        while (i < words.size() && (used[i] || !words[i].starts_with(units)))
            ++i;
        if (i == words.size())
            return false;
        used[i] = true;
    }
    return true;
}

// Walks only as far as the first mismatching word start, so it needs no word list.
bool initialsMatch(Units compact, Units text)
{
    std::size_t matched = 0;
    for (std::size_t i = 0; i < text.size() && matched < compact.size(); ++i) {
        if (!isWordUnit(text[i]) || (i > 0 && isWordUnit(text[i - 1])))
            continue;
        if (text[i] != compact[matched])
            return false;
        ++matched;
    }
    return matched == compact.size();
}

// 0 when the compact query's units do not all occur in order.
int scatteredScore(Units compact, Units text)
{
    std::size_t matched = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    for (std::size_t i = 0; i < text.size() && matched < compact.size(); ++i) {
        if (text[i] != compact[matched])
            continue;
        if (matched == 0)
            first = i;
        last = i;
        ++matched;
    }
    if (matched < compact.size())
        return 0;
    const std::size_t slack = last - first + 1 - compact.size();
    return 400 - static_cast<int>(std::min(slack, kSpanCap));
}

bool tokenNearWord(Units token, Units word)
{
    if (token.size() < kShortestTypoToken)
        return word.starts_with(token);
    if (editTest(token, word))
        return true;
    return token.size() < word.size() && editTest(token, word.substr(0, token.size()));
}

// Unlike the word-prefix tier, several tokens may match the same word here.
bool tokensNearWords(const std::vector<QString>& tokens, const Words& words)
{
    return std::ranges::all_of(tokens, [&words](const QString& token) {
        return std::ranges::any_of(
            words, [units = unitsOf(token)](Units word) { return tokenNearWord(units, word); });
    });
}

// The tiers after the substring one, for a text that holds the units they need.
int wordTiers(const Query& query, Units units, int length)
{
    const Units compact = unitsOf(query.compact);
    // A lone token that started a word would have been found as a substring already. The words
    // are split once, and only when a tier needs them.
    const bool loneToken = query.tokens.size() == 1 && query.tokens.front().size() == query.whole.size();
    Words words;
    if (!query.tokens.empty() && !loneToken) {
        splitWords(units, words);
        if (tokensStartWords(query.tokens, words))
            return 800 - length;
    }
    if (compact.size() < 2)
        return 0;
    if (initialsMatch(compact, units))
        return 600 - length;
    if (const int scattered = scatteredScore(compact, units); scattered > 0)
        return scattered;
    if (compact.size() < kShortestTypoToken)
        return 0;
    // A lone token needs no word list: the walk stops at the first word near it.
    if (loneToken) {
        const Units token = unitsOf(query.tokens.front());
        return anyWord(units, [token](Units word) { return tokenNearWord(token, word); }) ? 200 - length : 0;
    }
    return tokensNearWords(query.tokens, words) ? 200 - length : 0;
}

} // namespace

int score(const Query& query, const QString& text)
{
    if (query.whole.isEmpty())
        return 1;
    const Lowered lowered(text);
    const Units units = lowered.units;
    if (units.empty())
        return 0;
    const int length = static_cast<int>(std::min<std::size_t>(units.size(), kLengthCap));

    // Cheap before any search of the text: the substring tier needs every unit of the whole query
    // in it, the tiers after it every unit of the compact query, except that the typo tier lets
    // a token carry one unit the text lacks.
    const UnitSet held = lowered.held;
    if ((query.wholeUnits & ~held) == 0) {
        const std::size_t at = units.find(unitsOf(query.whole));
        if (at == 0)
            return 1040 - length;
        if (at != Units::npos)
            return 1000 - length;
    }
    if ((query.compactUnits & ~held) != 0 &&
        (query.compact.size() < qsizetype(kShortestTypoToken) || !typoTierPossible(query.tokens, held)))
        return 0;
    return wordTiers(query, units, length);
}

std::vector<int> wordStarts(QStringView text)
{
    const Units units = unitsOf(text);
    std::vector<int> starts;
    Words words;
    splitWords(units, words);
    for (const Units word : words)
        starts.push_back(static_cast<int>(word.data() - units.data()));
    return starts;
}

bool withinOneEdit(QStringView token, QStringView word)
{
    return editTest(unitsOf(token), unitsOf(word));
}

} // namespace zumo::Fuzzy
