// The applications by recent use, newest first, which orders the switcher.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/Workspace.h"

namespace zumo {

// Kept in memory only; starts empty at every launch. Main thread only.
class Recency {
  public:
    static constexpr std::size_t capacity = 200;

    // Moves pid to the front without duplicating it; the oldest fall off beyond capacity.
    void noteAppUsed(Pid pid);
    // Newest first; never longer than capacity, never holding a pid twice.
    const std::vector<Pid>& recentPIDs() const { return m_pids; }

  private:
    std::vector<Pid> m_pids;
};

// apps sorted stably by their pid's position in recent; apps never used keep their order after
// all used ones. An empty recent list leaves the order unchanged.
std::vector<RunningApp> orderByRecency(std::vector<RunningApp> apps, const std::vector<Pid>& recent);

} // namespace zumo
