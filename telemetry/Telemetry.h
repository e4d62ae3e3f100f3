// The usage events the shell sends at named moments: "launch" once the launch facts are in,
// "ping" at each ping, "quit" at termination (waiting at most two seconds), each followed by
// the log upload the moment asks for.
#pragma once

#include "telemetry/EventPayload.h"
#include "telemetry/EventSender.h"
#include "telemetry/LogUploader.h"

namespace zumo {

class Dispatcher;

class Telemetry {
public:
    Telemetry(Dispatcher& dispatcher, EventPayload& payload, EventSender& sender, LogUploader& uploader);
    ~Telemetry();

    // Gathers the launch facts on a utility worker; back on the main thread stores them, sends
    // "launch" with the payload, then uploads the logs (not forced). Once per launch.
    void launch();
    // "ping" with the payload, then the logs (not forced).
    void ping();
    // "quit" with the payload, waiting for it to leave (at most two seconds), then the forced
    // upload. Main thread, at termination.
    void quit();

private:
    Dispatcher& m_dispatcher;
    EventPayload& m_payload;
    EventSender& m_sender;
    LogUploader& m_uploader;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace zumo
