#include <QStringList>
#include <gtest/gtest.h>

#include "platform/Log.h"

namespace zumo {
namespace {

// One story, because the early lines are process-wide and ctest runs each test in its own process.
TEST(LogTest, linesBeforeTheFirstSinkReachItAndLinesAfterDetachingAreDropped)
{
    for (int i = 0; i < EarlyLineCap + 5; ++i)
        appLog(QString::number(i));

    QStringList seen;
    installLogSink([&seen](const QString& line) { seen << line; });
    ASSERT_EQ(seen.size(), EarlyLineCap);
    EXPECT_EQ(seen.front(), "0");
    EXPECT_EQ(seen.back(), QString::number(EarlyLineCap - 1));

    appLog("live");
    EXPECT_EQ(seen.back(), "live");

    installLogSink({});
    appLog("after detaching");
    QStringList again;
    installLogSink([&again](const QString& line) { again << line; });
    EXPECT_TRUE(again.isEmpty());
    installLogSink({});
}

} // namespace
} // namespace zumo
