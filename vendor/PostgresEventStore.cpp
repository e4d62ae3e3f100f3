// The event store for a service past one machine: PostgreSQL through libpq, one connection
// behind a mutex (each front end has its own), made again when it drops or a statement fails
// (a connection that stays open to a server turned read-only by a failover fails every write).
// Every wait is bounded: connecting, a silent peer (TCP keepalives and user timeout) and each
// statement, so a database that stops answering holds up the writer thread, never for ever.
#include "vendor/EventStore.h"

#include <libpq-fe.h>
#include <memory>
#include <iterator>
#include <mutex>
#include <vector>

namespace zumo::vendor {

namespace {

constexpr const char* SchemaSql =
    "CREATE TABLE IF NOT EXISTS events (id BIGSERIAL PRIMARY KEY, received_ms BIGINT NOT NULL,"
    " event TEXT NOT NULL, install TEXT NOT NULL, body BYTEA NOT NULL);"
    "CREATE INDEX IF NOT EXISTS events_event ON events (event);"
    "CREATE INDEX IF NOT EXISTS events_received ON events (received_ms);";

// Given before the connection string's own values, which win where both name one.
constexpr const char* BoundedKeywords[] = {"connect_timeout", "keepalives", "keepalives_idle", "keepalives_interval",
                                           "keepalives_count", "tcp_user_timeout", "target_session_attrs"};
constexpr const char* BoundedValues[] = {"5", "1", "10", "5", "3", "15000", "read-write"};
constexpr const char* SessionSql = "SET statement_timeout = 10000";

// A multi-row INSERT carries four parameters per row and libpq allows 65535 per statement.
constexpr size_t RowsPerInsert = 1000;

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result run(PGconn* conn, const char* sql)
{
    return Result(PQexec(conn, sql), &PQclear);
}

bool succeeded(const Result& result)
{
    auto status = PQresultStatus(result.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string insertSql(size_t rows)
{
    std::string sql = "INSERT INTO events (received_ms, event, install, body) VALUES ";
    for (size_t row = 0; row < rows; ++row) {
        size_t p = row * 4;
        sql += (row ? ",($" : "($") + std::to_string(p + 1) + "::bigint,$" + std::to_string(p + 2) + ",$" +
               std::to_string(p + 3) + ",$" + std::to_string(p + 4) + "::bytea)";
    }
    return sql;
}

PGconn* connect(const std::string& conninfo)
{
    std::vector<const char*> keywords(std::begin(BoundedKeywords), std::end(BoundedKeywords));
    std::vector<const char*> values(std::begin(BoundedValues), std::end(BoundedValues));
    keywords.insert(keywords.end(), {"dbname", nullptr});
    values.insert(values.end(), {conninfo.c_str(), nullptr});
    return PQconnectdbParams(keywords.data(), values.data(), 1);
}

class PostgresEventStore final : public EventStore {
public:
    explicit PostgresEventStore(std::string conninfo) : m_conninfo(std::move(conninfo)) {}
    ~PostgresEventStore() override { PQfinish(m_conn); }

    // Connects when there is no usable connection; false with error() set when that fails.
    bool ready()
    {
        if (m_conn && !m_broken && PQstatus(m_conn) == CONNECTION_OK)
            return true;
        PQfinish(m_conn);
        m_conn = connect(m_conninfo);
        if (PQstatus(m_conn) != CONNECTION_OK) {
            m_error = "cannot connect to PostgreSQL: " + message();
            return false;
        }
        // "relation already exists" and the like: nothing for the service's log.
        PQsetNoticeProcessor(m_conn, [](void*, const char*) {}, nullptr);
        // Front ends starting together may race to create the table; the loser's error is
        // harmless as long as the table is there afterwards.
        Result schema = run(m_conn, SchemaSql);
        std::string schemaError = succeeded(schema) ? std::string() : message();
        if (!succeeded(run(m_conn, SessionSql)) || !succeeded(run(m_conn, "SELECT 1 FROM events LIMIT 0"))) {
            m_error = "no usable events table: " + (schemaError.empty() ? message() : schemaError);
            return false;
        }
        m_broken = false;
        return true;
    }

    bool append(const std::vector<Event>& events) override
    {
        std::lock_guard lock(m_mutex);
        if (!ready() || !check(run(m_conn, "BEGIN")))
            return false;
        for (size_t first = 0; first < events.size(); first += RowsPerInsert) {
            if (!insertRows(events, first, std::min(events.size(), first + RowsPerInsert))) {
                run(m_conn, "ROLLBACK");
                return false;
            }
        }
        return check(run(m_conn, "COMMIT"));
    }

    std::optional<int64_t> deleteOlderThan(int64_t cutoffMs, int maxRows) override
    {
        std::lock_guard lock(m_mutex);
        std::string cutoff = std::to_string(cutoffMs), limit = std::to_string(maxRows);
        const char* values[2] = {cutoff.c_str(), limit.c_str()};
        if (!ready())
            return std::nullopt;
        Result result(PQexecParams(m_conn, DeleteOldSql, 2, nullptr, values, nullptr, nullptr, 0), &PQclear);
        if (!check(result))
            return std::nullopt;
        return std::stoll(PQcmdTuples(result.get()));
    }

    std::optional<int64_t> count() override
    {
        std::lock_guard lock(m_mutex);
        if (!ready())
            return std::nullopt;
        Result result = run(m_conn, "SELECT count(*) FROM events");
        if (!check(result))
            return std::nullopt;
        return std::stoll(PQgetvalue(result.get(), 0, 0));
    }

    std::optional<std::vector<StoredEvent>> query(const EventQuery& query) override
    {
        std::lock_guard lock(m_mutex);
        if (!ready())
            return std::nullopt;
        std::string afterId = std::to_string(query.afterId), limit = std::to_string(query.limit);
        const char* values[6] = {afterId.c_str(),       query.name.c_str(),    query.name.c_str(),
                                 query.install.c_str(), query.install.c_str(), limit.c_str()};
        // Results come as text; the body in bytea's escaped form, undone by readRow.
        Result result(PQexecParams(m_conn, QueryEventsSql, 6, nullptr, values, nullptr, nullptr, 0), &PQclear);
        if (!check(result))
            return std::nullopt;
        std::vector<StoredEvent> rows;
        for (int row = 0; row < PQntuples(result.get()); ++row)
            rows.push_back(readRow(result.get(), row));
        return rows;
    }

    std::string error() const override
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    static StoredEvent readRow(PGresult* result, int row)
    {
        size_t bodyLength = 0;
        auto* raw = reinterpret_cast<const unsigned char*>(PQgetvalue(result, row, 4));
        unsigned char* body = PQunescapeBytea(raw, &bodyLength);
        StoredEvent stored{std::stoll(PQgetvalue(result, row, 0)),
                           {std::stoll(PQgetvalue(result, row, 1)), PQgetvalue(result, row, 2),
                            PQgetvalue(result, row, 3),
                            body ? std::string(reinterpret_cast<char*>(body), bodyLength) : std::string()}};
        PQfreemem(body);
        return stored;
    }

    bool insertRows(const std::vector<Event>& events, size_t first, size_t end)
    {
        std::vector<std::string> times;
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        times.reserve(end - first);
        for (size_t i = first; i < end; ++i) {
            const Event& event = events[i];
            times.push_back(std::to_string(event.receivedMs));
            values.insert(values.end(), {times.back().c_str(), event.name.c_str(), event.install.c_str(),
                                         event.body.data()});
            // The body goes as binary so that it is stored byte for byte, whatever it holds.
            lengths.insert(lengths.end(), {0, 0, 0, int(event.body.size())});
            formats.insert(formats.end(), {0, 0, 0, 1});
        }
        std::string sql = insertSql(end - first);
        Result result(PQexecParams(m_conn, sql.c_str(), int(values.size()), nullptr, values.data(), lengths.data(),
                                   formats.data(), 0),
                      &PQclear);
        return check(result);
    }

    // A failed statement makes the next operation connect anew.
    bool check(const Result& result)
    {
        if (succeeded(result))
            return true;
        m_error = message();
        m_broken = true;
        return false;
    }

    std::string message() const
    {
        std::string text = PQerrorMessage(m_conn);
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }

    const std::string m_conninfo;
    PGconn* m_conn = nullptr;
    bool m_broken = false;
    mutable std::mutex m_mutex;
    std::string m_error;
};

} // namespace

std::unique_ptr<EventStore> openPostgresStore(const std::string& conninfo, std::string* error)
{
    char* parseError = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &parseError);
    if (!parsed) {
        *error = "not a PostgreSQL connection string: " + std::string(parseError ? parseError : "out of memory");
        PQfreemem(parseError);
        return nullptr;
    }
    PQconninfoFree(parsed);
    auto store = std::make_unique<PostgresEventStore>(conninfo);
    error->clear();
    if (!store->ready())
        *error = store->error();
    return store;
}

} // namespace zumo::vendor
