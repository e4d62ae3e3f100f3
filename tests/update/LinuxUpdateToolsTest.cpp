#include <QProcess>
#include <sys/stat.h>

#include "desktop/qt/HelperChecks.h"
#include "desktop/qt/HelperProgram.h"
#include "tests/update/UpdateFakes.h"
#include "update/Ed25519.h"
#include "update/FileDigest.h"
#include "update/LinuxUpdateTools.h"
#include "update/Manifest.h"
#include "update/ManifestSeal.h"
#include "update/PrivateFiles.h"
#include "update/SafeExtract.h"

using namespace zumo;
using namespace zumo::Updater;
using namespace zumo::test;

namespace {

class LinuxImage : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString image = tmp.path() + "/update.dmg";
    QString mnt = tmp.path() + "/mnt";
    LinuxUpdateTools tools{testPublicKey(), LinuxPlace{}};
    HelperProgram helper{QStringLiteral(ZUMO_NET)};

    void SetUp() override { QDir().mkpath(mnt); }

    QString makeGoodImage(const QString& version = "2.5.0")
    {
        const QString folder = tmp.path() + "/build-" + version;
        makeImage(folder, image, version);
        return folder;
    }
};

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

// Only an image signed by the trusted key for this product is opened; one whose file list says
// another version is refused when opened. Nothing is unpacked from any of them.
TEST_F(LinuxImage, imagesNotSignedAsThisReleaseAreRefused)
{
    const QString folder = makeGoodImage();
    const QByteArray good = readAll(image);
    // A copy pinning the test key without a test asking for it trusts no key at all.
    LinuxUpdateTools trustingNone{updateKeyFor(testPublicKey(), false), {}};
    EXPECT_FALSE(trustingNone.isTrustedDiskImage(image));
    EXPECT_FALSE(trustingNone.isTrustedApp(folder));
    using Make = std::function<void()>;
    const auto altered = [&](qsizetype at) {
        return [&, at] {
            QByteArray bad = good;
            bad[at] = char(bad[at] ^ 0x01);
            writeAll(image, bad);
        };
    };
    const auto resigned = [&](const char* identifier, const char* version) {
        return [&, identifier, version] {
            ASSERT_TRUE(makeSignedFolder(folder, "2.5.0"));
            ASSERT_EQ(writeTarArchive(folder, "Zumo", image), "");
            ASSERT_TRUE(signImage(image, identifier, version, testKey()));
        };
    };
    const QList<std::pair<const char*, Make>> cases{
        {"another key", [&] { ASSERT_EQ(makeReleaseImage({folder, "2.5.0", testKey("other-signing.pem"), image}), ""); }},
        {"unsigned", [&] { ASSERT_EQ(writeTarArchive(folder, "Zumo", image), ""); }},
        {"middle byte", altered(good.size() / 2)},
        {"trailer bytes", altered(good.size() - 80)},
        {"signature byte", altered(good.size() - 5)},
        {"cut by 1", [&] { writeAll(image, good.chopped(1)); }},
        {"trailing bytes", [&] { writeAll(image, good + "trailing"); }},
        {"another product", resigned("com.other.app", "2.5.0")},
        {"list of another version", resigned("com.zumo.app", "2.6.0")},
    };
    for (const auto& [name, make] : cases) {
        make();
        EXPECT_FALSE(tools.isTrustedDiskImage(image) && tools.attach(image, mnt)) << name;
        tools.detach(mnt);
    }
    writeAll(image, good.chopped(12));
    EXPECT_FALSE(tools.attach(image, mnt));
    EXPECT_TRUE(QDir(mnt).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(LinuxImage, hostileArchivesAreRefusedAndWriteNothingOutside)
{
    struct Entry {
        QByteArray name;
        unsigned type;
        const char* link = nullptr;  // a symbolic link's target, or with hard set a hard link's
        bool hard = false;
    };
    const QByteArray victim = QFile::encodeName(tmp.path() + "/victim");
    const std::pair<const char*, std::vector<Entry>> attacks[] = {
        {"dot-dot", {{"Zumo/../../victim", AE_IFREG}}},
        {"absolute", {{victim, AE_IFREG}}},
        {"symlink out", {{"Zumo", AE_IFDIR}, {"Zumo/escape", AE_IFLNK, "../../.."}}},
        {"absolute symlink", {{"Zumo/etc", AE_IFLNK, "/etc"}}},
        {"write through link", {{"Zumo/inner", AE_IFDIR}, {"Zumo/link", AE_IFLNK, "inner"}, {"Zumo/link/file", AE_IFREG}}},
        {"hard link", {{"Zumo/a", AE_IFREG}, {"Zumo/b", AE_IFREG, "Zumo/a", true}}},
        {"hard link out", {{"Zumo/p", AE_IFREG, "/etc/passwd", true}}},
        {"device", {{"Zumo/dev", AE_IFCHR}}},
        {"fifo", {{"Zumo/fifo", AE_IFIFO}}},
        // Each link alone stays inside; through r, e leads two levels above the root.
        {"chained links", {{"Zumo/r", AE_IFLNK, ".."}, {"Zumo/e", AE_IFLNK, "r/../.."}}},
        {"chained links, later link first", {{"Zumo/e", AE_IFLNK, "r/../.."}, {"Zumo/r", AE_IFLNK, ".."}}},
        {"link loop", {{"Zumo/a", AE_IFLNK, "b/x"}, {"Zumo/b", AE_IFLNK, "a/x"}}},
        {"duplicate", {{"Zumo/f", AE_IFREG}, {"Zumo/f", AE_IFREG}}},
    };
    for (const auto& [name, entries] : attacks) {
        SCOPED_TRACE(name);
        writeTar(image, [&entries](struct archive* a) {
            for (const Entry& e : entries)
                addEntry(a, e.name.constData(), e.type, e.type == AE_IFREG && !e.link ? "owned" : "", e.link, e.hard);
        });
        ASSERT_TRUE(signImage(image, productIdentifier(), "2.5.0", testKey()));
        ASSERT_TRUE(tools.isTrustedDiskImage(image));  // signed: only the contents are hostile
        EXPECT_FALSE(tools.attach(image, mnt));
        tools.detach(mnt);
        // The running program unpacks in its helper: refused there too, with a reason.
        QDir().mkpath(mnt);
        EXPECT_NE(helperExtractArchive(helper, image, QFileInfo(image).size(), mnt, {}), "");
        EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(victim)));  // by either
        Updater::removeTree(mnt);
    }
}

TEST_F(LinuxImage, extractionIsCappedInEntriesAndBytes)
{
    writeTar(image, [](struct archive* a) {
        for (int i = 0; i < 5; ++i)
            addEntry(a, QByteArray("f" + QByteArray::number(i)).constData(), AE_IFREG, QByteArray(100, 'x'));
    });
    for (const auto& [limits, fits] : {std::pair{ExtractLimits{5, 500}, true}, std::pair{ExtractLimits{4, 500}, false},
                                       std::pair{ExtractLimits{5, 499}, false}}) {
        Updater::removeTree(mnt);
        QDir().mkpath(mnt);
        EXPECT_EQ(extractArchive(image, QFileInfo(image).size(), mnt, limits).isEmpty(), fits);
        Updater::removeTree(mnt);
        QDir().mkpath(mnt);
        EXPECT_EQ(helperExtractArchive(helper, image, QFileInfo(image).size(), mnt, limits).isEmpty(), fits);
    }
}

TEST_F(LinuxImage, aBundleIsTrustedOnlyAsSigned)
{
    const QString folder = makeGoodImage();
    ASSERT_TRUE(tools.isTrustedApp(folder));
    using Change = std::function<void(const QString&)>;
    const QList<std::pair<const char*, Change>> changes{
        {"file edited", [](const QString& f) { writeAll(f + "/lib/libzumo.so.1.0", "patched"); }},
        {"file added", [](const QString& f) { writeAll(f + "/bin/extra", "x"); }},
        {"file removed", [](const QString& f) { QFile::remove(f + "/lib/libzumo.so.1.0"); }},
        {"link retargeted", [](const QString& f) {
             QFile::remove(f + "/lib/libzumo.so.1");
             QFile::link("/etc/passwd", f + "/lib/libzumo.so.1");
         }},
        {"mode changed", [](const QString& f) { ::chmod(QFile::encodeName(f + "/bin/zumo").constData(), 0644); }},
        {"signature removed", [](const QString& f) { QFile::remove(f + "/.zumo-files.sig"); }},
        {"another product", [](const QString& f) { signFolder(f, {"com.other.app", "2.5.0", makerIdentifier()}, testKey()); }},
        {"another signer", [](const QString& f) { signFolder(f, {productIdentifier(), "2.5.0", "SOMEONEELS"}, testKey()); }},
        {"another key", [](const QString& f) {
             signFolder(f, {productIdentifier(), "2.5.0", makerIdentifier()}, testKey("other-signing.pem"));
         }},
    };
    const QString copy = tmp.path() + "/copy";
    for (const auto& [name, change] : changes) {
        Updater::removeTree(copy);
        ASSERT_EQ(copyFolder(folder, copy), 0);
        ASSERT_TRUE(tools.isTrustedApp(copy)) << name;
        change(copy);
        EXPECT_FALSE(tools.isTrustedApp(copy)) << name;
    }
    EXPECT_FALSE(tools.readBundleFacts(copy));  // nothing unsigned is believed, not even the version
}

// The running program checks signatures in its helper: only the key's signature of exactly
// this message passes; a helper that cannot be run passes nothing.
TEST(Ed25519, theHelperPassesOnlyTheKeysSignatureOfTheMessage)
{
    const HelperProgram helper{QStringLiteral(ZUMO_NET)};
    const QByteArray message("zumo-image 1\n");
    const QByteArray signature = signEd25519(testKey(), message);
    QByteArray flipped = signature;
    flipped[10] = char(flipped[10] ^ 0x01);
    EXPECT_TRUE(helperVerifyEd25519(helper, testPublicKey(), message, signature));
    EXPECT_FALSE(helperVerifyEd25519(helper, testPublicKey(), message + "x", signature));
    EXPECT_FALSE(helperVerifyEd25519(helper, testPublicKey(), message, flipped));
    EXPECT_FALSE(helperVerifyEd25519(helper, publicKeyOf(testKey("other-signing.pem")), message, signature));
    EXPECT_FALSE(helperVerifyEd25519(helper, testPublicKey(), message, signature.left(63)));
    EXPECT_FALSE(helperVerifyEd25519(HelperProgram(QStringLiteral("/nonexistent/zumo-net")), testPublicKey(), message,
                                     signature));
}

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
