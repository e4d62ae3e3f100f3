// Interns accessible objects (bus name and object path) as part element handles, and back.
#pragma once

#include <QString>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/WindowParts.h"

namespace zumo::atspi {

struct ObjectRef {
    QString service;  // the application's unique name on the accessibility bus
    QString path;
    bool operator<(const ObjectRef& other) const
    {
        return std::tie(service, path) < std::tie(other.service, other.path);
    }
    bool operator==(const ObjectRef&) const = default;
};

// The same object always gets the same handle while the table lasts. Past `capacity` objects the
// table starts afresh under a new epoch, so a long session cannot grow it for ever; handles of
// the old epoch then resolve to nothing rather than to some other object. Thread-safe.
class AtspiElements {
public:
    explicit AtspiElements(std::size_t capacity = 1 << 16) : m_capacity(capacity) {}

    ElementRef intern(const ObjectRef& object);
    // Nothing for a handle this table did not give out, or one from an earlier epoch.
    std::optional<ObjectRef> resolve(ElementRef element) const;

private:
    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::uint32_t m_epoch = 0;
    std::vector<ObjectRef> m_objects;
    std::map<ObjectRef, std::uint32_t> m_index;
};

} // namespace zumo::atspi
