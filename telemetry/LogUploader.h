// Uploading the redacted tails of the logs and crash reports as the "logs" event, only when
// something changed since the last delivered upload.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>

#include "telemetry/Diagnostics.h"
#include "telemetry/Redact.h"

namespace zumo {

class Dispatcher;
class EventSender;
class SettingsStore;

inline constexpr qint64 LogTailBytes = 200000;
inline constexpr qint64 CrashTailBytes = 100000;
inline constexpr qint64 ReportTailBytes = 100000;
inline constexpr int ReportsUploaded = 3;

// {"log", "crash", "reports"}: the redacted tails of "events.log", "crash.log" and the last
// three files of "reports" by name.
QJsonObject logUploadProperties(const QString& logDir, const RedactionFacts& facts);
// "<UTF-8 bytes of log>-<UTF-8 bytes of crash>-<number of reports>-<digest of all three>", e.g.
// "812-0-2-9f86d081884c7d659a2feaa0c55ad015": equal only when the contents are.
QString logSignature(const QJsonObject& properties);

class LogUploader {
public:
    // drainLog returns once every log line queued so far is written. All references must outlive
    // the uploader and the background work it starts.
    // reportsSource: where system crash reports are collected from before each read, so an
    // upload never misses a report the collector at start had not copied yet.
    LogUploader(EventSender& sender, SettingsStore& store, Dispatcher& dispatcher, QString logDir,
                std::function<void()> drainLog, RedactionFacts facts = systemRedactionFacts(),
                QString reportsSource = configuredReportSource());

    // Not forced: reads and sends in the background. Forced (at quit): on the calling thread,
    // waiting for the answer at most two seconds. Nothing without consent, while telemetry or log
    // upload is paused, or when nothing changed since the last delivered upload; "logSig" is
    // stored only once the service accepted the upload.
    void uploadLogs(bool force);

private:
    void upload(bool wait);

    EventSender& m_sender;
    SettingsStore& m_store;
    Dispatcher& m_dispatcher;
    QString m_logDir;
    std::function<void()> m_drainLog;
    RedactionFacts m_facts;
    QString m_reportsSource;
};

} // namespace zumo
