#include "platform/AwaitFd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>

namespace zumo {

bool awaitFd(int fd, short events, const QDeadlineTimer& deadline)
{
    pollfd entry{fd, events, 0};
    for (;;) {
        const qint64 left = deadline.remainingTime();  // -1: no deadline
        const int n = ::poll(&entry, 1, left < 0 ? -1 : int(std::min<qint64>(left, INT_MAX)));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

} // namespace zumo
