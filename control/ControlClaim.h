// The one-instance claim: a lock on a file beside the control socket, with the socket bound and
// listening while the lock is held, taken first thing at launch so that of two overlapping
// launches exactly one goes on; the other finds the socket and hands over to it.
#pragma once

#include <QString>

namespace zumo {

class ControlClaim {
public:
    enum class State {
        claimed,     // this process holds the lock and a listening socket
        taken,       // another process holds the lock: a Zumo runs or is starting
        unavailable  // no private folder, or the lock or socket could not be made (see error());
                     // the lock is kept when only the socket failed
    };

    // Locks `socketPath` + ".lock" (an flock, released by the kernel when the process ends, so a
    // crashed Zumo never blocks the next) and, holding it, replaces whatever file is at socketPath
    // with a listening socket only this user may use. Main thread, before anything else starts.
    static ControlClaim take(const QString& socketPath);

    ControlClaim() = default;
    ~ControlClaim();
    ControlClaim(ControlClaim&& other) noexcept;
    ControlClaim& operator=(ControlClaim&& other) noexcept;
    ControlClaim(const ControlClaim&) = delete;
    ControlClaim& operator=(const ControlClaim&) = delete;

    State state() const { return m_state; }
    QString socketPath() const { return m_path; }
    QString error() const { return m_error; }
    // The listening socket, handed over once (-1 afterwards or when not claimed); the lock stays
    // with this object.
    int releaseSocket();

private:
    void close();

    State m_state = State::unavailable;
    QString m_path;
    QString m_error;
    int m_lock = -1;
    int m_socket = -1;
};

} // namespace zumo
