// The main of every test program: a Qt application (offscreen unless told otherwise) for the
// tests, or a registered child entry point when started with --child.
#include <QApplication>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "tests/support/TestSupport.h"

namespace zumo::test {
namespace {

std::map<std::string, ChildMain>& children()
{
    static std::map<std::string, ChildMain> registry;
    return registry;
}

QString g_selfPath;  // set first thing in main

} // namespace

ChildRegistration::ChildRegistration(const char* name, ChildMain main)
{
    children()[name] = main;
}

QString selfPath()
{
    return g_selfPath;
}

} // namespace zumo::test

int main(int argc, char** argv)
{
    zumo::test::g_selfPath = QString::fromLocal8Bit(argv[0]);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        QApplication app(argc, argv);
        auto it = zumo::test::children().find(argv[2]);
        if (it == zumo::test::children().end())
            return 127;
        QStringList args;
        for (int i = 3; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        return it->second(args);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
