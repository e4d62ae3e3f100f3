// Shared by every test program: child-process entry points for tests that need a second
// process (e.g. one killed mid-write), reached as `<test program> --child <name> args...`.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QTimer>
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
// The tick looks at done() again at least every 50 ms, for changes that come with no event
// (another process's files); processEvents with a time limit would not wait at all, but spin.
inline bool eventsUntil(const std::function<bool()>& done, int deadlineMs = 10000)
{
    const QDeadlineTimer deadline(deadlineMs);
    QTimer tick;
    tick.start(50);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The titles of entries, rows or tabs in their order, to compare with the list expected.
template <class Items>
QStringList titles(const Items& items)
{
    QStringList list;
    for (const auto& item : items)
        list << item.title;
    return list;
}

} // namespace zumo::test
