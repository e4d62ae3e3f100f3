#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

#include "platform/Log.h"
#include "tests/support/TestSupport.h"

namespace zumo {
namespace {

// The early lines are process-wide, so the story runs in a fresh process of its own: whatever
// tests ran before in this one cannot have logged or installed a sink. Returns a failure bit per
// step that went wrong.
int earlyLinesStory(const QStringList&)
{
    for (int i = 0; i < EarlyLineCap + 5; ++i)
        appLog(QString::number(i));
    QStringList seen;
    installLogSink([&seen](const QString& line) { seen << line; });
    int failures = 0;
    if (seen.size() != EarlyLineCap || seen.front() != "0" || seen.back() != QString::number(EarlyLineCap - 1))
        failures |= 1;
    appLog("live");
    if (seen.back() != "live")
        failures |= 2;
    installLogSink({});
    appLog("after detaching");
    QStringList again;
    installLogSink([&again](const QString& line) { again << line; });
    if (!again.isEmpty())
        failures |= 4;
    installLogSink({});
    return failures;
}
const test::ChildRegistration earlyLines("early-lines", &earlyLinesStory);

TEST(LogTest, linesBeforeTheFirstSinkReachItAndLinesAfterDetachingAreDropped)
{
    QProcess child;
    child.start(test::selfPath(), {QStringLiteral("--child"), QStringLiteral("early-lines")});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << "failed steps (bits): early lines 1, live line 2, dropped after detaching 4";
}

} // namespace
} // namespace zumo
