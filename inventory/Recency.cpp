// The recent-use list of applications and the ordering it implies.
#include "inventory/Recency.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace zumo {

void Recency::noteAppUsed(Pid pid)
{
    std::erase(m_pids, pid);
    m_pids.insert(m_pids.begin(), pid);
    if (m_pids.size() > capacity)
        m_pids.resize(capacity);
}

std::vector<RunningApp> orderByRecency(std::vector<RunningApp> apps, const std::vector<Pid>& recent)
{
    if (recent.empty())
        return apps;
    std::unordered_map<Pid, std::size_t> rank;
    for (std::size_t i = 0; i < recent.size(); ++i)
        rank.emplace(recent[i], i);
    auto rankOf = [&rank](const RunningApp& app) {
        auto it = rank.find(app.pid);
        return it == rank.end() ? std::numeric_limits<std::size_t>::max() : it->second;
    };
    std::stable_sort(apps.begin(), apps.end(),
                     [&](const RunningApp& a, const RunningApp& b) { return rankOf(a) < rankOf(b); });
    return apps;
}

} // namespace zumo
