// Token buckets per key: see RateLimiter.h.
#include "vendor/RateLimiter.h"

#include <algorithm>

namespace zumo::vendor {

RateLimiter::RateLimiter(double perDay, double burst, size_t maxKeys)
    : m_perMs(perDay / (24.0 * 3600 * 1000)), m_burst(std::max(burst, 1.0)), m_maxKeys(maxKeys)
{
}

double RateLimiter::refilled(const Bucket& bucket, int64_t nowMs) const
{
    return std::min(m_burst, bucket.tokens + double(std::max<int64_t>(0, nowMs - bucket.atMs)) * m_perMs);
}

bool RateLimiter::allow(const std::string& key, int64_t nowMs)
{
    if (m_perMs <= 0)
        return true;
    auto found = m_buckets.find(key);
    if (found == m_buckets.end()) {
        if (m_buckets.size() >= m_maxKeys) {
            std::erase_if(m_buckets, [&](const auto& entry) { return refilled(entry.second, nowMs) >= m_burst; });
            if (m_buckets.size() >= m_maxKeys)
                m_buckets.clear();
        }
        found = m_buckets.emplace(key, Bucket{m_burst, nowMs}).first;
    }
    Bucket& bucket = found->second;
    bucket.tokens = refilled(bucket, nowMs);
    bucket.atMs = std::max(bucket.atMs, nowMs);
    if (bucket.tokens < 1 - 1e-9) // a whole token, give or take the rounding of the refill
        return false;
    bucket.tokens -= 1;
    return true;
}

} // namespace zumo::vendor
