// The JSON store: types on disk, file modes, coalesced saves, unparsable files and failed saves
// (a file that cannot be opened at all: tests/e2e/FilesE2eTest).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "platform/Log.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/fakes/FakeDispatcher.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

using test::modeOf;
using test::readAll;
using test::writeAll;

QJsonObject parseFile(const QString& path)
{
    return QJsonDocument::fromJson(readAll(path)).object();
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        installLogSink([this](const QString& line) { problems << line; });
    }
    void TearDown() override { installLogSink({}); }
    QString path(const QString& name = QStringLiteral("com.zumo.app.json")) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QStringList problems;
};

TEST_F(SettingsStoreTest, jsonTypesSurviveAPrivateFileInAPrivateFolder)
{
    // 2^53 + 1 is not representable as a double.
    const QJsonObject values{{"flag", true}, {"big", 9007199254740993LL},
                             {"min", std::numeric_limits<qint64>::min()}, {"delay", 0.12},
                             {"name", QStringLiteral("Grüße ⌥")},
                             {"nested", QJsonObject{{"inner", QJsonObject{{"x", 1}}},
                                                    {"list", QJsonArray{1, "two", false}}}}};
    const QString file = dir.filePath(QStringLiteral("config/zumo/com.zumo.app.json"));
    {
        SettingsStore store(file);
        for (auto it = values.begin(); it != values.end(); ++it)
            store.setValue(it.key(), it.value());
        ASSERT_TRUE(store.flush());
    }
    EXPECT_EQ(modeOf(file), 0600);
    EXPECT_EQ(modeOf(QFileInfo(file).absolutePath()), 0700);
    // A file others could read is made private by the next save.
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0644), 0);
    SettingsStore reopened(file);
    for (auto it = values.begin(); it != values.end(); ++it)
        EXPECT_EQ(reopened.value(it.key()), it.value()) << qPrintable(it.key());
    EXPECT_TRUE(reopened.value(QStringLiteral("missing")).isUndefined());
    reopened.setValue(QStringLiteral("enabled"), true);
    ASSERT_TRUE(reopened.flush());
    EXPECT_EQ(modeOf(file), 0600);
    EXPECT_TRUE(problems.isEmpty());
}

TEST_F(SettingsStoreTest, changesAreCoalescedIntoOneSaveAndAStoreGoingAwaySavesWhatIsPending)
{
    FakeDispatcher dispatcher;
    {
        SettingsStore store(path(), &dispatcher, 0.5);
        for (int i = 0; i < 100; ++i)
            store.setValue(QStringLiteral("k%1").arg(i), i);
        EXPECT_EQ(store.value(QStringLiteral("k99")).toInt(), 99); // memory is current at once
        dispatcher.runMain();
        EXPECT_EQ(dispatcher.pendingTimers(), 1u);
        EXPECT_DOUBLE_EQ(dispatcher.lastTimerDelay(), 0.5);
        store.setValue(QStringLiteral("late"), true);
        dispatcher.runMain();
        EXPECT_EQ(dispatcher.pendingTimers(), 1u);
        dispatcher.advance(0.49);
        EXPECT_FALSE(QFile::exists(path()));

        dispatcher.advance(0.01);
        EXPECT_FALSE(QFile::exists(path()));  // the save itself runs on a worker
        dispatcher.runBackground();
        const QJsonObject saved = parseFile(path());
        EXPECT_EQ(saved.size(), 101);
        EXPECT_EQ(saved.value(QStringLiteral("k42")).toInt(), 42);
        EXPECT_EQ(dispatcher.pendingTimers(), 0u);

        store.setValue(QStringLiteral("enabled"), false);
        dispatcher.runMain();
        ASSERT_EQ(dispatcher.pendingTimers(), 1u);
    }
    EXPECT_EQ(dispatcher.pendingTimers(), 0u);
    EXPECT_FALSE(parseFile(path()).value(QStringLiteral("enabled")).toBool(true));

    // A post still queued when the store goes away does nothing.
    {
        SettingsStore store(path(), &dispatcher, 0.5);
        store.setValue(QStringLiteral("other"), 1);
    }
    dispatcher.runMain();
    dispatcher.advance(1);
    EXPECT_EQ(parseFile(path()).value(QStringLiteral("other")).toInt(), 1);
}

TEST_F(SettingsStoreTest, listenersHearEachRealChangeAndAWorkersChangeOnTheMainThread)
{
    FakeDispatcher dispatcher;
    SettingsStore store(path(), &dispatcher, 0.5);
    QStringList heard;
    const Subscription subscription = store.changed.subscribe([&](const QString& key) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        heard << key;
    });
    store.setValue(QStringLiteral("showDelay"), 0.2);
    store.setValue(QStringLiteral("showDelay"), 0.2);  // the same value: nothing changed
    store.remove(QStringLiteral("showDelay"));
    store.remove(QStringLiteral("showDelay"));
    store.setValue(QStringLiteral("day.20260305.switches"), 1);
    store.removeWithPrefix(QStringLiteral("day."));
    EXPECT_EQ(heard, (QStringList{QStringLiteral("showDelay"), QStringLiteral("showDelay"),
                                  QStringLiteral("day.20260305.switches"), QStringLiteral("day.")}));

    heard.clear();
    std::thread worker([&] { store.setValue(QStringLiteral("fromWorker"), 7); });
    worker.join();
    EXPECT_TRUE(heard.isEmpty());
    dispatcher.runMain();
    EXPECT_EQ(heard, QStringList{QStringLiteral("fromWorker")});
    dispatcher.advance(0.5);  // the worker's change is saved through the main thread's timer
    dispatcher.runBackground();
    EXPECT_EQ(parseFile(path()).value(QStringLiteral("fromWorker")).toInt(), 7);
}

TEST_F(SettingsStoreTest, readersOnOtherThreadsSeeWholeValuesWhileWritesGoOn)
{
    // Saves wait for a timer that never fires here, so the loop below exercises the lock only.
    FakeDispatcher dispatcher;
    SettingsStore store(path(), &dispatcher);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            while (!stop) {
                const QJsonValue v = store.value(QStringLiteral("pair"));
                if (!v.isUndefined() && v.toArray().at(0) != v.toArray().at(1))
                    ++wrong;
                (void)store.snapshot();
            }
        });
    for (int i = 0; i < 300; ++i)
        store.setValue(QStringLiteral("pair"), QJsonArray{i, i});
    stop = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(parseFile(path()).value(QStringLiteral("pair")).toArray().at(0).toInt(), 299);
}

// Bytes that are not a settings object: broken JSON, an array, an empty file.
class UnparsableFileTest : public SettingsStoreTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnparsableFileTest, isKeptAsideAndNeverOverwritten)
{
    const QByteArray bytes(GetParam());
    writeAll(path(), bytes);

    SettingsStore store(path());
    const QString copy = store.corruptCopyPath();
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_TRUE(QFileInfo(copy).fileName().startsWith(QStringLiteral("com.zumo.app.json.corrupt-")));
    EXPECT_TRUE(copy.endsWith(QLatin1Char('Z')));
    EXPECT_EQ(readAll(copy), bytes);
    EXPECT_TRUE(store.keys().isEmpty());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().contains(copy));

    store.setValue(QStringLiteral("enabled"), false);
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(parseFile(path()).value(QStringLiteral("enabled")), QJsonValue(false));
    EXPECT_EQ(readAll(copy), bytes);

    // A second broken file in the same second gets a name of its own.
    writeAll(path(), bytes);
    SettingsStore again(path());
    EXPECT_NE(again.corruptCopyPath(), copy);
    EXPECT_EQ(readAll(copy), bytes);
    EXPECT_EQ(readAll(again.corruptCopyPath()), bytes);
}

INSTANTIATE_TEST_SUITE_P(Contents, UnparsableFileTest,
                         ::testing::Values("{\"enabled\": tru", "[1, 2, 3]", "", "\"text\"", "{\"a\":1}garbage"));

// What a save killed before its rename leaves beside the file goes at the next open, and only that.
TEST_F(SettingsStoreTest, leftoversOfAKilledSaveAreRemovedAtOpen)
{
    QTemporaryDir outside;
    const QString target = outside.filePath(QStringLiteral("target"));
    writeAll(target, "theirs");
    writeAll(path(), "{\"enabled\": false}");
    for (const char* name : {"com.zumo.app.json.aB3xYz", "com.zumo.app.json.Q9w8e7"})
        writeAll(path(QString::fromLatin1(name)), "{\"half");
    const QStringList kept{QStringLiteral("com.zumo.app.json.short"), QStringLiteral("com.zumo.app.json.toolong7"),
                           QStringLiteral("other.json.aB3xYz"), QStringLiteral("com.zumo.app.json.Lnk123"),
                           QStringLiteral("com.zumo.app.json.Dir123")};
    for (const QString& name : kept.mid(0, 3))
        writeAll(path(name), "not ours");
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(kept[3])).constData()), 0);
    ASSERT_TRUE(QDir().mkpath(path(kept[4])));

    SettingsStore store(path());
    EXPECT_FALSE(store.value(QStringLiteral("enabled")).toBool(true));
    QStringList expected = kept;
    expected << QStringLiteral("com.zumo.app.json");
    expected.sort();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                         QDir::Name),
              expected);
    EXPECT_EQ(readAll(target), QByteArray("theirs"));
}

TEST_F(SettingsStoreTest, aFailedSaveKeepsTheChangesAndIsRetriedByTheNextFlush)
{
    // A regular file where the folder should be makes every save fail.
    const QString blocker = dir.filePath(QStringLiteral("blocked"));
    writeAll(blocker, "not a folder");
    const QString file = blocker + QStringLiteral("/zumo/com.zumo.app.json");
    SettingsStore store(file);
    store.setValue(QStringLiteral("enabled"), false);
    EXPECT_FALSE(store.flush());
    EXPECT_FALSE(problems.isEmpty());
    EXPECT_TRUE(problems.last().contains(file));
    EXPECT_FALSE(store.value(QStringLiteral("enabled")).toBool(true));

    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(parseFile(file).value(QStringLiteral("enabled")), QJsonValue(false));
}

// The file changed on disk while the store runs: by hand, by another program, or removed.
struct DiskCase {
    const char* name;
    std::vector<std::pair<const char*, QJsonValue>> local;  // changed here, unsaved (undefined removes)
    const char* external;   // the file's new bytes; nullptr removes the file
    bool reloadFirst;       // the change is picked up before the save, or only by the save
    QJsonObject expected;   // in memory and in the file after the save
};

class DiskChangeTest : public SettingsStoreTest, public ::testing::WithParamInterface<DiskCase> {};

TEST_P(DiskChangeTest, aSaveNeverWritesBackAStaleValue)
{
    const DiskCase& c = GetParam();
    writeAll(path(), R"({"consentVersion": 1, "x": 1, "y": 1})");
    FakeDispatcher dispatcher;  // its save timer never fires: only flush() saves
    SettingsStore store(path(), &dispatcher);
    QStringList heard;
    const Subscription subscription = store.changed.subscribe([&](const QString& key) { heard << key; });
    for (const auto& [key, value] : c.local)
        store.setValue(QString::fromLatin1(key), value);
    heard.clear();
    if (c.external)
        writeAll(path(), c.external);
    else
        ASSERT_TRUE(QFile::remove(path()));
    if (c.reloadFirst)
        store.reload();
    ASSERT_TRUE(store.flush());
    dispatcher.runMain();
    EXPECT_EQ(store.snapshot(), c.expected);
    EXPECT_EQ(parseFile(path()), c.expected);
    const bool broken = c.external && QByteArray(c.external).startsWith("{b");
    EXPECT_EQ(!problems.isEmpty(), broken);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), broken ? 2 : 1);  // the broken edit kept aside
    EXPECT_EQ(heard.contains(QStringLiteral("consentVersion")), !broken);
}

const QJsonValue removed{QJsonValue::Undefined};

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskChangeTest,
    ::testing::Values(
        DiskCase{"mergedBySaveWithoutReload", {{"z", 3}}, R"({"x": 2, "y": 1})", false, {{"x", 2}, {"y", 1}, {"z", 3}}},
        DiskCase{"ownUnsavedChangeWins", {{"x", 5}, {"y", removed}}, R"({"x": 9, "y": 9})", true, {{"x", 5}}},
        DiskCase{"brokenEditKeepsValuesInUse", {{"z", 3}}, "{broken", true,
                 {{"consentVersion", 1}, {"x", 1}, {"y", 1}, {"z", 3}}},
        DiskCase{"fileRemovedLeavesOwnChanges", {{"z", 3}}, nullptr, true, {{"z", 3}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The watch sees both a replacement by rename (every save) and a write in place (some editors).
TEST_F(SettingsStoreTest, watchedFileChangesReachTheListeners)
{
    writeAll(path(), R"({"consentVersion": 1})");
    SettingsStore store(path());
    store.watchDisk();
    QStringList heard;
    const Subscription subscription = store.changed.subscribe([&](const QString& key) { heard << key; });
    auto waitFor = [&](const char* key) { return test::eventsUntil([&] { return heard.contains(key); }); };
    {
        SettingsStore other(path());
        other.remove(QStringLiteral("consentVersion"));
    }
    ASSERT_TRUE(waitFor("consentVersion"));
    EXPECT_FALSE(store.contains(QStringLiteral("consentVersion")));
    writeAll(path(), R"({"enabled": false})");
    ASSERT_TRUE(waitFor("enabled"));
    EXPECT_EQ(store.value(QStringLiteral("enabled")), QJsonValue(false));
}

TEST(SettingsStorePathTest, defaultPathLivesUnderTheConfigFolderAndStaysInIt)
{
    qputenv("XDG_CONFIG_HOME", "/tmp/zumo-config-test");
    EXPECT_EQ(SettingsStore::defaultPath(QStringLiteral("com.zumo.app")),
              QStringLiteral("/tmp/zumo-config-test/zumo/com.zumo.app.json"));
    EXPECT_EQ(SettingsStore::defaultPath(QStringLiteral("../../etc/x")),
              QStringLiteral("/tmp/zumo-config-test/zumo/.._.._etc_x.json"));
    EXPECT_EQ(SettingsStore::defaultPath(QStringLiteral("..")), QStringLiteral("/tmp/zumo-config-test/zumo/_...json"));
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace zumo
