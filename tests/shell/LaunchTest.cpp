// Launch bookkeeping and the autostart entry.
#include <QFile>

#include "shell/Autostart.h"
#include "shell/LaunchBook.h"
#include "tests/shell/ShellFakes.h"
#include "tests/support/TestFiles.h"

namespace zumo::test {
namespace {

TEST_F(ShellTest, launchesCountEveryLaunchAndActiveDaysOncePerLocalDay)
{
    countLaunch(store, counters);
    clock.advance(3600);
    countLaunch(store, counters);
    EXPECT_EQ(counters.allCount("launches"), 2);
    EXPECT_EQ(counters.allCount("activeDays"), 1);
    EXPECT_EQ(store.value("lastActiveDay").toString(), "20260305");

    clock.set(berlinTime(2026, 3, 6, 0, 5));
    countLaunch(store, counters);
    EXPECT_EQ(counters.allCount("activeDays"), 2);
}

// The toast after an update, once: UpdateE2e.
TEST_F(ShellTest, onlyAVersionChangeCountsAndToasts)
{
    EXPECT_EQ(noteVersion(store, counters, "2.4.0", false).toast, "");
    EXPECT_EQ(noteVersion(store, counters, "2.4.0", false).toast, "");
    EXPECT_EQ(counters.allCount("updated"), 0);
    EXPECT_EQ(noteVersion(store, counters, "2.4.1", false).updatedFrom, "2.4.0");
    VersionChange quiet = noteVersion(store, counters, "2.5.0", true);
    EXPECT_EQ(quiet.toast, "");
    EXPECT_EQ(quiet.updatedFrom, "2.4.1");
    EXPECT_EQ(counters.allCount("updated"), 2);
}

class AutostartTest : public ShellTest {
protected:
    QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    AutostartTest() { qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8()); }
    ~AutostartTest() override { qputenv("XDG_CONFIG_HOME", savedConfigHome); }
};

TEST_F(AutostartTest, registersOnceUnderXdgConfigHomeWithTheLoginFlag)
{
    // The entry itself, with --login, under a real launch: ShellE2e.
    const QString path = autostartPath();
    registerLoginItemOnce(store, path, "/usr/bin/zumo");
    EXPECT_TRUE(store.value("loginDefaultDone").toBool());

    QFile::remove(path);  // the user took it out: it stays out
    registerLoginItemOnce(store, path, "/usr/bin/zumo");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(AutostartTest, aFailedRegistrationIsTriedAgainNextLaunch)
{
    writeAll(dir.filePath("config"), "a file where the folder should be");
    registerLoginItemOnce(store, autostartPath(), "/usr/bin/zumo");
    EXPECT_FALSE(store.contains("loginDefaultDone"));
}

TEST(AutostartEntryTest, quotesProgramsWithSpacesAndEscapesAsDesktopEntriesRequire)
{
    EXPECT_TRUE(autostartEntry("/opt/my apps/zumo").contains("Exec=\"/opt/my apps/zumo\" --login\n"));
    EXPECT_TRUE(autostartEntry("/opt/a$b/zumo").contains("Exec=\"/opt/a\\\\$b/zumo\" --login\n"));
    EXPECT_TRUE(autostartEntry("/opt/100%/zumo").contains("Exec=/opt/100%%/zumo --login\n"));
}

} // namespace
} // namespace zumo::test
