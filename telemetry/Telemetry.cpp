// The events of the application's lifetime.
#include "telemetry/Telemetry.h"

#include "platform/Dispatch.h"

namespace zumo {

Telemetry::Telemetry(Dispatcher& dispatcher, EventPayload& payload, EventSender& sender, LogUploader& uploader)
    : m_dispatcher(dispatcher), m_payload(payload), m_sender(sender), m_uploader(uploader)
{
}

Telemetry::~Telemetry()
{
    *m_alive = false;
}

void Telemetry::launch()
{
    std::weak_ptr<bool> alive = m_alive;
    m_dispatcher.background(Quality::Utility, [this, alive] {
        QJsonObject facts = gatherLaunchFacts();
        m_dispatcher.post([this, alive, facts = std::move(facts)]() mutable {
            if (auto a = alive.lock(); !a || !*a)
                return;
            m_payload.setLaunchFacts(std::move(facts));
            // The session starts now even when no launch event is sent; the payload, which reads
            // the whole machine (and starts the network monitor), only for an event that goes.
            m_payload.startSessionClock();
            if (m_sender.sendingAllowed())
                m_sender.sendEvent(QStringLiteral("launch"), m_payload.eventPayload());
            m_uploader.uploadLogs(false);
        });
    });
}

void Telemetry::ping()
{
    // The payload reads the whole machine; not worth it for an event that would be dropped.
    if (m_sender.sendingAllowed())
        m_sender.sendEvent(QStringLiteral("ping"), m_payload.eventPayload());
    m_uploader.uploadLogs(false);
}

void Telemetry::quit()
{
    if (m_sender.sendingAllowed())
        m_sender.sendEvent(QStringLiteral("quit"), m_payload.eventPayload(), true);
    m_uploader.uploadLogs(true);
}

} // namespace zumo
