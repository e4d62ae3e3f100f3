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

// The fault must reach the signal handler, so the sanitizer build may not catch it first.
__attribute__((no_sanitize("undefined"))) int segvMain(const QStringList& args)
{
    installCrashHandlers(args.value(0));
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}

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

int overflowMain(const QStringList& args)
{
    installCrashHandlers(args.value(0));
    return recurse(0);
}

// The same on one of the thread pool's workers: the handler needs that thread's own signal stack.
int workerOverflowMain(const QStringList& args)
{
    installCrashHandlers(args.value(0));
    QtDispatcher dispatcher;
    dispatcher.background(Quality::Default, [] { recurse(0); });
    dispatcher.finishBackground();
    return 0;
}

int throwMain(const QStringList& args)
{
    installCrashHandlers(args.value(0));
    throw std::runtime_error("the disk is on fire");
}

const test::ChildRegistration segv("crash-segv", &segvMain);
const test::ChildRegistration overflow("crash-overflow", &overflowMain);
const test::ChildRegistration workerOverflow("crash-overflow-worker", &workerOverflowMain);
const test::ChildRegistration thrower("crash-throw", &throwMain);

// Runs the child and returns the signal it died of (0 when it exited).
int runChild(const QString& name, const QString& dir)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The sanitizers' own handlers would report the fault instead of ours.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "handle_segv=0:handle_abort=0:detect_stack_use_after_return=0:use_sigaltstack=0");
    child.setProcessEnvironment(env);
    child.start(test::selfPath(), {"--child", name, dir});
    EXPECT_TRUE(child.waitForFinished(30000));
    return child.exitStatus() == QProcess::CrashExit ? child.exitCode() : 0;
}

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
        {"crash-segv", SIGSEGV, "fatal signal"},
        {"crash-overflow", SIGSEGV, "fatal signal"},
        {"crash-overflow-worker", SIGSEGV, "fatal signal"},
        {"crash-throw", SIGABRT, "uncaught exception std::runtime_error: the disk is on fire\n"},
    };
    for (const auto& [name, signal, first] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        EXPECT_EQ(runChild(name, dir.path()), signal);
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
