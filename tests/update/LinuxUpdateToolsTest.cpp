#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/update/ReleaseFixture.h"
#include "update/Ed25519.h"
#include "update/LinuxUpdateTools.h"
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

    void SetUp() override { QDir().mkpath(mnt); }

    QString makeGoodImage(const QString& version = "2.5.0")
    {
        const QString folder = tmp.path() + "/build-" + version;
        makeInstallFolder(folder, version);
        EXPECT_EQ(makeReleaseImage({folder, version, testKey(), image}), "");
        return folder;
    }
    // A hand-made archive signed with the test key, so only its contents are wrong.
    void makeSignedTar(const std::function<void(struct archive*)>& entries)
    {
        writeTar(image, entries);
        ASSERT_TRUE(signImage(image, productIdentifier(), "2.5.0", testKey()));
    }
    bool mntIsEmpty() const { return QDir(mnt).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
};

} // namespace

TEST_F(LinuxImage, aSignedImageUnpacksToATrustedBundle)
{
    makeGoodImage();
    ASSERT_TRUE(tools.isTrustedDiskImage(image));
    ASSERT_TRUE(tools.attach(image, mnt));
    const QString stage = tmp.path() + "/stage";
    ASSERT_EQ(tools.copyBundle(mnt + "/Zumo", stage), 0);
    tools.detach(mnt);
    EXPECT_TRUE(mntIsEmpty());
    EXPECT_EQ(QFileInfo(stage + "/lib/libzumo.so.1").symLinkTarget(), stage + "/lib/libzumo.so.1.0");
    EXPECT_TRUE(QFileInfo(stage + "/bin/zumo").isExecutable());
    const auto facts = tools.readBundleFacts(stage);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->identifier, "com.zumo.app");
    EXPECT_EQ(facts->version, "2.5.0");
    EXPECT_TRUE(tools.isTrustedApp(stage));
}

TEST_F(LinuxImage, imagesNotSignedByTheTrustedKeyAreNeverOpened)
{
    const QString folder = makeGoodImage();
    // A copy pinning the test key without a test asking for it trusts no key at all.
    LinuxUpdateTools trustingNone{updateKeyFor(testPublicKey(), false), {}};
    EXPECT_FALSE(trustingNone.isTrustedDiskImage(image));
    EXPECT_FALSE(trustingNone.isTrustedApp(folder));

    ASSERT_EQ(makeReleaseImage({folder, "2.5.0", testKey("other-signing.pem"), image}), "");
    EXPECT_FALSE(tools.isTrustedDiskImage(image));
    EXPECT_FALSE(tools.attach(image, mnt));
    EXPECT_TRUE(mntIsEmpty());

    ASSERT_EQ(writeTarArchive(folder, "Zumo", image), "");  // unsigned
    EXPECT_FALSE(tools.isTrustedDiskImage(image));
    EXPECT_FALSE(tools.attach(image, mnt));
    EXPECT_TRUE(mntIsEmpty());
}

TEST_F(LinuxImage, anyAlteredByteOrTruncatedTrailerIsRefused)
{
    makeGoodImage();
    const QByteArray good = readAll(image);
    for (qsizetype at : {qsizetype(0), good.size() / 2, good.size() - 80, good.size() - 30, good.size() - 5}) {
        QByteArray bad = good;
        bad[at] = char(bad[at] ^ 0x01);
        writeAll(image, bad);
        EXPECT_FALSE(tools.isTrustedDiskImage(image)) << "byte " << at;
    }
    for (int cut : {1, 12, 64, 200}) {
        writeAll(image, good.chopped(cut));
        EXPECT_FALSE(tools.isTrustedDiskImage(image)) << "cut " << cut;
        EXPECT_FALSE(tools.attach(image, mnt));
    }
    writeAll(image, good + "trailing");
    EXPECT_FALSE(tools.isTrustedDiskImage(image));
    EXPECT_TRUE(mntIsEmpty());
}

TEST_F(LinuxImage, aSignedImageOfAnotherProductOrWhoseListSaysAnotherVersionIsRefused)
{
    const QString folder = tmp.path() + "/build";
    makeInstallFolder(folder, "2.5.0");
    ASSERT_TRUE(signFolder(folder, {productIdentifier(), "2.5.0", makerIdentifier()}, testKey()));
    ASSERT_EQ(writeTarArchive(folder, "Zumo", image), "");
    ASSERT_TRUE(signImage(image, "com.other.app", "2.5.0", testKey()));
    EXPECT_FALSE(tools.isTrustedDiskImage(image));

    ASSERT_EQ(writeTarArchive(folder, "Zumo", image), "");
    ASSERT_TRUE(signImage(image, productIdentifier(), "2.6.0", testKey()));
    ASSERT_TRUE(tools.isTrustedDiskImage(image));
    EXPECT_FALSE(tools.attach(image, mnt));
}

TEST_F(LinuxImage, hostileArchivesAreRefusedAndWriteNothingOutside)
{
    const QString victim = tmp.path() + "/victim";
    const QList<std::pair<const char*, std::function<void(struct archive*)>>> attacks{
        {"dot-dot", [](struct archive* a) { addEntry(a, "Zumo/../../victim", AE_IFREG, "owned"); }},
        {"absolute", [&](struct archive* a) { addEntry(a, QFile::encodeName(victim).constData(), AE_IFREG, "owned"); }},
        {"symlink out", [&](struct archive* a) {
             addEntry(a, "Zumo", AE_IFDIR);
             addEntry(a, "Zumo/escape", AE_IFLNK, {}, "../../..");
         }},
        {"absolute symlink", [&](struct archive* a) { addEntry(a, "Zumo/etc", AE_IFLNK, {}, "/etc"); }},
        {"write through link", [&](struct archive* a) {
             addEntry(a, "Zumo/inner", AE_IFDIR);
             addEntry(a, "Zumo/link", AE_IFLNK, {}, "inner");
             addEntry(a, "Zumo/link/file", AE_IFREG, "x");
         }},
        {"hard link", [&](struct archive* a) {
             addEntry(a, "Zumo/a", AE_IFREG, "x");
             addEntry(a, "Zumo/b", AE_IFREG, {}, "Zumo/a", true);
         }},
        {"hard link out", [&](struct archive* a) { addEntry(a, "Zumo/p", AE_IFREG, {}, "/etc/passwd", true); }},
        {"device", [](struct archive* a) { addEntry(a, "Zumo/dev", AE_IFCHR); }},
        {"fifo", [](struct archive* a) { addEntry(a, "Zumo/fifo", AE_IFIFO); }},
        // Each link alone stays inside; through r, e leads two levels above the root.
        {"chained links", [](struct archive* a) {
             addEntry(a, "Zumo/r", AE_IFLNK, {}, "..");
             addEntry(a, "Zumo/e", AE_IFLNK, {}, "r/../..");
         }},
        {"chained links, later link first", [](struct archive* a) {
             addEntry(a, "Zumo/e", AE_IFLNK, {}, "r/../..");
             addEntry(a, "Zumo/r", AE_IFLNK, {}, "..");
         }},
        {"link loop", [](struct archive* a) {
             addEntry(a, "Zumo/a", AE_IFLNK, {}, "b/x");
             addEntry(a, "Zumo/b", AE_IFLNK, {}, "a/x");
         }},
        {"duplicate", [](struct archive* a) {
             addEntry(a, "Zumo/f", AE_IFREG, "1");
             addEntry(a, "Zumo/f", AE_IFREG, "2");
         }},
    };
    for (const auto& [name, entries] : attacks) {
        makeSignedTar(entries);
        ASSERT_TRUE(tools.isTrustedDiskImage(image)) << name;  // signed: only the contents are hostile
        EXPECT_FALSE(tools.attach(image, mnt)) << name;
        EXPECT_FALSE(QFileInfo::exists(victim)) << name;
        tools.detach(mnt);
    }
}

TEST_F(LinuxImage, extractionIsCappedInEntriesAndBytes)
{
    writeTar(image, [](struct archive* a) {
        for (int i = 0; i < 5; ++i)
            addEntry(a, QByteArray("f" + QByteArray::number(i)).constData(), AE_IFREG, QByteArray(100, 'x'));
    });
    const qint64 size = QFileInfo(image).size();
    EXPECT_EQ(extractArchive(image, size, mnt, {5, 500}), "");
    Updater::removeTree(mnt);
    QDir().mkpath(mnt);
    EXPECT_NE(extractArchive(image, size, mnt, {4, 500}), "");
    Updater::removeTree(mnt);
    QDir().mkpath(mnt);
    EXPECT_NE(extractArchive(image, size, mnt, {5, 499}), "");
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
    };
    const QString copy = tmp.path() + "/copy";
    for (const auto& [name, change] : changes) {
        Updater::removeTree(copy);
        ASSERT_EQ(copyFolder(folder, copy), 0);
        ASSERT_TRUE(tools.isTrustedApp(copy)) << name;
        change(copy);
        EXPECT_FALSE(tools.isTrustedApp(copy)) << name;
    }
}

TEST_F(LinuxImage, aListSignedForAnotherProductOrSignerIsNotTrusted)
{
    const QString folder = tmp.path() + "/build";
    makeInstallFolder(folder, "2.5.0");
    ASSERT_TRUE(signFolder(folder, {"com.other.app", "2.5.0", makerIdentifier()}, testKey()));
    EXPECT_FALSE(tools.isTrustedApp(folder));
    ASSERT_TRUE(signFolder(folder, {productIdentifier(), "2.5.0", "SOMEONEELS"}, testKey()));
    EXPECT_FALSE(tools.isTrustedApp(folder));
    ASSERT_TRUE(signFolder(folder, {productIdentifier(), "2.5.0", makerIdentifier()}, testKey("other-signing.pem")));
    EXPECT_FALSE(tools.isTrustedApp(folder));
    EXPECT_FALSE(tools.readBundleFacts(folder));  // nothing unsigned is believed, not even the version
}

TEST(Ed25519, signsAndVerifiesWithTheTestKeysAndOnlyATestTrustsTheTestKey)
{
    const QByteArray key = testKey();
    EXPECT_EQ(publicKeyOf(key), testPublicKey());
    const QByteArray signature = signEd25519(key, "statement");
    EXPECT_TRUE(verifyEd25519(testPublicKey(), "statement", signature));
    EXPECT_FALSE(verifyEd25519(testPublicKey(), "statemenT", signature));
    EXPECT_FALSE(verifyEd25519(publicKeyOf(testKey("other-signing.pem")), "statement", signature));
    EXPECT_FALSE(verifyEd25519(testPublicKey(), "statement", signature.chopped(1)));
    EXPECT_TRUE(signEd25519("not a key", "statement").isEmpty());

    const QByteArray other = publicKeyOf(testKey("other-signing.pem"));
    EXPECT_EQ(updateKeyFor(testPublicKey(), false), "");  // a developer's build in a user's hands
    EXPECT_EQ(updateKeyFor(testPublicKey(), true), testPublicKey());
    EXPECT_EQ(updateKeyFor(other, false), other);
}

TEST(SignedImageStatement, onlyTheExactFormParses)
{
    const ImageStatement s{"com.zumo.app", "2.5.0", 1234, QString(64, u'a')};
    EXPECT_EQ(parseStatement(formatStatement(s)), s);
    for (const QByteArray& bad : {QByteArray("zumo-image 1\nidentifier x\nversion 1\nsize -1\nsha256 " + QByteArray(64, 'a') + "\n"),
                                 QByteArray("zumo-image 1\nidentifier x\nversion 1\nsize 01\nsha256 " + QByteArray(64, 'a') + "\n"),
                                 QByteArray("zumo-image 1\nidentifier x\nversion 1\nsize 1\nsha256 " + QByteArray(64, 'A') + "\n"),
                                 QByteArray("zumo-image 2\nidentifier x\nversion 1\nsize 1\nsha256 " + QByteArray(64, 'a') + "\n"),
                                 QByteArray("zumo-image 1\nidentifier \nversion 1\nsize 1\nsha256 " + QByteArray(64, 'a') + "\n")})
        EXPECT_FALSE(parseStatement(bad)) << bad.constData();
}
