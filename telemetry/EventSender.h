// Usage events: the consent and pause gates, the envelope every event carries, and the one
// POST that delivers it. No queue, no retry: an event that cannot be delivered is lost.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <functional>

namespace zumo {

class Clock;
class HttpClient;
class SettingsStore;
struct HttpRequest;

inline constexpr double QuitWaitSec = 2.0;
// A session that ends (SIGTERM at logout or shutdown) gives a process about a second: the waits
// at quit (the "quit" event, the last log upload) then take this long at most each.
inline constexpr double HurriedQuitWaitSec = 0.3;

// Switches the waits at quit to HurriedQuitWaitSec (or back). Any thread.
void hurryQuit(bool hurried = true);
// QuitWaitSec, or HurriedQuitWaitSec once hurryQuit() was called.
double quitWaitSec();

// "installID": an upper-case hyphenated UUID, created and stored the first time it is asked for.
QString installIdentifier(SettingsStore& store);
// The user agreed to data collection: "consentVersion" is a number of 1 or more.
bool consentGiven(const SettingsStore& store);
// The operating system as it names itself for display, e.g. "Debian GNU/Linux 12 (bookworm)".
QString osDisplayName();

// The envelope with the properties copied over it (a property replaces an envelope entry of
// the same name).
QJsonObject eventObject(const QString& event, const QJsonObject& properties, const QString& install,
                        qint64 unixSeconds);
// The POST of one event: JSON body, the given time-out, a deadline of three time-outs, and no
// body read from the answer (its status is all that counts).
HttpRequest eventRequest(const QUrl& endpoint, const QJsonObject& event, double timeoutSec);

class EventSender {
public:
    // endpoint: where events go; an empty or invalid one disables sending.
    EventSender(HttpClient& http, SettingsStore& store, const Clock& clock, QUrl endpoint);

    // Sends one event unless consent is missing, telemetry is paused or there is no endpoint
    // (then nothing happens, and delivered is not called). delivered runs when the service
    // answered 200-299: on the main thread, or with wait on the calling thread. With wait,
    // returns once the answer came or after quitWaitSec(), whichever is first. Any thread.
    void sendEvent(const QString& event, const QJsonObject& properties, bool wait = false,
                   std::function<void()> delivered = {});
    // The gates of sendEvent, for callers that want to skip work whose only use is an event.
    bool sendingAllowed() const;

private:
    HttpClient& m_http;
    SettingsStore& m_store;
    const Clock& m_clock;
    QUrl m_endpoint;
};

} // namespace zumo
