// Shared by every test program: child-process entry points for tests that need a second
// process (e.g. one killed mid-write), reached as `<test program> --child <name> args...`.
#pragma once

#include <QString>
#include <QStringList>

namespace zumo::test {

using ChildMain = int (*)(const QStringList& args);

// Registers a child entry point at static-initialisation time:
//   static zumo::test::ChildRegistration reg("writer", &writerMain);
struct ChildRegistration {
    ChildRegistration(const char* name, ChildMain main);
};

// The path of the running test program, to start it again as a child.
QString selfPath();

} // namespace zumo::test
