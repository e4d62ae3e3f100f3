// Both event stores behave alike: fields kept byte for byte, filters, large batches, reopening.
#include <QDateTime>
#include <condition_variable>
#include <mutex>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <tuple>
#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"
#include "tests/vendor/testkit/VendorServer.h"
#include "vendor/EventStore.h"
#include "vendor/EventWriter.h"

using namespace zumo::vendor;

namespace {

Event event(const std::string& name, const std::string& install, std::string body, int64_t at = 1767225600123)
{
    return {at, name, install, std::move(body)};
}

class EventStoreTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (std::string(GetParam()) == "sqlite") {
            m_location = m_dir.filePath("events.sqlite3").toStdString();
        } else {
            ZUMO_REQUIRE_POSTGRES(db);
            m_location = db.conninfo.toStdString();
        }
        ASSERT_TRUE(m_store = reopen());
    }

    // The store at m_location, opened afresh once the one open before is closed.
    std::unique_ptr<EventStore> reopen()
    {
        m_store.reset();
        std::string error;
        auto store = std::string(GetParam()) == "sqlite" ? openSqliteStore(m_location, &error)
                                                         : openPostgresStore(m_location, &error);
        EXPECT_TRUE(store) << error;
        return store;
    }

    QTemporaryDir m_dir;
    std::string m_location;
    std::unique_ptr<EventStore> m_store;
};

TEST_P(EventStoreTest, keepsEveryFieldByteForByteAcrossReopening)
{
    // Bodies are kept as received, even bytes no text column would hold.
    static const char raw[] = "{\"event\":\"logs\",\"x\":\"\xc3\xa9\"}\0\xff tail";
    const std::vector<Event> events{event("launch", "A-1", "{\"event\":\"launch\"}"),
                                    event("logs", "B-2", std::string(raw, sizeof raw - 1), 42)};
    ASSERT_TRUE(m_store->append(events));
    auto store = reopen();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->count(), 2);
    auto rows = store->query({});
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_LT((*rows)[0].id, (*rows)[1].id);
    const auto fields = [](const Event& e) { return std::tie(e.receivedMs, e.name, e.install, e.body); };
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(fields((*rows)[i].event), fields(events[i])) << i;
}

TEST_P(EventStoreTest, queriesFilterByNameInstallAndPosition)
{
    ASSERT_TRUE(m_store->append({event("launch", "A", "{}"), event("ping", "A", "{}"), event("ping", "B", "{}"),
                                 event("quit", "B", "{}")}));
    EXPECT_EQ(m_store->query({"ping", "", 0, 100})->size(), 2u);
    EXPECT_EQ(m_store->query({"ping", "B", 0, 100})->size(), 1u);
    EXPECT_EQ(m_store->query({"", "A", 0, 100})->size(), 2u);
    auto all = *m_store->query({});
    auto later = *m_store->query({"", "", all[1].id, 100});
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].event.name, "ping");
    EXPECT_EQ(later[0].event.install, "B");
    EXPECT_EQ(m_store->query({"", "", 0, 3})->size(), 3u);
}

TEST_P(EventStoreTest, storesABatchLargerThanOneStatement)
{
    std::vector<Event> events;
    for (int i = 0; i < 2500; ++i)
        events.push_back(event("ping", std::to_string(i), "{\"n\":" + std::to_string(i) + "}"));
    ASSERT_TRUE(m_store->append(events)) << m_store->error();
    EXPECT_EQ(m_store->count(), 2500);
    auto last = *m_store->query({"", "2499", 0, 10});
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].event.body, "{\"n\":2499}");
}

TEST_P(EventStoreTest, groupCommitStoresEveryEventFromManyThreads)
{
    EventWriter writer(*m_store, 10000);
    std::vector<std::thread> threads;
    std::atomic<int> stored = 0;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                if (writer.submit(event("ping", std::to_string(t), "{}")) == EventWriter::Outcome::Stored)
                    ++stored;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(stored, 400);
    EXPECT_EQ(m_store->count(), 400);
}

TEST_P(EventStoreTest, retentionDeletesOnlyOlderEventsOldestFirstInSteps)
{
    ASSERT_TRUE(m_store->append({event("a", "1", "{}", 100), event("b", "1", "{}", 300), event("c", "1", "{}", 299),
                                 event("d", "1", "{}", 200)}));
    EXPECT_EQ(m_store->deleteOlderThan(300, 2), 2); // received at 100 and 200
    EXPECT_EQ(m_store->deleteOlderThan(300, 2), 1);
    EXPECT_EQ(m_store->deleteOlderThan(300, 2), 0);
    auto rows = *m_store->query({});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].event.name, "b");
}

INSTANTIATE_TEST_SUITE_P(Engines, EventStoreTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return std::string(info.param); });

class FailingStore : public EventStore {
public:
    bool append(const std::vector<Event>&) override { return false; }
    std::optional<int64_t> count() override { return std::nullopt; }
    std::optional<std::vector<StoredEvent>> query(const EventQuery&) override { return std::nullopt; }
    std::optional<int64_t> deleteOlderThan(int64_t, int) override { return std::nullopt; }
    std::string error() const override { return "disk full"; }
};

TEST(EventWriterTest, refusesAtOnceWhileTheStoreFailsAndWhenTheQueueIsFull)
{
    FailingStore failing;
    EventWriter writer(failing, 10);
    EXPECT_EQ(writer.submit(event("ping", "A", "{}")), EventWriter::Outcome::Failed);
    EXPECT_EQ(writer.submit(event("ping", "A", "{}")), EventWriter::Outcome::Unavailable);
    EXPECT_EQ(EventWriter(failing, 0).submit(event("ping", "A", "{}")), EventWriter::Outcome::Busy);
}

// Tells the test when the writer thread ran retention.
class RetentionWatch : public FailingStore {
public:
    explicit RetentionWatch(EventStore& real) : m_real(real) {}
    bool append(const std::vector<Event>& events) override { return m_real.append(events); }
    std::optional<int64_t> deleteOlderThan(int64_t cutoffMs, int maxRows) override
    {
        auto deleted = m_real.deleteOlderThan(cutoffMs, maxRows);
        std::lock_guard lock(mutex);
        cutoffs.push_back(cutoffMs);
        ran.notify_all();
        return deleted;
    }
    std::mutex mutex;
    std::condition_variable ran;
    std::vector<int64_t> cutoffs;

private:
    EventStore& m_real;
};

TEST(EventWriterTest, deletesEventsPastTheirDaysInTheWriterThread)
{
    QTemporaryDir dir;
    std::string error;
    auto store = openSqliteStore(dir.filePath("e.sqlite3").toStdString(), &error);
    ASSERT_TRUE(store) << error;
    const int64_t now = QDateTime::currentMSecsSinceEpoch(), day = 24LL * 3600 * 1000;
    ASSERT_TRUE(store->append({event("old", "A", "{}", now - 31 * day), event("recent", "A", "{}", now - 29 * day)}));
    RetentionWatch watch(*store);
    {
        EventWriter writer(watch, 10, WriterTiming{.keepDays = 30});
        std::unique_lock lock(watch.mutex);
        ASSERT_TRUE(watch.ran.wait_for(lock, std::chrono::seconds(30), [&] { return !watch.cutoffs.empty(); }));
        EXPECT_NEAR(double(watch.cutoffs[0]), double(now - 30 * day), 60000.0);
    }
    auto rows = *store->query({});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].event.name, "recent");
}

TEST(SqliteEventStoreTest, refusesAFileThatIsNotADatabaseAndLeavesItAlone)
{
    QTemporaryDir dir;
    QString path = dir.filePath("events.sqlite3");
    const QByteArray notes(8192, 'n');
    ASSERT_NO_FATAL_FAILURE(zumo::test::writeAll(path, notes));
    std::string error;
    EXPECT_FALSE(openSqliteStore(path.toStdString(), &error));
    EXPECT_NE(error.find("not a usable event store"), std::string::npos) << error;
    EXPECT_EQ(zumo::test::readAll(path), notes);
}

TEST(PostgresEventStoreTest, explainsAServerThatCannotBeReachedAndTriesAgainLater)
{
    std::string error;
    auto store = openPostgresStore("host=/nonexistent-zumo-socket-dir port=1 connect_timeout=2", &error);
    ASSERT_TRUE(store);
    EXPECT_NE(error.find("cannot connect to PostgreSQL"), std::string::npos) << error;
    EXPECT_FALSE(store->append({event("ping", "A", "{}")}));
    EXPECT_NE(store->error().find("cannot connect to PostgreSQL"), std::string::npos) << store->error();
    EXPECT_FALSE(openPostgresStore("host='unclosed", &error));
}

} // namespace
