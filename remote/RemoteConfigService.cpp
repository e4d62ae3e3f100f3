// The configuration fetch, the announcement rule and the ping timer chain.
#include "remote/RemoteConfigService.h"

#include <QJsonDocument>

#include "platform/VendorService.h"
#include "remote/RemoteConfig.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

const QString LastAnnounceKey = QStringLiteral("lastAnnounceId");

} // namespace

HttpRequest remoteConfigRequest(double timeoutSec)
{
    HttpRequest request;
    request.url = remoteConfigUrl();
    request.headers = {{"User-Agent", vendorUserAgent()}};
    request.ignoreCache = true;
    request.idleTimeoutSec = timeoutSec;
    // A server dripping a byte now and then must not keep the chain waiting indefinitely.
    request.deadlineSec = 3 * timeoutSec;
    request.maxBodyBytes = OneMiB;
    return request;
}

std::optional<QJsonObject> remoteConfigDocument(const HttpResponse& response)
{
    if (!response.answered() || response.status != 200)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(response.body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

RemoteConfigService::RemoteConfigService(HttpClient& http, Dispatcher& dispatcher, SettingsStore& store)
    : m_http(http), m_dispatcher(dispatcher), m_store(store)
{
}

RemoteConfigService::~RemoteConfigService()
{
    *m_alive = false;
    if (m_pingTimer)
        m_dispatcher.cancel(m_pingTimer);
}

void fetchRemoteConfig(HttpClient& http, std::function<void()> completion)
{
    http.send(remoteConfigRequest(remoteConfig().networkTimeoutSec),
                [completion = std::move(completion)](const HttpResponse& response) {
                    if (auto doc = remoteConfigDocument(response)) {
                        // Applied to a copy and swapped in whole: readers never see half a document.
                        RemoteConfig config = remoteConfig();
                        applyRemoteConfig(config, *doc);
                        setRemoteConfig(config);
                    }
                    if (completion)
                        completion();
                });
}

void RemoteConfigService::start()
{
    std::weak_ptr<bool> alive = m_alive;
    fetchRemoteConfig(m_http, [this, alive] {
        if (auto a = alive.lock(); a && *a)
            configApplied();
    });
}

void RemoteConfigService::configApplied()
{
    applied.notify();
    const RemoteConfig config = remoteConfig();
    const QJsonValue last = m_store.value(LastAnnounceKey);
    if (!config.announceId.isEmpty() && !config.announceText.isEmpty()
        && !(last.isString() && last.toString() == config.announceId))
        m_pending = Announcement{config.announceId, config.announceText};
    if (m_pingTimer)
        m_dispatcher.cancel(m_pingTimer);
    std::weak_ptr<bool> alive = m_alive;
    m_pingTimer = m_dispatcher.after(config.pingMinutes * 60.0, [this, alive] {
        if (auto a = alive.lock(); a && *a) {
            m_pingTimer = 0;
            pingTick();
        }
    });
}

void RemoteConfigService::pingTick()
{
    pinged.notify();
    start();
}

std::optional<Announcement> RemoteConfigService::takePendingAnnouncement()
{
    auto taken = std::exchange(m_pending, std::nullopt);
    if (taken)
        m_store.setValue(LastAnnounceKey, taken->id);
    return taken;
}

} // namespace zumo
