// Tests ranking entries by the best score of their texts.
#include <gtest/gtest.h>

#include "switcher/SearchRank.h"

namespace zumo {
namespace {

using Order = std::vector<std::size_t>;

TEST(SearchRank, ordersByBestTextDroppingNonMatchesAndKeepingTiesInListOrder)
{
    const std::vector<SearchTexts> items = {
        {"Open in Safari", "", ""},    // 986
        {"Notes", "Safari", "Safari"}, // 1034 through the app name
        {"Mail", "Mail", ""},          // 0: dropped
        {"", "", "Safari"},            // 1034 through the window title, after item 1
        {"", "", ""},                  // nothing to match
    };
    EXPECT_EQ(rankByScore(Query("saf"), items), (Order{1, 3, 0}));
    EXPECT_EQ(bestScore(Query("saf"), items[1]), 1034);
    EXPECT_EQ(rankByScore(Query("zzz"), items), Order{});
}

TEST(SearchRank, emptyQueryKeepsEveryItemInListOrder)
{
    const std::vector<SearchTexts> items = {{"B", "", ""}, {"", "", ""}, {"A", "A", "A"}};
    EXPECT_EQ(rankByScore(Query(""), items), (Order{0, 1, 2}));
    EXPECT_EQ(rankByScore(Query("x"), {}), Order{});
}

} // namespace
} // namespace zumo
