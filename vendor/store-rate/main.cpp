// zumo-vendor-store-rate: how many events per second an event store takes in group commits of
// a given size, from one thread as the service's writer does. The ceiling scripts/vendor-load
// holds the service against.
//   zumo-vendor-store-rate (--sqlite FILE | --postgres) BATCH SECONDS BODY_BYTES
// With --postgres the connection string comes from ZUMO_VENDOR_POSTGRES. Prints events/s.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vendor/EventStore.h"

using namespace zumo::vendor;

int main(int argc, char** argv)
{
    if (argc != 6 && !(argc == 5 && std::string(argv[1]) == "--postgres")) {
        std::fputs("usage: zumo-vendor-store-rate (--sqlite FILE | --postgres) BATCH SECONDS BODY_BYTES\n", stderr);
        return 2;
    }
    bool postgres = std::string(argv[1]) == "--postgres";
    int first = postgres ? 2 : 3;
    size_t batch = std::strtoul(argv[first], nullptr, 10);
    double seconds = std::strtod(argv[first + 1], nullptr);
    size_t bodyBytes = std::strtoul(argv[first + 2], nullptr, 10);
    std::string error;
    const char* conninfo = std::getenv("ZUMO_VENDOR_POSTGRES");
    auto store = postgres ? openPostgresStore(conninfo ? conninfo : "", &error) : openSqliteStore(argv[2], &error);
    if (!store || !error.empty()) {
        std::fprintf(stderr, "zumo-vendor-store-rate: %s\n", error.c_str());
        return 1;
    }
    std::string body = "{\"event\":\"launch\",\"pad\":\"" + std::string(bodyBytes > 30 ? bodyBytes - 30 : 0, 'x') + "\"}";
    // Received now: the service's retention must not take these for old events.
    int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch()).count();
    std::vector<Event> events(std::max<size_t>(batch, 1), Event{now, "launch", "A", body});
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    uint64_t stored = 0;
    while (Clock::now() < end) {
        if (!store->append(events)) {
            std::fprintf(stderr, "zumo-vendor-store-rate: %s\n", store->error().c_str());
            return 1;
        }
        stored += events.size();
    }
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.0f\n", double(stored) / elapsed);
    return 0;
}
