// The crash trail: "crash.log" filled by our own fatal-signal and uncaught-exception handlers,
// copies of system crash reports, and the start line of the event log.
#pragma once

#include <QString>

namespace zumo {

class Dispatcher;

// The folder of system crash reports to collect from: Linux keeps none for us, so only the one
// named by ZUMO_CRASH_REPORT_DIR; empty when unset.
QString configuredReportSource();

struct DiagnosticsSetup {
    QString logDir;                                     // the private log directory (empty: no crash file)
    QString reportsSource = configuredReportSource();  // where system crash reports are copied from
    QString processName = QStringLiteral("zumo");
};

// Once, early, on the main thread: opens "crash.log" (0600, append, kept open), installs the
// uncaught-exception handler and the handlers of SIGSEGV, SIGABRT, SIGILL, SIGBUS, SIGFPE and
// SIGTRAP on an alternate stack (a stack overflow is still recorded), logs the start line and
// starts the report collector in the background. The handlers write
// "fatal signal, backtrace:" and up to 64 frames, then let the signal end the process.
void startDiagnostics(const DiagnosticsSetup& setup, Dispatcher& dispatcher);
// "start zumo <version> os=<system> arch=<build architecture>".
QString startLine(const QString& processName);
// Opens the crash file and installs the handlers only (tests' child processes); returns the
// descriptor, -1 when the file could not be opened (the handlers still re-raise).
int installCrashHandlers(const QString& logDir);
// Copies reports named "<processName>*.ips" or "*.crash" from source into logDir/reports,
// never replacing a copy made earlier. Every file error is ignored.
void collectCrashReports(const QString& source, const QString& logDir, const QString& processName);

} // namespace zumo
