// The tiered search scorer: substring, word prefixes, initials, scattered letters, one typo per word.
#include "switcher/Fuzzy.h"

#include <QVarLengthArray>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
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


// Lower-cases `text` into `out` four ASCII units at a time or unit by unit and returns the units
// it holds; nothing when the text holds a surrogate or U+0130, the one unit whose lower case is
// two units, which Qt's whole-string lowering must handle. Qt's lowering costs about 13 ns a
// unit once a unit changes, more than all the tiers together; unit by unit it gives the same
// units (a test checks every unit).
std::optional<UnitSet> lowerUnits(QStringView text, char16_t* out)
{
    const qsizetype size = text.size();
    const char16_t* in = text.utf16();
    UnitSet held = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (i + 4 <= size && lowerFourAscii(in + i, out + i)) {
            held |= unitBit(out[i]) | unitBit(out[i + 1]) | unitBit(out[i + 2]) | unitBit(out[i + 3]);
            i += 3;
            continue;
        }
        const char16_t unit = in[i];
        if (QChar::isSurrogate(unit) || unit == u'\u0130')
            return std::nullopt;
        out[i] = unit < 128 ? static_cast<char16_t>(unit | ((unit >= u'A' && unit <= u'Z') ? 0x20 : 0))
                            : static_cast<char16_t>(QChar::toLower(char32_t(unit)));
        held |= unitBit(out[i]);
    }
    return held;
}

// A text lower-cased once for scoring, in a stack buffer when it can be.
class Lowered {
  public:
    explicit Lowered(const QString& text)
    {
        buffer_.resize(text.size());
        if (const std::optional<UnitSet> set = lowerUnits(text, buffer_.data())) {
            units = Units(buffer_.data(), static_cast<std::size_t>(text.size()));
            held = *set;
            return;
        }
        other_ = text.toLower();
        units = unitsOf(other_);
        held = unitSetOf(other_);
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

using Words = std::span<const Units>;

// Calls `fn` with each word of a text in order, each a maximal run of word units.
template <typename Fn> void forEachWord(Units text, Fn fn)
{
    const char16_t* const end = text.data() + text.size();
    const char16_t* unit = text.data();
    while (true) {
        while (unit != end && !isWordUnit(*unit))
            ++unit;
        if (unit == end)
            return;
        const char16_t* const start = unit;
        while (unit != end && isWordUnit(*unit))
            ++unit;
        fn(Units(start, static_cast<std::size_t>(unit - start)));
    }
}

// Equality by memcmp: the standard comparison of char16_t runs unit by unit.
bool same(Units a, Units b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

bool startsWith(Units text, Units prefix)
{
    return text.size() >= prefix.size() && same(text.substr(0, prefix.size()), prefix);
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
        return same(token.substr(p + 1), word.substr(p));
    if (t + 1 == w)
        return same(token.substr(p), word.substr(p + 1));
    if (same(token.substr(p + 1), word.substr(p + 1)))
        return true;
    return p + 1 < t && token[p] == word[p + 1] && token[p + 1] == word[p] &&
           same(token.substr(p + 2), word.substr(p + 2));
}

// Greedy on purpose: each token takes the first free word it starts, in text order.
bool tokensStartWords(const std::vector<QString>& tokens, Words words)
{
    QVarLengthArray<bool, 32> used(qsizetype(words.size()), false);
    for (const QString& token : tokens) {
        const Units units = unitsOf(token);
        std::size_t i = 0;
        while (i < words.size() && (used[i] || !startsWith(words[i], units)))
            ++i;
        if (i == words.size())
            return false;
        used[i] = true;
    }
    return true;
}

bool initialsMatch(Units compact, Words words)
{
    if (words.size() < compact.size())
        return false;
    for (std::size_t i = 0; i < compact.size(); ++i)
        if (words[i].front() != compact[i])
            return false;
    return true;
}

// The first index from `from` on where `text` holds `unit`, else the text's size. Four units at
// a time: a lane equal to the unit makes its xor zero, and a zero lane is what the borrow test
// finds; most blocks hold no such lane and are skipped whole.
std::size_t findUnit(Units text, char16_t unit, std::size_t from)
{
    const std::uint64_t pattern = unit * kLanes;
    std::size_t i = from;
    for (; i + 4 <= text.size(); i += 4) {
        std::uint64_t four;
        std::memcpy(&four, text.data() + i, sizeof four);
        const std::uint64_t differ = four ^ pattern;
        if ((differ - kLanes) & ~differ & (0x8000 * kLanes))
            break;
    }
    while (i < text.size() && text[i] != unit)
        ++i;
    return i;
}

// Where `needle` first occurs in `text`, else npos.
std::size_t findUnits(Units text, Units needle)
{
    for (std::size_t at = findUnit(text, needle[0], 0); at + needle.size() <= text.size();
         at = findUnit(text, needle[0], at + 1)) {
        if (same(text.substr(at, needle.size()), needle))
            return at;
    }
    return Units::npos;
}

// 0 when the compact query's units do not all occur in order.
int scatteredScore(Units compact, Units text)
{
    const std::size_t first = findUnit(text, compact[0], 0);
    std::size_t last = first;
    for (std::size_t i = 1; i < compact.size() && last < text.size(); ++i)
        last = findUnit(text, compact[i], last + 1);
    if (last >= text.size())
        return 0;
    const std::size_t slack = last - first + 1 - compact.size();
    return 400 - static_cast<int>(std::min(slack, kSpanCap));
}

bool tokenNearWord(Units token, Units word)
{
    if (token.size() < kShortestTypoToken)
        return startsWith(word, token);
    if (editTest(token, word))
        return true;
    return token.size() < word.size() && editTest(token, word.substr(0, token.size()));
}

// Unlike the word-prefix tier, several tokens may match the same word here.
bool tokensNearWords(const std::vector<QString>& tokens, Words words)
{
    return std::ranges::all_of(tokens, [&words](const QString& token) {
        return std::ranges::any_of(
            words, [units = unitsOf(token)](Units word) { return tokenNearWord(units, word); });
    });
}

// The tiers after the substring one, for a text that holds the units they need.
int wordTiers(const Query& query, const PreparedText& text, int length)
{
    const Units compact = unitsOf(query.compact);
    // A lone token that started a word would have been found as a substring already.
    const bool loneToken = query.tokens.size() == 1 && query.tokens.front().size() == query.whole.size();
    if (!query.tokens.empty() && !loneToken && tokensStartWords(query.tokens, text.words))
        return 800 - length;
    if (compact.size() < 2)
        return 0;
    if (initialsMatch(compact, text.words))
        return 600 - length;
    if (const int scattered = scatteredScore(compact, text.units); scattered > 0)
        return scattered;
    if (compact.size() < kShortestTypoToken)
        return 0;
    return tokensNearWords(query.tokens, text.words) ? 200 - length : 0;
}

} // namespace

int score(const Query& query, const PreparedText& text)
{
    if (query.whole.isEmpty())
        return 1;
    const Units units = text.units;
    if (units.empty())
        return 0;
    const int length = static_cast<int>(std::min<std::size_t>(units.size(), kLengthCap));

    // Cheap before any search of the text: the substring tier needs every unit of the whole query
    // in it, the tiers after it every unit of the compact query, except that the typo tier lets
    // a token carry one unit the text lacks.
    const UnitSet held = text.held;
    if ((query.wholeUnits & ~held) == 0 && (query.wholePairs & ~text.pairs) == 0) {
        const std::size_t at = findUnits(units, unitsOf(query.whole));
        if (at == 0)
            return ScoreCeiling - length;
        if (at != Units::npos)
            return 1000 - length;
    }
    if ((query.compactUnits & ~held) != 0 &&
        (query.compact.size() < qsizetype(kShortestTypoToken) || !typoTierPossible(query.tokens, held)))
        return 0;
    return wordTiers(query, text, length);
}

int score(const Query& query, const QString& text)
{
    if (query.whole.isEmpty())
        return 1;
    const Lowered lowered(text);
    QVarLengthArray<Units, 32> words;
    forEachWord(lowered.units, [&words](Units word) { words.push_back(word); });
    const std::uint64_t pairs = pairSetOf(QStringView(lowered.units.data(), qsizetype(lowered.units.size())));
    const Words split(words.data(), std::size_t(words.size()));
    return score(query, PreparedText{lowered.units, lowered.held, pairs, split});
}

std::uint64_t appendLowered(const QString& text, std::u16string& units)
{
    const std::size_t at = units.size();
    units.resize(at + std::size_t(text.size()));
    if (const std::optional<UnitSet> held = lowerUnits(text, units.data() + at))
        return *held;
    units.resize(at);
    const QString lower = text.toLower();
    units.append(unitsOf(lower));
    return unitSetOf(lower);
}

void appendWords(std::u16string_view units, std::vector<std::u16string_view>& words)
{
    forEachWord(units, [&words](Units word) { words.push_back(word); });
}

} // namespace zumo::Fuzzy
