// The event store for a service past one machine: PostgreSQL through libpq, one connection
// behind a mutex (each front end has its own), re-established when it drops.
#include "vendor/EventStore.h"

#include <libpq-fe.h>
#include <memory>
#include <mutex>

namespace zumo::vendor {

namespace {

constexpr const char* SchemaSql =
    "CREATE TABLE IF NOT EXISTS events (id BIGSERIAL PRIMARY KEY, received_ms BIGINT NOT NULL,"
    " event TEXT NOT NULL, install TEXT NOT NULL, body BYTEA NOT NULL);"
    "CREATE INDEX IF NOT EXISTS events_event ON events (event);";

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

class PostgresEventStore final : public EventStore {
public:
    explicit PostgresEventStore(PGconn* conn) : m_conn(conn) {}
    ~PostgresEventStore() override { PQfinish(m_conn); }

    bool append(const std::vector<Event>& events) override
    {
        std::lock_guard lock(m_mutex);
        reconnectIfLost();
        if (!check(run(m_conn, "BEGIN")))
            return false;
        for (size_t first = 0; first < events.size(); first += RowsPerInsert) {
            if (!insertRows(events, first, std::min(events.size(), first + RowsPerInsert))) {
                run(m_conn, "ROLLBACK");
                return false;
            }
        }
        return check(run(m_conn, "COMMIT"));
    }

    std::optional<int64_t> count() override
    {
        std::lock_guard lock(m_mutex);
        reconnectIfLost();
        Result result = run(m_conn, "SELECT count(*) FROM events");
        if (!check(result))
            return std::nullopt;
        return std::stoll(PQgetvalue(result.get(), 0, 0));
    }

    std::optional<std::vector<StoredEvent>> query(const EventQuery& query) override
    {
        std::lock_guard lock(m_mutex);
        reconnectIfLost();
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

    bool check(const Result& result)
    {
        if (succeeded(result))
            return true;
        m_error = PQerrorMessage(m_conn);
        while (!m_error.empty() && m_error.back() == '\n')
            m_error.pop_back();
        return false;
    }

    void reconnectIfLost()
    {
        if (PQstatus(m_conn) == CONNECTION_BAD)
            PQreset(m_conn);
    }

    PGconn* m_conn;
    mutable std::mutex m_mutex;
    std::string m_error;
};

} // namespace

std::unique_ptr<EventStore> openPostgresStore(const std::string& conninfo, std::string* error)
{
    PGconn* conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        *error = std::string("cannot connect to PostgreSQL: ") + PQerrorMessage(conn);
        PQfinish(conn);
        return nullptr;
    }
    // Front ends starting together may race to create the table; the loser's error is harmless
    // as long as the table is there afterwards.
    Result schema = run(conn, SchemaSql);
    std::string schemaError = succeeded(schema) ? std::string() : PQerrorMessage(conn);
    Result probe = run(conn, "SELECT 1 FROM events LIMIT 0");
    if (!succeeded(probe)) {
        *error = "no usable events table: " + (schemaError.empty() ? std::string(PQerrorMessage(conn)) : schemaError);
        PQfinish(conn);
        return nullptr;
    }
    return std::make_unique<PostgresEventStore>(conn);
}

} // namespace zumo::vendor
