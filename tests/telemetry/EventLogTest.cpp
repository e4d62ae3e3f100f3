// The event log: line format, trimming, ordering across threads, links, and appLog's install; and
// choosing its private directory: reuse only a safe stored one, otherwise make and store anew.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "settings/SettingsStore.h"
#include "telemetry/EventLog.h"
#include "tests/fakes/FakeClock.h"
#include "tests/support/TestFiles.h"

namespace zumo {
namespace {

using test::modeOf;
using test::readAll;
using test::writeAll;

// Bytes that differ along the file, so a trim at the wrong offset shows.
QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char('a' + (i * 7 + i / 26) % 26);
    return bytes;
}

class EventLogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeClock clock{QDateTime(QDate(2026, 3, 5), QTime(14, 3, 7, 456), Qt::UTC)};
    QString logPath() const { return dir.path() + "/events.log"; }
};

TEST_F(EventLogTest, writesUtcSecondsWithZThenTheEscapedMessageAndCreatesFilePrivate)
{
    EventLog log(dir.path(), clock);
    log.append("start");
    clock.advance(3600);
    log.append(QString::fromUtf8("caf\xC3\xA9 \xE2\x86\x92 done"));
    log.append(QString::fromUtf8("update offered 1.2\n2026-03-05T15:03:07Z consent given\r\x1b[2J\xE2\x80\xA8"));
    log.drain();

    EXPECT_EQ(readAll(logPath()),
              QByteArray("2026-03-05T14:03:07Z start\n"
                         "2026-03-05T15:03:07Z caf\xC3\xA9 \xE2\x86\x92 done\n"
                         "2026-03-05T15:03:07Z update offered 1.2\\n2026-03-05T15:03:07Z consent given\\r\\u001b[2J\\u2028\n"))
        << "text from outside never starts a line of its own";
    EXPECT_EQ(test::modeOf(logPath()), 0600);
}

TEST_F(EventLogTest, aWriteReachingTheTrimSizeKeepsExactlyTheLastBytesAndOneShortKeepsAll)
{
    for (const qint64 shortBy : {0, 1}) {
        SCOPED_TRACE(shortBy);
        const QByteArray line = formatLogLine(clock.now(), "edge");
        const QByteArray before = pattern(EventLog::TrimAt - shortBy - line.size());
        writeAll(logPath(), before);
        {
            EventLog log(dir.path(), clock);
            log.append("edge");
        }
        const QByteArray whole = before + line;
        EXPECT_EQ(readAll(logPath()), shortBy ? whole : whole.right(EventLog::KeepBytes));
        EXPECT_FALSE(QFile::exists(logPath() + ".trim"));
    }
}

TEST_F(EventLogTest, concurrentAppendsGiveWholeLinesEachOnce)
{
    constexpr int Threads = 8;
    constexpr int PerThread = 400;
    EventLog log(dir.path(), clock);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < PerThread; ++i)
                log.append(QStringLiteral("thread %1 line %2 ").arg(t).arg(i) + QString(20, QChar('x' + t % 3)));
        });
    }
    for (auto& thread : threads)
        thread.join();
    log.drain();

    const QList<QByteArray> lines = readAll(logPath()).split('\n');
    ASSERT_EQ(lines.size(), Threads * PerThread + 1);  // the text ends with a line feed
    EXPECT_TRUE(lines.last().isEmpty());
    const QRegularExpression shape(R"(^2026-03-05T14:03:07Z thread (\d) line (\d+) ([xyz])\3{19}$)");
    QSet<QString> seen;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const auto match = shape.match(QString::fromUtf8(lines[i]));
        ASSERT_TRUE(match.hasMatch()) << lines[i].constData();
        seen.insert(match.captured(1) + "/" + match.captured(2));
    }
    EXPECT_EQ(seen.size(), Threads * PerThread);
}

// A link in the log's place is not followed, a FIFO does not stall the writer and is left a FIFO,
// and a log without a directory does not crash: the lines are lost, nothing else. (That the user
// hears of the FIFO once on standard error: tests/e2e/FilesE2eTest.)
TEST_F(EventLogTest, unwritablePlacesLoseLinesWithoutHarm)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.path() + "/victim";
    writeAll(target, "precious\n");
    const QByteArray log = QFile::encodeName(logPath());
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), log.constData()), 0);
    EventLog linked(dir.path(), clock);
    linked.append("redirected?");
    linked.drain();
    EXPECT_EQ(readAll(target), QByteArray("precious\n"));

    ASSERT_EQ(::unlink(log.constData()), 0);
    ASSERT_EQ(::mkfifo(log.constData(), 0600), 0);
    EventLog fifo(dir.path(), clock);
    for (const char* line : {"into a pipe", "and again"})
        fifo.append(line);
    fifo.drain();
    struct stat st {};
    ASSERT_EQ(::stat(log.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe was replaced by a log file";

    EventLog none(QString(), clock);
    none.append("dropped");
    none.drain();
    EXPECT_TRUE(none.filePath().isEmpty());
}

TEST_F(EventLogTest, appLogWritesOnlyWhileALogIsInstalled)
{
    EventLog log(dir.path(), clock);
    installAppLog(&log);
    appLog("installed");
    installAppLog(nullptr);
    appLog("after removal");
    log.drain();

    EXPECT_EQ(readAll(logPath()), QByteArray("2026-03-05T14:03:07Z installed\n"));

    {
        EventLog forgotten(dir.path(), clock);
        installAppLog(&forgotten);
    }
    appLog("after the installed log is gone");  // a use after free unless destruction detached it
}

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
