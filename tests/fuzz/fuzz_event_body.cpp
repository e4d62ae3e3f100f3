// Fuzzes the vendor service's reading of a posted event: the indexed fields stay short and free
// of NULs, and the body is kept exactly as posted.
#include <cstdint>
#include <string>

#include "tests/fuzz/FuzzCheck.h"
#include "vendor/Event.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string body(reinterpret_cast<const char*>(data), size);
    const auto event = zumo::vendor::readEvent(body, 1);
    if (!event)
        return 0;
    check(event->body == body);
    for (const std::string* field : {&event->name, &event->install})
        check(field->find('\0') == std::string::npos && field->size() <= 200 * 4);
    return 0;
}
