#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"
#include "update/FileDigest.h"
#include "update/PrivateFiles.h"

using namespace zumo::Updater;
using zumo::test::writeAll;

TEST(PrivateFiles, removeTreeDeletesLinksNotWhatTheyPointAt)
{
    QTemporaryDir tmp;
    const QString outside = tmp.path() + "/outside";
    QDir().mkpath(outside);
    writeAll(outside + "/precious", "keep me");
    const QString work = tmp.path() + "/zumo-update-A";
    QDir().mkpath(work + "/stage/deep");
    writeAll(work + "/stage/deep/file", "x");
    QFile::link(outside, work + "/stage/dirlink");
    QFile::link(outside + "/precious", work + "/filelink");

    EXPECT_TRUE(removeTree(work));
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_TRUE(QFile::exists(outside + "/precious"));

    // A link planted in place of the work directory itself is unlinked, not followed.
    QFile::link(outside, work);
    EXPECT_TRUE(removeTree(work));
    EXPECT_TRUE(QFile::exists(outside + "/precious"));
    EXPECT_TRUE(removeTree(work));  // nothing there is fine
}

TEST(PrivateFiles, leftoversAreOursExceptTheStagedOne)
{
    QTemporaryDir tmp;
    const QString staged = newPrivatePath(tmp.path(), WorkPrefix);
    const QString stale = newPrivatePath(tmp.path(), WorkPrefix);
    const QString parked = newPrivatePath(tmp.path(), ParkedPrefix);
    for (const QString& dir : {staged, stale})
        ASSERT_TRUE(makePrivateDirectory(dir));
    writeAll(parked, "partial");
    writeAll(tmp.path() + "/events.log", "log");
    EXPECT_TRUE(QFileInfo(stale).fileName().startsWith("zumo-update-"));
    EXPECT_EQ(QFileInfo(stale).fileName().size(), 12 + 36);
    EXPECT_EQ(QFile(stale).permissions() & 0x0077, 0);

    EXPECT_EQ(removeLeftovers(tmp.path(), staged + "/"), 2);
    EXPECT_TRUE(QFileInfo::exists(staged));
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_FALSE(QFileInfo::exists(parked));
    EXPECT_TRUE(QFileInfo::exists(tmp.path() + "/events.log"));
}

TEST(FileDigest, streamsWholeFilesAcrossChunkEdges)
{
    QTemporaryDir tmp;
    writeAll(tmp.path() + "/abc", "abc");
    EXPECT_EQ(fileSHA256Hex(tmp.path() + "/abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const QByteArray big(DigestChunk * 2 + 1, 'z');
    writeAll(tmp.path() + "/big", big);
    const QString expected = QString::fromLatin1(QCryptographicHash::hash(big, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(fileSHA256Hex(tmp.path() + "/big"), expected);
    EXPECT_FALSE(fileSHA256Hex(tmp.path() + "/missing"));
}
