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

// The entry as the session starts it: through GLib's launcher, and through systemd's autostart
// generator, which GNOME and KDE sessions use and which must find no escape in it that it would
// keep as it stands. A path with reserved characters reaches the program whole, and when an
// update's swap was cut between its renames, leaving the install folder missing, the copy beside
// it starts instead; a folder the fallback cannot quote ($) starts the program alone.
TEST(AutostartEntryTest, theSessionStartsTheProgramOrTheCopyBesideItsMissingFolder)
{
    const QStringList cases[] = {{"/a$b apps/zumo", "/a$b apps/zumo"},
                                 {"/my apps 100%/Zumo/bin/zumo", "/my apps 100%/Zumo/bin/zumo"},
                                 {"/my apps 100%/Zumo/bin/zumo", "/my apps 100%/Zumo.replaced/bin/zumo"},
                                 {"/a$b/Zumo/bin/zumo", "/a$b/Zumo/bin/zumo"}};
    for (const QStringList& paths : cases) {
        QTemporaryDir tmp;
        const QString entry = tmp.filePath("autostart/zumo.desktop"), ran = tmp.filePath("ran");
        writeAll(entry, autostartEntry(tmp.path() + paths[0]));
        writeAll(tmp.path() + paths[1], "#!/bin/sh\necho \"$0 $*\" > '" + ran.toUtf8() + "'\n");
        QFile::setPermissions(tmp.path() + paths[1], QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(QProcess::execute("gio", {"launch", entry}), 0);
        EXPECT_TRUE(eventsUntil([&] { return readAll(ran).endsWith('\n'); }));
        EXPECT_EQ(readAll(ran), (tmp.path() + paths[1] + " --login\n").toUtf8());

        if (paths[0].contains('$'))
            continue;  // systemd 252's generator cannot start a program whose path holds a $ at all
        QProcess systemd;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", tmp.path());
        env.insert("XDG_CONFIG_DIRS", tmp.filePath("none"));
        systemd.setProcessEnvironment(env);
        QDir().mkpath(tmp.filePath("units"));
        systemd.start("/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator",
                      {tmp.filePath("units"), tmp.filePath("units"), tmp.filePath("units")});
        ASSERT_TRUE(systemd.waitForFinished());
        const QString unit = tmp.filePath("units/app-zumo@autostart.service");
        ASSERT_TRUE(QFile::exists(unit));
        systemd.start("systemd-analyze", {"verify", "--man=no", unit});
        ASSERT_TRUE(systemd.waitForFinished());
        const QByteArray said = systemd.readAllStandardError();
        EXPECT_FALSE(said.contains("escape")) << said.toStdString();
    }
}

} // namespace
} // namespace zumo::test
