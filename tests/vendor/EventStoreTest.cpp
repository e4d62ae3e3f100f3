// Both event stores behave alike: fields kept byte for byte, filters, large batches, reopening.
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <gtest/gtest.h>

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
        std::string error;
        if (std::string(GetParam()) == "sqlite") {
            m_location = m_dir.filePath("events.sqlite3").toStdString();
            m_store = openSqliteStore(m_location, &error);
        } else {
            ZUMO_REQUIRE_POSTGRES(db);
            m_location = db.conninfo.toStdString();
            m_store = openPostgresStore(m_location, &error);
        }
        ASSERT_TRUE(m_store) << error;
    }

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
    std::string odd(raw, sizeof raw - 1);
    ASSERT_TRUE(m_store->append({event("launch", "A-1", "{\"event\":\"launch\"}"), event("logs", "B-2", odd, 42)}));
    auto store = reopen();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->count(), 2);
    auto rows = store->query({});
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_LT((*rows)[0].id, (*rows)[1].id);
    EXPECT_EQ((*rows)[0].event.name, "launch");
    EXPECT_EQ((*rows)[0].event.receivedMs, 1767225600123);
    const Event& second = (*rows)[1].event;
    EXPECT_EQ(second.name, "logs");
    EXPECT_EQ(second.install, "B-2");
    EXPECT_EQ(second.receivedMs, 42);
    EXPECT_EQ(second.body, odd);
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

INSTANTIATE_TEST_SUITE_P(Engines, EventStoreTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return std::string(info.param); });

class FailingStore : public EventStore {
public:
    bool append(const std::vector<Event>&) override { return false; }
    std::optional<int64_t> count() override { return std::nullopt; }
    std::optional<std::vector<StoredEvent>> query(const EventQuery&) override { return std::nullopt; }
    std::string error() const override { return "disk full"; }
};

TEST(EventWriterTest, reportsAFailedStoreAndAFullQueue)
{
    FailingStore failing;
    EXPECT_EQ(EventWriter(failing, 10).submit(event("ping", "A", "{}")), EventWriter::Outcome::Failed);
    EXPECT_EQ(EventWriter(failing, 0).submit(event("ping", "A", "{}")), EventWriter::Outcome::Busy);
}

TEST(SqliteEventStoreTest, refusesAFileThatIsNotADatabaseAndLeavesItAlone)
{
    QTemporaryDir dir;
    QString path = dir.filePath("events.sqlite3");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray notes(8192, 'n');
    file.write(notes);
    file.close();
    std::string error;
    EXPECT_FALSE(openSqliteStore(path.toStdString(), &error));
    EXPECT_NE(error.find("not a usable event store"), std::string::npos) << error;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), notes);
}

TEST(PostgresEventStoreTest, explainsAServerThatCannotBeReached)
{
    std::string error;
    EXPECT_FALSE(openPostgresStore("host=/nonexistent-zumo-socket-dir port=1 connect_timeout=2", &error));
    EXPECT_NE(error.find("cannot connect to PostgreSQL"), std::string::npos) << error;
}

} // namespace
