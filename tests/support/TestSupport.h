// Shared by every test program: child-process entry points for tests that need a second
// process (e.g. one killed mid-write), reached as `<test program> --child <name> args...`.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <functional>

namespace zumo::test {

using ChildMain = int (*)(const QStringList& args);

// Registers a child entry point at static-initialisation time:
//   static zumo::test::ChildRegistration reg("writer", &writerMain);
struct ChildRegistration {
    ChildRegistration(const char* name, ChildMain main);
};

// The path of the running test program, to start it again as a child.
QString selfPath();

// Handles events (a file watch's, say) until done() holds; false when the deadline came first.
inline bool eventsUntil(const std::function<bool()>& done, int deadlineMs = 10000)
{
    const QDeadlineTimer deadline(deadlineMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return done();
}

} // namespace zumo::test
