// The embedded event store: one SQLite file in WAL mode, one connection behind a mutex.
#include "vendor/EventStore.h"

#include <mutex>
#include <sqlite3.h>

namespace zumo::vendor {

namespace {

constexpr const char* SchemaSql =
    "PRAGMA journal_mode=WAL;"
    // FULL: an event acknowledged to a client survives a power cut; group commit keeps it cheap.
    "PRAGMA synchronous=FULL;"
    "CREATE TABLE IF NOT EXISTS events (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " received_ms INTEGER NOT NULL, event TEXT NOT NULL, install TEXT NOT NULL, body BLOB NOT NULL);"
    "CREATE INDEX IF NOT EXISTS events_event ON events (event);"
    "CREATE INDEX IF NOT EXISTS events_received ON events (received_ms);";

constexpr const char* InsertSql = "INSERT INTO events (received_ms, event, install, body) VALUES (?, ?, ?, ?)";

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

void bindText(sqlite3_stmt* stmt, int index, const std::string& text)
{
    sqlite3_bind_text(stmt, index, text.data(), int(text.size()), SQLITE_STATIC);
}

std::string columnBytes(sqlite3_stmt* stmt, int column)
{
    auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, column));
    return data ? std::string(data, size_t(sqlite3_column_bytes(stmt, column))) : std::string();
}

class SqliteEventStore final : public EventStore {
public:
    explicit SqliteEventStore(sqlite3* db) : m_db(db) {}
    ~SqliteEventStore() override { sqlite3_close_v2(m_db); }

    bool append(const std::vector<Event>& events) override
    {
        std::lock_guard lock(m_mutex);
        if (!exec("BEGIN IMMEDIATE"))
            return false;
        Statement insert(m_db, InsertSql);
        for (const Event& event : events) {
            if (!insertOne(insert.get(), event)) {
                std::string reason = sqlite3_errmsg(m_db);
                exec("ROLLBACK");
                m_error = reason;
                return false;
            }
        }
        if (exec("COMMIT"))
            return true;
        exec("ROLLBACK");
        return false;
    }

    std::optional<int64_t> count() override
    {
        std::lock_guard lock(m_mutex);
        Statement stmt(m_db, "SELECT count(*) FROM events");
        if (!stmt.get() || sqlite3_step(stmt.get()) != SQLITE_ROW)
            return fail();
        return sqlite3_column_int64(stmt.get(), 0);
    }

    std::optional<std::vector<StoredEvent>> query(const EventQuery& query) override
    {
        std::lock_guard lock(m_mutex);
        Statement stmt(m_db, QueryEventsSql);
        if (!stmt.get())
            return fail();
        sqlite3_bind_int64(stmt.get(), 1, query.afterId);
        bindText(stmt.get(), 2, query.name);
        bindText(stmt.get(), 3, query.name);
        bindText(stmt.get(), 4, query.install);
        bindText(stmt.get(), 5, query.install);
        sqlite3_bind_int(stmt.get(), 6, query.limit);
        std::vector<StoredEvent> rows;
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            rows.push_back({sqlite3_column_int64(stmt.get(), 0),
                            {sqlite3_column_int64(stmt.get(), 1), columnBytes(stmt.get(), 2),
                             columnBytes(stmt.get(), 3), columnBytes(stmt.get(), 4)}});
        }
        if (rc != SQLITE_DONE)
            return fail();
        return rows;
    }

    std::optional<int64_t> deleteOlderThan(int64_t cutoffMs, int maxRows) override
    {
        std::lock_guard lock(m_mutex);
        Statement stmt(m_db, DeleteOldSql);
        if (!stmt.get())
            return fail();
        sqlite3_bind_int64(stmt.get(), 1, cutoffMs);
        sqlite3_bind_int(stmt.get(), 2, maxRows);
        if (sqlite3_step(stmt.get()) != SQLITE_DONE)
            return fail();
        return sqlite3_changes64(m_db);
    }

    std::string error() const override
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    bool insertOne(sqlite3_stmt* stmt, const Event& event)
    {
        if (!stmt)
            return false;
        sqlite3_reset(stmt);
        sqlite3_bind_int64(stmt, 1, event.receivedMs);
        bindText(stmt, 2, event.name);
        bindText(stmt, 3, event.install);
        sqlite3_bind_blob64(stmt, 4, event.body.data(), event.body.size(), SQLITE_STATIC);
        return sqlite3_step(stmt) == SQLITE_DONE;
    }

    bool exec(const char* sql)
    {
        char* message = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        m_error = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        return false;
    }

    std::nullopt_t fail()
    {
        m_error = sqlite3_errmsg(m_db);
        return std::nullopt;
    }

    sqlite3* m_db;
    mutable std::mutex m_mutex;
    std::string m_error;
};

} // namespace

std::unique_ptr<EventStore> openSqliteStore(const std::string& path, std::string* error)
{
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        *error = "cannot open " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    char* message = nullptr;
    if (sqlite3_exec(db, SchemaSql, nullptr, nullptr, &message) != SQLITE_OK) {
        *error = path + " is not a usable event store: " + (message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        sqlite3_close_v2(db);
        return nullptr;
    }
    return std::make_unique<SqliteEventStore>(db);
}

} // namespace zumo::vendor
