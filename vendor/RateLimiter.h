// How often one key (an address, an installation) may do something: a token bucket per key,
// refilled at a steady rate up to a burst. A pure value: the caller gives the time.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace zumo::vendor {

class RateLimiter {
public:
    // perDay events a day per key, up to burst at once; perDay 0 allows everything. At most
    // maxKeys keys are tracked: past that, keys with a full bucket are forgotten, and if none
    // is, all are (a flood of new keys must not grow memory; each new key starts full anyway).
    RateLimiter(double perDay, double burst, size_t maxKeys = 100000);

    // Takes one token for key at nowMs; false when its bucket is empty.
    bool allow(const std::string& key, int64_t nowMs);

private:
    struct Bucket {
        double tokens;
        int64_t atMs;
    };
    double refilled(const Bucket& bucket, int64_t nowMs) const;

    const double m_perMs;
    const double m_burst;
    const size_t m_maxKeys;
    std::unordered_map<std::string, Bucket> m_buckets;
};

} // namespace zumo::vendor
