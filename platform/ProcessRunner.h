// Running command-line tools: waited for (verification steps) or started and left running
// (the install script that outlives the program).
#pragma once

#include <QString>
#include <QStringList>

namespace zumo {

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Runs program with args, standard input, output and error on the null device, and waits for
    // it. Returns its exit status; -1 when it could not be started or did not exit normally
    // (a crash is never mistaken for success). Any thread.
    virtual int run(const QString& program, const QStringList& args) = 0;
    // Starts program with args detached from this process (standard streams on the null device)
    // and does not wait. False when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& args) = 0;
};

} // namespace zumo
