// Tests ranking entries by the best score of their texts.
#include <gtest/gtest.h>
#include <numeric>

#include "switcher/SearchRank.h"

namespace zumo {
namespace {

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
