// The helper executable (zumo-net) of the running program, opened once and always run from that
// open file: an update that replaces the install folder under a running Zumo therefore cannot
// pair it with another version's helper, and a removed folder still leaves the helper runnable.
#pragma once

#include <QString>

class QProcess;

namespace zumo {

class HelperProgram {
public:
    explicit HelperProgram(const QString& path);
    ~HelperProgram();
    HelperProgram(const HelperProgram&) = delete;
    HelperProgram& operator=(const HelperProgram&) = delete;

    bool found() const { return m_fd >= 0; }
    QString missing() const;  // the error of a request made without it
    // Makes process run the helper (its arguments are the caller's); the child dies with us.
    void prepare(QProcess& process) const;

    // zumo-net beside the running executable (read from /proc, so no application object is needed).
    static QString beside();

private:
    int m_fd = -1;
    QString m_path;
};

} // namespace zumo
