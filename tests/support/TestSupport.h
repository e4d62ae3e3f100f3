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
