#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"
#include "update/PrivateFiles.h"

using namespace zumo::Updater;
using zumo::test::writeAll;

// Links inside the tree, or in place of the tree itself, are unlinked, never followed.
TEST(PrivateFiles, removeTreeDeletesLinksNotWhatTheyPointAt)
{
    QTemporaryDir tmp;
    const QString outside = tmp.path() + "/outside";
    writeAll(outside + "/precious", "keep me");
    const QString work = tmp.path() + "/zumo-update-A";
    QDir().mkpath(work + "/stage/deep");
    QFile::link(outside, work + "/stage/dirlink");
    QFile::link(outside + "/precious", work + "/filelink");
    EXPECT_TRUE(removeTree(work));
    EXPECT_FALSE(QFileInfo::exists(work));
    QFile::link(outside, work);
    EXPECT_TRUE(removeTree(work));
    EXPECT_TRUE(QFile::exists(outside + "/precious"));
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
    EXPECT_EQ(QFile(stale).permissions() & 0x0077, 0);
    EXPECT_EQ(removeLeftovers(tmp.path(), staged + "/"), 2);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"events.log", QFileInfo(staged).fileName()}));
}
