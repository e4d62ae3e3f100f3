// The "logs" event: gate, tails, signature, send.
#include "telemetry/LogUploader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include "platform/Dispatch.h"
#include "remote/RemoteConfig.h"
#include "settings/SettingsStore.h"
#include "telemetry/EventSender.h"

namespace zumo {
namespace {

const QString SignatureKey = QStringLiteral("logSig");

} // namespace

QJsonObject logUploadProperties(const QString& logDir, const RedactionFacts& facts)
{
    const QDir dir(logDir);
    QStringList names = QDir(dir.filePath(QStringLiteral("reports"))).entryList(QDir::Files, QDir::Name);
    names = names.mid(std::max<qsizetype>(0, names.size() - ReportsUploaded));
    QJsonArray reports;
    for (const QString& name : names) {
        const QString path = dir.filePath(QStringLiteral("reports/") + name);
        reports.append(QJsonObject{{"name", name}, {"content", redact(readTail(path, ReportTailBytes), facts)}});
    }
    return QJsonObject{
        {"log", redact(readTail(dir.filePath(QStringLiteral("events.log")), LogTailBytes), facts)},
        {"crash", redact(readTail(dir.filePath(QStringLiteral("crash.log")), CrashTailBytes), facts)},
        {"reports", reports},
    };
}

QString logSignature(const QJsonObject& properties)
{
    // Past the tail size every upload is as long as the last: the lengths alone would stop
    // uploads for good, so a digest of the contents tells a change.
    const QByteArray log = properties.value(QStringLiteral("log")).toString().toUtf8();
    const QByteArray crash = properties.value(QStringLiteral("crash")).toString().toUtf8();
    const QJsonArray reports = properties.value(QStringLiteral("reports")).toArray();
    QCryptographicHash digest(QCryptographicHash::Sha256);
    digest.addData(QJsonDocument(properties).toJson(QJsonDocument::Compact));
    return QStringLiteral("%1-%2-%3-%4")
        .arg(log.size())
        .arg(crash.size())
        .arg(reports.size())
        .arg(QString::fromLatin1(digest.result().toHex().left(32)));
}

LogUploader::LogUploader(EventSender& sender, SettingsStore& store, Dispatcher& dispatcher, QString logDir,
                         std::function<void()> drainLog, RedactionFacts facts, QString reportsSource)
    : m_sender(sender), m_store(store), m_dispatcher(dispatcher), m_logDir(std::move(logDir)),
      m_drainLog(std::move(drainLog)), m_facts(std::move(facts)), m_reportsSource(std::move(reportsSource))
{
}

void LogUploader::uploadLogs(bool force)
{
    if (!m_sender.sendingAllowed() || remoteConfig().logUploadPaused || m_logDir.isEmpty())
        return;
    if (force)
        return upload(true);
    m_dispatcher.background(Quality::Utility, [this] { upload(false); });
}

void LogUploader::upload(bool wait)
{
    if (m_drainLog)
        m_drainLog();
    collectCrashReports(m_reportsSource, m_logDir, DiagnosticsSetup{}.processName);
    const QJsonObject properties = logUploadProperties(m_logDir, m_facts);
    const QString signature = logSignature(properties);
    const QJsonValue last = m_store.value(SignatureKey);
    if (last.isString() && last.toString() == signature)
        return;
    SettingsStore& store = m_store;
    m_sender.sendEvent(QStringLiteral("logs"), properties, wait,
                       [&store, signature] { store.setValue(SignatureKey, signature); });
}

} // namespace zumo
