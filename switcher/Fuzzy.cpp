// The tiered search scorer: substring, word prefixes, initials, scattered letters, one typo per word.
#include "switcher/Fuzzy.h"

#include <QVarLengthArray>
#include <algorithm>
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

// The first word start at or after `from`, or text.size() when none is left.
std::size_t nextWordStart(Units text, std::size_t from)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (isWordUnit(text[i]) && (i == 0 || !isWordUnit(text[i - 1])))
            return i;
    }
    return text.size();
}

Units wordAt(Units text, std::size_t start)
{
    std::size_t end = start;
    while (end < text.size() && isWordUnit(text[end]))
        ++end;
    return text.substr(start, end - start);
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
bool tokensStartWords(const std::vector<QString>& tokens, Units text)
{
    QVarLengthArray<std::size_t, 16> used;
    for (const QString& token : tokens) {
        const Units units = unitsOf(token);
        std::size_t start = nextWordStart(text, 0);
        while (start < text.size() &&
               (!text.substr(start).starts_with(units) || std::ranges::find(used, start) != used.end()))
            start = nextWordStart(text, start + 1);
        if (start == text.size())
            return false;
        used.push_back(start);
    }
    return true;
}

bool initialsMatch(Units compact, Units text)
{
    std::size_t start = nextWordStart(text, 0);
    for (const char16_t unit : compact) {
        if (start == text.size() || text[start] != unit)
            return false;
        start = nextWordStart(text, start + 1);
    }
    return true;
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
bool tokensNearWords(const std::vector<QString>& tokens, Units text)
{
    for (const QString& token : tokens) {
        const Units units = unitsOf(token);
        std::size_t start = nextWordStart(text, 0);
        while (start < text.size() && !tokenNearWord(units, wordAt(text, start)))
            start = nextWordStart(text, start + 1);
        if (start == text.size())
            return false;
    }
    return true;
}

} // namespace

int score(const Query& query, const QString& text)
{
    if (query.whole.isEmpty())
        return 1;
    const QString lower = text.toLower();
    const Units units = unitsOf(lower);
    if (units.empty())
        return 0;
    const int length = static_cast<int>(std::min<std::size_t>(units.size(), kLengthCap));

    const std::size_t at = units.find(unitsOf(query.whole));
    if (at == 0)
        return 1040 - length;
    if (at != Units::npos)
        return 1000 - length;
    if (!query.tokens.empty() && tokensStartWords(query.tokens, units))
        return 800 - length;

    const Units compact = unitsOf(query.compact);
    if (compact.size() < 2)
        return 0;
    if (initialsMatch(compact, units))
        return 600 - length;
    if (const int scattered = scatteredScore(compact, units); scattered > 0)
        return scattered;
    if (compact.size() < kShortestTypoToken)
        return 0;
    return tokensNearWords(query.tokens, units) ? 200 - length : 0;
}

std::vector<int> wordStarts(QStringView text)
{
    const Units units = unitsOf(text);
    std::vector<int> starts;
    for (std::size_t i = nextWordStart(units, 0); i < units.size(); i = nextWordStart(units, i + 1))
        starts.push_back(static_cast<int>(i));
    return starts;
}

bool withinOneEdit(QStringView token, QStringView word)
{
    return editTest(unitsOf(token), unitsOf(word));
}

} // namespace zumo::Fuzzy
