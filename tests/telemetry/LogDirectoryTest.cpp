// Choosing the private log directory: reuse only a safe stored one, otherwise make and store anew.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include "settings/SettingsStore.h"
#include "telemetry/EventLog.h"
#include "tests/support/TestFiles.h"

namespace zumo {
namespace {

using test::modeOf;

class LogDirectoryTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString cache = root.path() + "/cache";
    QByteArray savedCacheHome = qgetenv("XDG_CACHE_HOME");
    SettingsStore store{root.path() + "/defaults.json"};

    void SetUp() override
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        ASSERT_EQ(privateBaseDirectory(), base());  // made under the cache home
    }
    void TearDown() override
    {
        if (savedCacheHome.isNull())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", savedCacheHome);
    }
    QString base() const { return cache + "/zumo"; }
};

TEST_F(LogDirectoryTest, privateBaseIsMadeUnderCacheHomeWithOwnerOnlyAccessAndNeverALink)
{
    EXPECT_EQ(modeOf(base()), 0700);

    ASSERT_EQ(::chmod(QFile::encodeName(base()).constData(), 0755), 0);
    EXPECT_EQ(privateBaseDirectory(), base());
    EXPECT_EQ(modeOf(base()), 0700);  // loosened by someone: narrowed again

    // A link in its place is refused.
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir(base()).removeRecursively());
    ASSERT_TRUE(QFile::link(elsewhere.path(), base()));
    EXPECT_TRUE(privateBaseDirectory().isEmpty());
    EXPECT_TRUE(chooseLogDirectory(store, QString()).isEmpty());
    EXPECT_FALSE(store.contains("logDir"));
}

TEST_F(LogDirectoryTest, unsafeOrMissingStoredDirectoriesAreReplaced)
{
    QTemporaryDir outside;
    const QString linked = base() + "/fedcba9876543210";
    ASSERT_TRUE(QFile::link(outside.path(), linked));
    ASSERT_TRUE(QDir().mkpath(base() + "/a/b"));
    const QString notADirectory = base() + "/plainfile";
    test::writeAll(notADirectory, {});

    // None of those is a safe log directory of ours, so the first replacement is a new one; the
    // later ones reuse it.
    const QStringList unsafe{base() + "/gone", linked, outside.path(), base() + "/a/b",
                             base() + "/../zumo-elsewhere", notADirectory, "relative/dir"};
    QString replacement;
    for (const QString& stored : unsafe) {
        SCOPED_TRACE(stored.toStdString());
        store.setValue("logDir", stored);
        const QString chosen = chooseLogDirectory(store, base());
        // A new 0700 directory of 16 lower-case hex digits, stored under "logDir".
        EXPECT_NE(chosen, stored);
        EXPECT_EQ(QFileInfo(chosen).path(), base());
        EXPECT_TRUE(QRegularExpression("^[0-9a-f]{16}$").match(QFileInfo(chosen).fileName()).hasMatch());
        EXPECT_EQ(modeOf(chosen), 0700);
        EXPECT_EQ(store.value("logDir").toString(), chosen);
        EXPECT_TRUE(replacement.isEmpty() || chosen == replacement);
        replacement = chosen;
    }
    store.setValue("logDir", 42);
    EXPECT_EQ(chooseLogDirectory(store, base()), replacement);
}

// A store that cannot keep "logDir" (read-only folder) must not cost a new directory per start.
TEST_F(LogDirectoryTest, withoutAStoredChoiceTheNewestOwnDirectoryIsReused)
{
    const QString older = chooseLogDirectory(store, base());
    store.remove("logDir");
    const QString newer = base() + "/00000000000000ff";
    ASSERT_EQ(::mkdir(QFile::encodeName(newer).constData(), 0700), 0);
    const struct timeval past[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimes(QFile::encodeName(older).constData(), past), 0);
    // Newer still, but not ours to reuse: a link, and a directory named otherwise.
    QTemporaryDir outside;
    ASSERT_TRUE(QFile::link(outside.path(), base() + "/0123456789abcdef"));
    ASSERT_TRUE(QDir().mkpath(base() + "/update-work"));

    EXPECT_EQ(chooseLogDirectory(store, base()), newer);
    EXPECT_EQ(store.value("logDir").toString(), newer);
    store.remove("logDir");
    EXPECT_EQ(chooseLogDirectory(store, base()), newer);
    EXPECT_EQ(QDir(base()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 4);
}

} // namespace
} // namespace zumo
