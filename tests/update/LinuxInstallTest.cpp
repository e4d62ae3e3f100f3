#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/update/ReleaseFixture.h"
#include "update/LinuxUpdateTools.h"

using namespace zumo;
using namespace zumo::Updater;
using namespace zumo::test;

namespace {

// Runs the install script for real against folders in a temporary directory. The process it
// waits for has already ended, so it goes straight on.
class InstallScript : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString dest = tmp.path() + "/Applications/Zumo";
    QString work = tmp.path() + "/zumo-update-X";
    QString fresh = work + "/stage/Zumo";
    QString ran = tmp.path() + "/ran";

    int run()
    {
        const QString script = tmp.path() + "/install.sh";
        writeAll(script, linuxInstallScript());
        QProcess ended;
        ended.start("/bin/true");
        ended.waitForStarted();
        const qint64 pid = ended.processId();
        ended.waitForFinished();
        QProcess sh;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZUMO_TEST_RAN", ran);
        sh.setProcessEnvironment(env);
        sh.start("/bin/sh", {script, QString::number(pid), fresh, dest, work});
        EXPECT_TRUE(sh.waitForFinished(30000));
        return sh.exitCode();
    }
};

} // namespace

TEST_F(InstallScript, replacesTheFolderAndStartsTheNewCopy)
{
    makeInstallFolder(dest, "2.3.0");
    writeAll(dest + "/old-only", "x");
    makeInstallFolder(fresh, "2.4.0");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(readAll(ran), "2.4.0\n");
    EXPECT_EQ(readAll(dest + "/lib/libzumo.so.1.0"), "library 2.4.0");
    EXPECT_TRUE(QFileInfo(dest + "/lib/libzumo.so.1").isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dest + "/old-only"));
    EXPECT_FALSE(QFileInfo::exists(dest + ".updating"));
    EXPECT_FALSE(QFileInfo::exists(work));
}

TEST_F(InstallScript, installsIntoANewPlaceWithoutABackup)
{
    QDir().mkpath(tmp.path() + "/Applications");
    makeInstallFolder(fresh, "2.4.0");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(readAll(ran), "2.4.0\n");
    EXPECT_FALSE(QFileInfo::exists(dest + ".updating"));
}

TEST_F(InstallScript, aFailedCopyPutsTheOldCopyBackAndStartsIt)
{
    makeInstallFolder(dest, "2.3.0");
    QDir().mkpath(work);  // but no staged copy to take
    run();
    EXPECT_EQ(readAll(ran), "2.3.0\n");
    EXPECT_EQ(readAll(dest + "/lib/libzumo.so.1.0"), "library 2.3.0");
    EXPECT_FALSE(QFileInfo::exists(dest + ".updating"));
}

TEST(LinuxInstallDestination, inPlaceOnlyForAWritableInstallFolderOnLastingMedia)
{
    LinuxPlace place{"/home/u/opt/Zumo", true, true, false, false, "/home/u"};
    EXPECT_EQ(linuxInstallDestination(place).path, "/home/u/opt/Zumo");
    place.removableOrTemporary = true;
    EXPECT_EQ(linuxInstallDestination(place).path, "/home/u/Applications/Zumo");
    place = {"/opt/Zumo", true, false, false, false, "/home/u"};
    EXPECT_EQ(linuxInstallDestination(place).path, "/home/u/Applications/Zumo");
    place = {"/home/u/build", false, true, false, false, "/home/u"};
    EXPECT_EQ(linuxInstallDestination(place).path, "/home/u/Applications/Zumo");
    place = {"/usr", false, false, false, true, "/home/u"};
    EXPECT_TRUE(linuxInstallDestination(place).packageManaged);
}

TEST(LinuxInstallDestination, observesTheRunningFolder)
{
    QTemporaryDir tmp;
    makeInstallFolder(tmp.path() + "/Zumo", "2.3.0");
    ASSERT_TRUE(signFolder(tmp.path() + "/Zumo", {productIdentifier(), "2.3.0", makerIdentifier()}, testKey()));
    const LinuxPlace place = observeLinuxPlace(tmp.path() + "/Zumo/bin/zumo", "/home/u");
    EXPECT_EQ(place.runningFolder, tmp.path() + "/Zumo");
    EXPECT_TRUE(place.folderIsBundle);
    EXPECT_TRUE(place.parentWritable);
    EXPECT_FALSE(place.fromPackage);
    EXPECT_TRUE(observeLinuxPlace("/usr/bin/zumo", "/home/u").fromPackage);
    EXPECT_FALSE(observeLinuxPlace("/usr/local/bin/zumo", "/home/u").fromPackage);
    EXPECT_TRUE(observeLinuxPlace("/media/u/stick/Zumo/bin/zumo", "/home/u").removableOrTemporary);
}
