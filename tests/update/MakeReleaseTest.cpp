#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/update/ReleaseFixture.h"
#include "update/FileDigest.h"
#include "update/LinuxUpdateTools.h"
#include "update/Manifest.h"

using namespace zumo;
using namespace zumo::test;

TEST(MakeRelease, theToolMakesAnImageAndManifestTheProgramAccepts)
{
    QTemporaryDir tmp;
    makeInstallFolder(tmp.path() + "/Zumo", "2.6.0");
    QProcess tool;
    tool.start(ZUMO_MAKE_RELEASE, {"--key", QStringLiteral(ZUMO_TEST_KEYS "/test-signing.pem"), "--version", "2.6.0",
                                   "--folder", tmp.path() + "/Zumo", "--out", tmp.path() + "/out", "--notes", "Faster."});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().constData();
    EXPECT_TRUE(tool.readAllStandardError().isEmpty());  // the key matches the pinned one

    const Updater::CheckResult manifest = Updater::readManifest(200, readAll(tmp.path() + "/out/latest.json"), "pellwick.example");
    ASSERT_TRUE(manifest.release);
    EXPECT_EQ(manifest.release->url.toString(), "https://pellwick.example/dl/zumo/Zumo-2.6.0.tar.gz");
    EXPECT_EQ(manifest.release->notes, "Faster.");
    const QString image = tmp.path() + "/out/Zumo-2.6.0.tar.gz";
    EXPECT_EQ(Updater::fileSHA256Hex(image), manifest.release->sha256);
    LinuxUpdateTools tools(Updater::pinnedPublicKey(), {});
    EXPECT_TRUE(tools.isTrustedDiskImage(image));
    EXPECT_TRUE(tools.isTrustedApp(tmp.path() + "/Zumo"));
}

TEST(MakeRelease, theToolRefusesAMissingKey)
{
    QProcess tool;
    tool.start(ZUMO_MAKE_RELEASE, {"--key", "/nonexistent.pem", "--version", "1", "--folder", "/tmp", "--out", "/tmp"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_NE(tool.exitCode(), 0);
}
