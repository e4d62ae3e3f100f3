// The values the event store keeps: one posted usage event, and how a reader asks for some.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zumo::vendor {

struct Event {
    int64_t receivedMs = 0; // when the service received it, milliseconds since 1970 UTC
    std::string name;       // the envelope's "event", empty when the body has none
    std::string install;    // the envelope's "install", empty when the body has none
    std::string body;       // the request body exactly as received
};

struct StoredEvent {
    int64_t id = 0; // increasing in the order the store accepted the events
    Event event;
};

// Every field that is set narrows the answer; events come oldest first.
struct EventQuery {
    std::string name;
    std::string install;
    int64_t afterId = 0;
    int limit = 1000;
};

// The event a POST body describes: the body as given plus its "event" and "install" strings
// (empty when missing or not strings; cut to 200 characters, without NUL characters). None
// when the body is not a JSON object.
std::optional<Event> readEvent(std::string body, int64_t receivedMs);

} // namespace zumo::vendor
