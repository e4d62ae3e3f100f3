// sway's IPC: one subscription to binding events, read as they come.
#include "desktop/wayland/SwayBindings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QtEndian>

#include "platform/Log.h"

namespace zumo::wayland {

namespace {

// A message: the magic, the payload's length and the message type (native byte order), the payload.
constexpr char Magic[] = "i3-ipc";
constexpr qsizetype MagicSize = 6;
constexpr qsizetype HeaderSize = MagicSize + 8;
constexpr std::uint32_t Subscribe = 2;
constexpr std::uint32_t BindingEvent = 0x80000005;
// A binding event is small; anything larger means the stream is not what it should be.
constexpr std::uint32_t MaxPayload = 1 << 20;

QByteArray message(std::uint32_t type, const QByteArray& payload)
{
    const auto size = std::uint32_t(payload.size());
    QByteArray m(Magic, MagicSize);
    m.append(reinterpret_cast<const char*>(&size), 4);
    m.append(reinterpret_cast<const char*>(&type), 4);
    return m + payload;
}

} // namespace

std::optional<bool> bindingTrigger(const QByteArray& payload)
{
    const QJsonObject event = QJsonDocument::fromJson(payload).object();
    const QString command = event.value(QStringLiteral("binding")).toObject().value(QStringLiteral("command")).toString().simplified();
    if (command == QLatin1String("nop zumo next"))
        return false;
    if (command == QLatin1String("nop zumo prev"))
        return true;
    return std::nullopt;
}

SwayBindings::SwayBindings(std::function<void(bool)> trigger) : m_trigger(std::move(trigger))
{
    const QString path = qEnvironmentVariable("SWAYSOCK");
    if (path.isEmpty())
        return;
    m_socket = std::make_unique<QLocalSocket>();
    m_socket->connectToServer(path);
    if (!m_socket->waitForConnected(1000)) {
        appLog(QStringLiteral("sway's IPC socket does not answer (%1); only \"exec zumo-trigger next\" bindings work")
                   .arg(m_socket->errorString()));
        m_socket.reset();
        return;
    }
    QObject::connect(m_socket.get(), &QLocalSocket::readyRead, [this] { read(); });
    m_socket->write(message(Subscribe, R"(["binding"])"));
    m_socket->flush();
}

SwayBindings::~SwayBindings() = default;

bool SwayBindings::connected() const
{
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

void SwayBindings::read()
{
    m_buffer += m_socket->readAll();
    while (m_buffer.size() >= HeaderSize) {
        // Native byte order, as sway writes it. GCC's sanitizer build sees a path through
        // QByteArray's shared empty buffer that the size check above rules out.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
        const auto size = qFromUnaligned<std::uint32_t>(m_buffer.constData() + MagicSize);
        const auto type = qFromUnaligned<std::uint32_t>(m_buffer.constData() + MagicSize + 4);
#pragma GCC diagnostic pop
        if (!m_buffer.startsWith(QByteArrayView(Magic, MagicSize)) || size > MaxPayload) {
            appLog(QStringLiteral("sway's IPC sent something unexpected; its binding events are no longer read"));
            m_socket->abort();
            m_buffer.clear();
            return;
        }
        if (m_buffer.size() < HeaderSize + qsizetype(size))
            return;
        const QByteArray payload = m_buffer.mid(HeaderSize, size);
        m_buffer.remove(0, HeaderSize + size);
        if (type != BindingEvent)
            continue;
        if (const std::optional<bool> reverse = bindingTrigger(payload))
            m_trigger(*reverse);
    }
}

} // namespace zumo::wayland
