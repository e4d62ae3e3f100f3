// Connecting to a local (AF_UNIX) stream socket without Qt Network: the control socket's client
// and sway's IPC.
#pragma once

#include <QString>

namespace zumo {

// A connected, close-on-exec socket to the listener at path, or -1 with error set (the system's
// sentence). A local connect is answered at once: it never waits.
int connectLocalSocket(const QString& path, QString* error = nullptr);

} // namespace zumo
