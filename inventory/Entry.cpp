#include "inventory/Entry.h"

#include <atomic>

namespace zumo {

EntryId newEntryId()
{
    static std::atomic<EntryId> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

} // namespace zumo
