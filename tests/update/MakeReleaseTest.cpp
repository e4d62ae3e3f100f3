#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/update/ReleaseFixture.h"
#include "update/FileDigest.h"
#include "update/LinuxUpdateTools.h"
#include "update/Manifest.h"
#include "update/ManifestSeal.h"

using namespace zumo;
using namespace zumo::test;

namespace {

int runTool(const QString& directory, const QStringList& arguments, QByteArray* errors = nullptr)
{
    QProcess tool;
    tool.setWorkingDirectory(directory);
    tool.start(ZUMO_MAKE_RELEASE, arguments);
    EXPECT_TRUE(tool.waitForFinished(60000));
    if (errors)
        *errors = tool.readAllStandardError();
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

} // namespace

// Refused without the build's key or a usable host (leaving nothing); otherwise an image,
// manifest and seal the program accepts.
TEST(MakeRelease, theToolMakesAnImageManifestAndSealTheProgramAcceptsAndOnlyWithTheBuildsKey)
{
    QTemporaryDir tmp;
    makeInstallFolder(tmp.path() + "/Zumo", "2.6.0");
    const QStringList release{"--version", "2.6.0", "--folder", "Zumo", "--out", "out"};
    const QString key = QStringLiteral(ZUMO_TEST_KEYS "/test-signing.pem");
    for (const QStringList& arguments : {QStringList{"--key", "/nonexistent.pem"} + release,
                                         QStringList{"--key", QStringLiteral(ZUMO_TEST_KEYS "/other-signing.pem")} + release,
                                         QStringList{"--key", key, "--host", "https://a.example/"} + release}) {
        EXPECT_EQ(runTool(tmp.path(), arguments), 1) << arguments.join(' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/out/latest.json"));

    QByteArray errors;
    // Relative folders, and a host with a port as a vendor on loopback has.
    ASSERT_EQ(runTool(tmp.path(), QStringList{"--key", key, "--notes", "Faster.", "--host", "127.0.0.1:8443"} + release,
                      &errors),
              0) << errors.constData();

    const QByteArray manifest = readAll(tmp.path() + "/out/latest.json");
    const Updater::CheckResult offer = Updater::readManifest(200, manifest, "127.0.0.1");
    ASSERT_TRUE(offer.release);
    EXPECT_EQ(offer.release->url.toString(), "https://127.0.0.1:8443/dl/zumo/Zumo-2.6.0.tar.gz");
    EXPECT_EQ(offer.release->notes, "Faster.");
    const auto seal = Updater::readManifestSeal(readAll(tmp.path() + "/out/latest.json.sig"), manifest, testPublicKey());
    ASSERT_TRUE(seal);
    EXPECT_EQ(seal->expiresAt - seal->signedAt, 30 * 86400);
    const QString image = tmp.path() + "/out/Zumo-2.6.0.tar.gz";
    EXPECT_EQ(Updater::fileSHA256Hex(image), offer.release->sha256);
    LinuxUpdateTools tools(testPublicKey(), {});
    EXPECT_TRUE(tools.isTrustedDiskImage(image));
    EXPECT_TRUE(tools.isTrustedApp(tmp.path() + "/Zumo"));
}
