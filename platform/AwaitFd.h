// Waiting on a file descriptor with a deadline, through interruptions by signals.
#pragma once

#include <QDeadlineTimer>

namespace zumo {

// Waits until fd is ready for events (poll's) or the deadline passes; false then, or on an error.
bool awaitFd(int fd, short events, const QDeadlineTimer& deadline);

} // namespace zumo
