// Launch bookkeeping and the autostart entry.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "shell/Autostart.h"
#include "shell/LaunchBook.h"
#include "tests/shell/ShellFakes.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

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

TEST_F(AutostartTest, registersOnceAndUpdatesOnlyAnEntryItWroteBefore)
{
    // The entry itself, with --login, under a real launch: ShellE2e.
    const QString path = autostartPath();
    registerLoginItemOnce(store, path, "/usr/bin/zumo");
    EXPECT_TRUE(store.value("loginDefaultDone").toBool());

    QFile::remove(path);  // the user took it out: it stays out
    registerLoginItemOnce(store, path, "/usr/bin/zumo");
    EXPECT_FALSE(QFile::exists(path));

    // An earlier version's entry for an install folder gains the fallback; one the user edited stays.
    const QByteArray current = autostartEntry("/opt/Zumo/bin/zumo");
    const QByteArray older = current.left(current.indexOf("Exec=")) + "Exec=/opt/Zumo/bin/zumo --login\n" +
                             current.mid(current.indexOf("Icon="));
    const QByteArray edited = "[Desktop Entry]\nExec=/opt/Zumo/bin/zumo --login --verbose\n";
    for (const auto& [written, kept] : {std::pair{older, current}, std::pair{edited, edited}}) {
        writeAll(path, written);
        registerLoginItemOnce(store, path, "/opt/Zumo/bin/zumo");
        EXPECT_EQ(readAll(path), kept);
    }
}

TEST_F(AutostartTest, aFailedRegistrationIsTriedAgainNextLaunch)
{
    writeAll(dir.filePath("config"), "a file where the folder should be");
    registerLoginItemOnce(store, autostartPath(), "/usr/bin/zumo");
    EXPECT_FALSE(store.contains("loginDefaultDone"));
}

// The entry as the session starts it (GLib's launcher, as GNOME's and others' do): a path with
// reserved characters reaches the program whole, and when an update's swap was cut between its
// renames, leaving the install folder missing, the copy beside it starts instead.
TEST(AutostartEntryTest, theSessionStartsTheProgramOrTheCopyBesideItsMissingFolder)
{
    const QStringList cases[] = {{"/my apps/zumo", "/my apps/zumo"},
                                 {"/a$b 100%/Zumo/bin/zumo", "/a$b 100%/Zumo/bin/zumo"},
                                 {"/a$b 100%/Zumo/bin/zumo", "/a$b 100%/Zumo.replaced/bin/zumo"}};
    for (const QStringList& paths : cases) {
        QTemporaryDir tmp;
        const QString entry = tmp.filePath("zumo.desktop"), ran = tmp.filePath("ran");
        writeAll(entry, autostartEntry(tmp.path() + paths[0]));
        writeAll(tmp.path() + paths[1], "#!/bin/sh\necho \"$0 $*\" > '" + ran.toUtf8() + "'\n");
        QFile::setPermissions(tmp.path() + paths[1], QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(QProcess::execute("gio", {"launch", entry}), 0);
        EXPECT_TRUE(eventsUntil([&] { return readAll(ran).endsWith('\n'); }));
        EXPECT_EQ(readAll(ran), (tmp.path() + paths[1] + " --login\n").toUtf8());
    }
}

} // namespace
} // namespace zumo::test
