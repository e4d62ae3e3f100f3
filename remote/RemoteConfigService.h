// Fetching the remote configuration, the one-time announcement it may carry, and the ping
// chain it drives: each fetch that completes schedules the next ping, and each ping ends with
// a fetch. Main thread.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Dispatch.h"
#include "platform/HttpClient.h"
#include "platform/Listeners.h"

namespace zumo {

class SettingsStore;

struct Announcement {
    QString id;
    QString text;
};

// The request for the configuration document with the given time-out: GET, no cache, the
// User-Agent of the program, a 1 MiB body cap and an overall deadline of three time-outs.
HttpRequest remoteConfigRequest(double timeoutSec);
// The document in an answer: only a status of exactly 200 with a body that is a JSON object.
std::optional<QJsonObject> remoteConfigDocument(const HttpResponse& response);

// Sends the request, applies the answer to the process-wide configuration (a failed fetch
// changes nothing) and then calls completion exactly once, on the main thread.
void fetchRemoteConfig(HttpClient& http, std::function<void()> completion);

class RemoteConfigService {
public:
    RemoteConfigService(HttpClient& http, Dispatcher& dispatcher, SettingsStore& store);
    ~RemoteConfigService();  // cancels the ping timer; answers arriving later are ignored
    RemoteConfigService(const RemoteConfigService&) = delete;
    RemoteConfigService& operator=(const RemoteConfigService&) = delete;

    // Starts the chain: a fetch whose completion is configApplied(). Called once at launch.
    void start();
    // After every fetch started by the program: tells listeners (the Settings window reloads),
    // makes a new announcement pending, and arms the one-shot ping timer "pingMinutes" ahead.
    void configApplied();
    // The ping: tells the listeners (the "ping" event, the log upload and the automatic update
    // check subscribe, in that order), then fetches again, which schedules the next ping.
    void pingTick();

    // The announcement waiting to be shown, if any; taking it stores its id under
    // "lastAnnounceId", so the same id is never shown again.
    const std::optional<Announcement>& pendingAnnouncement() const { return m_pending; }
    std::optional<Announcement> takePendingAnnouncement();

    Notifier<> applied;  // after each configApplied(), before the next ping is armed
    Notifier<> pinged;   // at each ping, before the fetch

    bool pingScheduled() const { return m_pingTimer != 0; }

private:
    HttpClient& m_http;
    Dispatcher& m_dispatcher;
    SettingsStore& m_store;
    Dispatcher::TimerId m_pingTimer = 0;
    std::optional<Announcement> m_pending;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace zumo
