// Connecting to a local (AF_UNIX) stream socket without Qt Network: the control socket's client
// and sway's IPC.
#pragma once

#include <QDeadlineTimer>
#include <QString>

namespace zumo {

// A connected, non-blocking, close-on-exec socket to the listener at path, or -1 with error set
// (the system's sentence). Waits only while the listener's queue is full, until the deadline.
int connectLocalSocket(const QString& path, QDeadlineTimer deadline, QString* error = nullptr);

} // namespace zumo
