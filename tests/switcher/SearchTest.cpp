// Search text: how typed text splits into tokens, the tiered scorer tier by tier (including the
// edges where a tier stops applying), and ranking entries by the best score of their texts.
#include <gtest/gtest.h>
#include <numeric>
#include <random>

#include "switcher/Fuzzy.h"
#include "switcher/Query.h"
#include "switcher/SearchRank.h"

namespace zumo {
namespace {

using namespace Qt::StringLiterals;

struct ScoreCase {
    QString query;
    QString text;
    int expected;
};

// The query without its unit sets, which lets every text reach every tier: the quick rejections
// by unit sets must never drop a match the tiers would find.
Query slowPath(Query query)
{
    query.wholeUnits = 0;
    query.compactUnits = 0;
    return query;
}

// Each tier in turn, with the edges where it stops applying, each scoring the same without the
// quick rejections (among them the cases where a too eager rejection would bite).
TEST(Fuzzy, tiersAndTheirEdges)
{
    const QString padded39 = u"x"_s + QString(38, u'-');
    const QString stretched = u"a"_s + QString(98, u'x') + u"b"_s;
    const ScoreCase cases[] = {
        // whole text, with the length penalty
        {u""_s, u""_s, 1},
        {u""_s, u"Mail"_s, 1},
        {u"mail"_s, u""_s, 0},
        {u"saf"_s, u"Safari"_s, 1034},
        {u"SAF"_s, u"safari"_s, 1034},
        {u"saf"_s, u"Open in Safari"_s, 986},
        {u"a"_s, u"banana"_s, 994},        // the first occurrence decides
        {u"e m"_s, u"Google Mail"_s, 989}, // the whole text, spaces included
        {u"x"_s, padded39, 1001},
        {u"x"_s, padded39 + QString(11, u'-'), 1001}, // 50 units: the penalty stops at 39
        {u"x"_s, padded39.left(38), 1002},
        {u"i"_s, u"İstanbul"_s, 1031},   // lower-cases to 9 units
        {u"i\u0307s"_s, u"\u0130stanbul"_s, 1031}, // the query lowered by Qt: two units from one
        {u"-"_s, u"Mail In-box"_s, 989}, // punctuation only: substring or nothing
        {u"--"_s, u"Mail In-box"_s, 0},
        // word prefixes, each word used once
        {u"go ma"_s, u"Google Mail"_s, 789},
        {u"ma go"_s, u"Google Mail"_s, 789},
        {u"in box"_s, u"Mail In-box"_s, 789},
        {u"ét go"_s, u"Zoo Été Google"_s, 786},
        {u"go go"_s, u"Google Go"_s, 791},
        {u"go go"_s, u"Google"_s, 194},       // falls through to the typo tier
        {u"oo ail"_s, u"Google Mail"_s, 395}, // not at word starts: scattered instead
        // initials and scattered letters
        {u"gm"_s, u"Google Mail"_s, 589},
        {u"zé"_s, u"Zoo Été"_s, 593},           // units of 128 or more are word characters
        {u"xy"_s, u"x|y"_s, 597},               // '|' (124) separates
        {u"abcd"_s, u"a{b~c\u007fd"_s, 593},    // and so do '{', '~' and DEL
        {u"gm"_s, u"Super Google Mail"_s, 394}, // only the first words count as initials
        {u"gml"_s, u"Google Mail"_s, 392},
        {u"ab"_s, stretched, 302},          // slack 98
        {u"ab"_s, u"a"_s + stretched, 301}, // slack 99
        {u"ab"_s, u"a"_s + QString(150, u'x') + u"b"_s, 301},
        {u"xy"_s, u"Mail"_s, 0},
        {u"q"_s, u"Mail"_s, 0},
        // one typo per word
        {u"mial"_s, u"Mail"_s, 196},              // transposition
        {u"mall"_s, u"Mail"_s, 196},              // substitution
        {u"maiil"_s, u"Mail"_s, 196},             // insertion
        {u"maxil"_s, u"Mail"_s, 196},             // insertion of a unit the text lacks
        {u"rep2ort"_s, u"report 2026"_s, 189},    // "2" shares a bit with "r"
        {u"gogle mial"_s, u"Google Mail"_s, 189}, // deletion
        {u"mailbz"_s, u"Mailboxes"_s, 191},       // a typo within a prefix of a longer word
        {u"mailobx"_s, u"Mailboxes"_s, 191},
        {u"mailobx"_s, u"Mailboxes \U00010400"_s, 188},
        {u"go mial"_s, u"Google Mail"_s, 189},
        {u"gi mial"_s, u"Google Mail"_s, 0}, // tokens under 4 units allow no typo
        {u"mial xyzw"_s, u"Mail"_s, 0},      // every token must match
        {u"mlia"_s, u"Mail"_s, 0},
        {u"mbik"_s, u"Mail"_s, 0},           // two substitutions
        {u"amli"_s, u"Mail"_s, 0},           // two swaps
        {u"mak"_s, u"Mail"_s, 0}, // compact under 4 units: no typo tier
    };
    for (const ScoreCase& c : cases) {
        EXPECT_EQ(Fuzzy::score(Query(c.query), c.text), c.expected) << c.query.toStdString() << " / " << c.text.toStdString();
        EXPECT_EQ(Fuzzy::score(slowPath(Query(c.query)), c.text), c.expected) << c.query.toStdString();
    }
}

// The scorer lowers texts its own faster way; the query is lowered by Qt, so a text scoring as
// its own prefix proves both lowerings agree.
TEST(Fuzzy, lowersTextsExactlyAsQtLowersTheWholeString)
{
    for (char32_t unit = 0x21; unit <= 0xffff; ++unit) {
        if (QChar::isSurrogate(unit))
            continue;
        const QString text(QChar(static_cast<char16_t>(unit)));
        ASSERT_EQ(Fuzzy::score(Query(text), text), 1040 - text.toLower().size())
            << "unit " << static_cast<unsigned>(unit);
    }
    for (const QString& text :
         {u"@AZ[`az{\u007fMIXED Case Title, 4 by 4 Units!"_s, u"ÀÉÎ Õ Ü and ASCII AFTER"_s,
          u"ASCII then \u0130stanbul"_s, u"Deseret \U00010400\U00010401 TITLE"_s}) {
        EXPECT_EQ(Fuzzy::score(Query(text), text), 1040 - std::min<qsizetype>(text.toLower().size(), 39))
            << text.toStdString();
    }
}

// Random pairs score the same without the quick rejections too: queries cut from the text with
// one edit, awkward units included (lone surrogates, U+0130, DEL, U+FFFF, units sharing a bit
// with letters). Every score stays in a tier's range and, under the sanitizers, the buffer
// handling is guarded.
TEST(Fuzzy, unitSetRejectionsNeverDropAMatch)
{
    const std::u16string alphabet = u"Aaerz02 -.É\u0130\u007f\uffff\xd801\xdc00";
    std::mt19937 random(7);
    const auto randomText = [&](int longest) {
        QString text;
        for (int n = std::uniform_int_distribution<int>(0, longest)(random); n > 0; --n)
            text += QChar(alphabet[random() % alphabet.size()]);
        return text;
    };
    for (int i = 0; i < 5000; ++i) {
        const QString text = randomText(120);
        QString query = text.mid(random() % (text.size() + 1), 2 + random() % 8);
        if (!query.isEmpty() && random() % 2)
            query[random() % query.size()] = QChar(alphabet[random() % alphabet.size()]);
        if (random() % 4 == 0)
            query = randomText(8);
        const int score = Fuzzy::score(Query(query), text);
        ASSERT_EQ(score, Fuzzy::score(slowPath(Query(query)), text))
            << query.toStdString() << " / " << text.toStdString();
        EXPECT_TRUE(score == 0 || score == 1 || (score >= 161 && score <= 1040))
            << score << " for " << query.toStdString() << " / " << text.toStdString();
    }
}

struct QueryCase {
    QString text;
    QString whole;
    std::vector<QString> tokens;
    QString compact;
};

TEST(Query, splitsLowerCasedTextIntoWordTokens)
{
    const std::vector<QueryCase> cases = {
        {u"Mail In-box"_s, u"mail in-box"_s, {u"mail"_s, u"in"_s, u"box"_s}, u"mailinbox"_s},
        {u"  Go  Ma  "_s, u"go  ma"_s, {u"go"_s, u"ma"_s}, u"goma"_s},
        {u"\tTab"_s, u"\ttab"_s, {u"tab"_s}, u"tab"_s}, // only U+0020 is trimmed
        {u"--"_s, u"--"_s, {}, u""_s},                  // punctuation only: no tokens
        {u"v2.0"_s, u"v2.0"_s, {u"v2"_s, u"0"_s}, u"v20"_s},
        {u"Naïve{x}~ÉTÉ\u007f"_s, u"naïve{x}~été\u007f"_s, {u"naïve"_s, u"x"_s, u"été"_s}, u"naïvexété"_s},
        {u""_s, u""_s, {}, u""_s},
    };
    for (const QueryCase& c : cases) {
        const Query query(c.text);
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(query.whole, c.whole);
        EXPECT_EQ(query.tokens, c.tokens);
        EXPECT_EQ(query.compact, c.compact);
    }
}

using Order = std::vector<std::size_t>;

// Best score first, ties in list order, non-matches dropped. The run's texts are lowered once
// into one shared buffer, each distinct text once; texts Qt lowers to another length (U+0130,
// surrogates) sit between the others. Items 0 and 2, and 1 and 3, tie on some queries: a text
// stretched in the buffer would lose.
TEST(SearchRank, ordersByBestTextAsEachTextScoresAlone)
{
    const std::vector<SearchTexts> items = {
        {"\u0130stanbul Mail", "Files", ""}, {"Deseret \U00010400 Safari", "Files", "Mail"},
        {"Istanbul Mail!", "", ""},          {"Deseret XY Safari", "", ""},
        {"Safari", "", "\u0130stanbul"},     {"Mail In-box", "Mail", ""},
        {"", "", ""},
    };
    for (const char* text : {"stanbul", "saf", "mail", "i\u0307s", "\U00010400", "mial", "fl", "in box"}) {
        const Query query(QString::fromUtf8(text));
        Order expected(items.size());
        std::iota(expected.begin(), expected.end(), 0);
        std::ranges::stable_sort(expected, std::greater{}, [&](std::size_t i) { return bestScore(query, items[i]); });
        std::erase_if(expected, [&](std::size_t i) { return bestScore(query, items[i]) == 0; });
        EXPECT_EQ(rankByScore(query, items), expected) << text;
    }
    EXPECT_EQ(rankByScore(Query("zzz"), items), Order{});
    EXPECT_EQ(rankByScore(Query(""), items), (Order{0, 1, 2, 3, 4, 5, 6})) << "an empty query keeps them all";
    EXPECT_EQ(rankByScore(Query("x"), {}), Order{});
}

} // namespace
} // namespace zumo
