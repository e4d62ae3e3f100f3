// A process that faults, or overflows a stack (the main thread's or a worker's), records a backtrace in "crash.log" and still
// dies of the signal; an uncaught exception is recorded with its type and reason.
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <stdexcept>

#include "desktop/qt/QtDispatcher.h"
#include "telemetry/Diagnostics.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

namespace zumo {
namespace {

// The limit is never reached: the stack runs out long before (a bound the compiler cannot see).
volatile int g_depthLimit = 1 << 30;

__attribute__((noinline)) int recurse(int depth)
{
    volatile char frame[1024];
    frame[0] = char(depth);
    if (depth >= g_depthLimit)
        return 0;
    return recurse(depth + 1) + frame[0];
}

// Crashes as its first argument says, its log in the second. The fault must reach the signal
// handler, so the sanitizer build may not catch it first.
__attribute__((no_sanitize("undefined"))) int crashMain(const QStringList& args)
{
    installCrashHandlers(args.value(1));
    const QString how = args.value(0);
    if (how == "segv") {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    } else if (how == "overflow") {
        return recurse(0);
    } else if (how == "overflow-worker") {  // the handler needs the worker's own signal stack
        QtDispatcher dispatcher;
        dispatcher.background(Quality::Default, [] { recurse(0); });
        dispatcher.finishBackground();
    } else {
        throw std::runtime_error("the disk is on fire");
    }
    return 0;
}

const test::ChildRegistration crash("crash", &crashMain);

// The lines of the signal handler's backtrace; -1 when it wrote none.
int frameLines(const QByteArray& log)
{
    const qsizetype at = log.indexOf("fatal signal, backtrace:\n");
    return at < 0 ? -1 : int(log.mid(at + 25).count('\n'));
}

TEST(CrashHandlerTest, aFaultAStackOverflowOnAnyThreadOrAnUncaughtExceptionLeaveABacktraceAndDieOfTheSignal)
{
    // The child, the signal it dies of, and how its log starts.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"segv", SIGSEGV, "fatal signal"},
        {"overflow", SIGSEGV, "fatal signal"},
        {"overflow-worker", SIGSEGV, "fatal signal"},
        {"throw", SIGABRT, "uncaught exception std::runtime_error: the disk is on fire\n"},
    };
    // The sanitizers' own handlers would report the fault instead of ours.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "handle_segv=0:handle_abort=0:detect_stack_use_after_return=0:use_sigaltstack=0");
    for (const auto& [name, signal, first] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.setProcessEnvironment(env);
        child.start(test::selfPath(), {"--child", "crash", name, dir.path()});
        ASSERT_TRUE(child.waitForFinished(30000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(child.exitCode(), signal);
        const QByteArray log = test::readAll(dir.filePath("crash.log"));
        EXPECT_TRUE(log.startsWith(first)) << log.left(200).constData();
        EXPECT_GE(frameLines(log), 3);
        EXPECT_LE(frameLines(log), 64);
    }
}

TEST(CrashHandlerTest, reportsOfThisProcessAreCopiedOnceAndNeverReplaced)
{
    QTemporaryDir source, logDir;
    for (const char* name : {"zumo-1.ips", "zumo-2.crash", "other-1.ips", "zumo-3.diag"})
        test::writeAll(source.filePath(name), "first");
    collectCrashReports(source.path(), logDir.path(), "zumo");
    test::writeAll(source.filePath("zumo-1.ips"), "changed");
    collectCrashReports(source.path(), logDir.path(), "zumo");
    EXPECT_EQ(QDir(logDir.filePath("reports")).entryList(QDir::Files), QStringList({"zumo-1.ips", "zumo-2.crash"}));
    EXPECT_EQ(test::readAll(logDir.filePath("reports/zumo-1.ips")), "first");
}

} // namespace
} // namespace zumo
