// Crash handlers that are safe inside a signal: everything they touch is prepared at start.
#include "telemetry/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <csignal>
#include <cxxabi.h>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/AppVersion.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/SignalStack.h"

namespace zumo {
namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGABRT, SIGILL, SIGBUS, SIGFPE, SIGTRAP};
constexpr int MaxFrames = 64;
constexpr char FatalHeader[] = "fatal signal, backtrace:\n";

int g_crashFd = -1;

void writeAll(const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(g_crashFd, data, size);
        if (n <= 0)
            return;
        data += n;
        size -= size_t(n);
    }
}

// Async-signal-safe: write, backtrace (its library loaded at start), sigaction and raise only.
void onFatalSignal(int sig)
{
    if (g_crashFd >= 0) {
        writeAll(FatalHeader, sizeof FatalHeader - 1);
        void* frames[MaxFrames];
        const int count = ::backtrace(frames, MaxFrames);
        ::backtrace_symbols_fd(frames, count, g_crashFd);
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(sig, &fallback, nullptr);
    ::raise(sig);
}

std::string exceptionDescription()
{
    std::string name = "unknown";
    if (const std::type_info* type = abi::__cxa_current_exception_type()) {
        int status = 0;
        char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
        name = status == 0 && demangled ? demangled : type->name();
        std::free(demangled);
    }
    std::string reason;
    try {
        if (auto current = std::current_exception())
            std::rethrow_exception(current);
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
    }
    return "uncaught exception " + name + ": " + reason + "\n";
}

// Not inside a signal: allocation is fine here. abort() then runs the signal handler too.
[[noreturn]] void onTerminate()
{
    if (g_crashFd >= 0) {
        std::string text = exceptionDescription();
        void* frames[MaxFrames];
        const int count = ::backtrace(frames, MaxFrames);
        if (char** symbols = ::backtrace_symbols(frames, count)) {
            for (int i = 0; i < count; ++i)
                text += std::string(symbols[i]) + "\n";
            std::free(symbols);
        }
        writeAll(text.data(), text.size());
    }
    std::abort();
}

void installSignalHandlers()
{
    // A stack overflow leaves no room on the thread's own stack for the handler; the workers
    // take theirs when they start (platform/SignalStack.h).
    giveThreadSignalStack();
    for (const int sig : FatalSignals) {
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_ONSTACK;
        ::sigaction(sig, &action, nullptr);
    }
}

} // namespace

int installCrashHandlers(const QString& logDir)
{
    if (!logDir.isEmpty() && g_crashFd < 0) {
        const QByteArray path = QFile::encodeName(logDir + QStringLiteral("/crash.log"));
        g_crashFd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    // The first backtrace() loads the unwinder, which allocates; done now, never in the handler.
    void* frames[4];
    ::backtrace(frames, 4);
    std::set_terminate(onTerminate);
    installSignalHandlers();
    return g_crashFd;
}

QString configuredReportSource()
{
    return qEnvironmentVariable("ZUMO_CRASH_REPORT_DIR");
}

QString startLine(const QString& processName)
{
    return QStringLiteral("start %1 %2 os=%3 arch=%4")
        .arg(processName, runningVersion(), QSysInfo::prettyProductName(),
             QSysInfo::buildCpuArchitecture());
}

void collectCrashReports(const QString& source, const QString& logDir, const QString& processName)
{
    if (source.isEmpty() || logDir.isEmpty())
        return;
    const QDir from(source);
    if (!from.exists())
        return;
    const QString reports = logDir + QStringLiteral("/reports");
    QDir().mkpath(reports);
    const auto names = from.entryList({processName + QStringLiteral("*.ips"), processName + QStringLiteral("*.crash")},
                                      QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString target = reports + QLatin1Char('/') + name;
        if (!QFile::exists(target))
            QFile::copy(from.filePath(name), target);
    }
}

void startDiagnostics(const DiagnosticsSetup& setup, Dispatcher& dispatcher)
{
    installCrashHandlers(setup.logDir);
    appLog(startLine(setup.processName));
    dispatcher.background(Quality::Utility, [setup] {
        collectCrashReports(setup.reportsSource, setup.logDir, setup.processName);
    });
}

} // namespace zumo
