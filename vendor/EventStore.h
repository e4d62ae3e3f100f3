// Where posted events are kept: one interface, SQLite embedded by default, PostgreSQL for a
// service that outgrows one machine.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vendor/Event.h"

namespace zumo::vendor {

// Every operation may be called from any thread; implementations serialise internally.
class EventStore {
public:
    virtual ~EventStore() = default;
    // Stores all the events in one transaction, so either all of them or none are kept. False
    // when none were stored; error() then says why.
    virtual bool append(const std::vector<Event>& events) = 0;
    // How many events are stored; none when the store cannot be read.
    virtual std::optional<int64_t> count() = 0;
    // The matching events, oldest first, at most query.limit; none when the store cannot be read.
    virtual std::optional<std::vector<StoredEvent>> query(const EventQuery& query) = 0;
    // Deletes up to maxRows events received before cutoffMs, oldest first; how many it deleted,
    // none when the store cannot be written.
    virtual std::optional<int64_t> deleteOlderThan(int64_t cutoffMs, int maxRows) = 0;
    // What the last failed operation reported.
    virtual std::string error() const = 0;
};

// Opens (creating when missing) an SQLite file. Null with *error set when it cannot be opened.
std::unique_ptr<EventStore> openSqliteStore(const std::string& path, std::string* error);
// Connects with a libpq connection string ("host=... dbname=..." or a postgresql:// URI) and
// creates the table when missing. Null with *error set when the string is not one; a store with
// *error set when the server could not be reached or used (it connects again on every later
// operation, which fail until then).
std::unique_ptr<EventStore> openPostgresStore(const std::string& conninfo, std::string* error);

// The one SELECT both engines run; parameters: afterId, name, name, install, install, limit.
// Written with $n placeholders: SQLite takes them as named parameters, numbered in order of
// first appearance, which is the same order.
inline constexpr const char* QueryEventsSql =
    "SELECT id, received_ms, event, install, body FROM events WHERE id > $1"
    " AND ($2 = '' OR event = $3) AND ($4 = '' OR install = $5) ORDER BY id LIMIT $6";

// Retention in bounded steps, so that events are not held up behind one long delete; parameters:
// cutoffMs, maxRows. Old rows have the lowest ids, found through the index on received_ms.
inline constexpr const char* DeleteOldSql =
    "DELETE FROM events WHERE id IN (SELECT id FROM events WHERE received_ms < $1 ORDER BY received_ms LIMIT $2)";

} // namespace zumo::vendor
