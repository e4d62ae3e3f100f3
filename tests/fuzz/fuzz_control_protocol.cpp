// Fuzzes the control socket's line protocol: any request line parses to a request or a reason,
// a parsed request written back parses to the same request, and any reply text parses or is refused.
#include <QByteArray>
#include <cstdint>

#include "tests/fuzz/FuzzCheck.h"
#include "control/ControlProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const zumo::ParsedRequest parsed = zumo::parseRequest(input);
    if (parsed.request) {
        QByteArray line = zumo::requestLine(*parsed.request);
        line.chop(1);  // the line feed the socket reader takes off
        const zumo::ParsedRequest again = zumo::parseRequest(line);
        check(again.request && *again.request == *parsed.request);
    }
    zumo::parseReply(input);
    return 0;
}
