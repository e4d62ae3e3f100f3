// Building and posting one usage event.
#include "telemetry/EventSender.h"

#include <QJsonDocument>
#include <QSysInfo>
#include <QUuid>
#include <atomic>

#include "platform/AppVersion.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/VendorService.h"
#include "remote/RemoteConfig.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

const QString InstallKey = QStringLiteral("installID");

} // namespace

QString installIdentifier(SettingsStore& store)
{
    const QJsonValue stored = store.value(InstallKey);
    if (stored.isString() && !stored.toString().isEmpty())
        return stored.toString();
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    store.setValue(InstallKey, id);
    return id;
}

bool consentGiven(const SettingsStore& store)
{
    const QJsonValue v = store.value(QStringLiteral("consentVersion"));
    return v.isDouble() && v.toDouble() >= 1;
}

QString osDisplayName()
{
    return QSysInfo::prettyProductName();
}

QJsonObject eventObject(const QString& event, const QJsonObject& properties, const QString& install,
                        qint64 unixSeconds)
{
    QJsonObject object{
        {QStringLiteral("app"), QStringLiteral("Zumo")},
        {QStringLiteral("event"), event},
        {QStringLiteral("install"), install},
        {QStringLiteral("version"), runningVersion()},
        {QStringLiteral("os"), osDisplayName()},
        {QStringLiteral("ts"), unixSeconds},
    };
    for (auto it = properties.begin(); it != properties.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

HttpRequest eventRequest(const QUrl& endpoint, const QJsonObject& event, double timeoutSec)
{
    HttpRequest request;
    request.method = "POST";
    request.url = endpoint;
    // Without one the HTTP layer would send its own default, which names a browser.
    request.headers = {{"Content-Type", "application/json"}, {"User-Agent", vendorUserAgent()}};
    request.body = QJsonDocument(event).toJson(QJsonDocument::Compact);
    request.idleTimeoutSec = timeoutSec;
    request.deadlineSec = 3 * timeoutSec;
    request.maxBodyBytes = 0;
    return request;
}

EventSender::EventSender(HttpClient& http, SettingsStore& store, const Clock& clock, QUrl endpoint)
    : m_http(http), m_store(store), m_clock(clock), m_endpoint(std::move(endpoint))
{
}

bool EventSender::sendingAllowed() const
{
    return consentGiven(m_store) && !remoteConfig().telemetryPaused && m_endpoint.isValid()
        && !m_endpoint.isEmpty();
}

namespace {

std::atomic<bool> g_hurried{false};

} // namespace

void hurryQuit(bool hurried)
{
    g_hurried = hurried;
}

double quitWaitSec()
{
    return g_hurried ? HurriedQuitWaitSec : QuitWaitSec;
}

void EventSender::sendEvent(const QString& event, const QJsonObject& properties, bool wait,
                            std::function<void()> delivered)
{
    if (!sendingAllowed())
        return;
    const qint64 now = m_clock.now().toSecsSinceEpoch();
    HttpRequest request = eventRequest(m_endpoint, eventObject(event, properties, installIdentifier(m_store), now),
                                       remoteConfig().networkTimeoutSec);
    const auto accepted = [](const HttpResponse& r) { return r.answered() && r.status >= 200 && r.status <= 299; };
    if (!wait) {
        m_http.send(std::move(request), [accepted, delivered = std::move(delivered)](const HttpResponse& r) {
            if (accepted(r) && delivered)
                delivered();
        });
        return;
    }
    const auto response = m_http.sendAndWait(std::move(request), quitWaitSec());
    if (response && accepted(*response) && delivered)
        delivered();
}

} // namespace zumo
