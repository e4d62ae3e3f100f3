// sway's IPC: one subscription to binding events, read as they come.
#include "desktop/wayland/SwayBindings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include "control/LocalConnect.h"
#include "desktop/wayland/WaylandKeys.h"
#include "platform/KeyCodes.h"
#include "platform/Log.h"

namespace zumo::wayland {

namespace {

// A message: the magic, the payload's length and the message type (native byte order), the payload.
constexpr char Magic[] = "i3-ipc";
constexpr qsizetype MagicSize = 6;
constexpr qsizetype HeaderSize = MagicSize + 8;
constexpr std::uint32_t Subscribe = 2;
constexpr std::uint32_t GetVersion = 7;  // the cheapest request: its answer only marks a point in the stream
constexpr std::uint32_t BindingEvent = 0x80000005;
// A binding event is small; anything larger means the stream is not what it should be.
constexpr std::uint32_t MaxPayload = 1 << 20;
// sway answers at once; a hung one must not hold up the start for long.
constexpr int ConnectTimeoutMs = 1000;

QByteArray message(std::uint32_t type, const QByteArray& payload)
{
    const auto size = std::uint32_t(payload.size());
    QByteArray m(Magic, MagicSize);
    m.append(reinterpret_cast<const char*>(&size), 4);
    m.append(reinterpret_cast<const char*>(&type), 4);
    return m + payload;
}

} // namespace

std::optional<SwayTrigger> bindingTrigger(const QByteArray& payload)
{
    const QJsonObject binding = QJsonDocument::fromJson(payload).object().value(QStringLiteral("binding")).toObject();
    const QString command = binding.value(QStringLiteral("command")).toString().simplified();
    SwayTrigger trigger;
    if (command == QLatin1String("nop zumo prev"))
        trigger.reverse = true;
    else if (command != QLatin1String("nop zumo next"))
        return std::nullopt;
    // sway names the key as the binding was written and the modifiers as xkb does.
    const QByteArray symbol = binding.value(QStringLiteral("symbol")).toString().toLatin1();
    const xkb_keysym_t keysym = symbol.isEmpty() ? XKB_KEY_NoSymbol : xkb_keysym_from_name(symbol.constData(), XKB_KEYSYM_NO_FLAGS);
    const std::int64_t key = keysym == XKB_KEY_NoSymbol ? 0 : keyCodeFor(keysym, 0);
    trigger.keys.key = key < OtherKeyBase ? key : 0;
    for (const QJsonValue modifier : binding.value(QStringLiteral("event_state_mask")).toArray()) {
        if (modifier.toString() == QLatin1String("Mod1"))
            trigger.keys.mask |= keys::Option;
        else if (modifier.toString() == QLatin1String("Ctrl"))
            trigger.keys.mask |= keys::Control;
    }
    return trigger;
}

SwayBindings::SwayBindings(std::function<void(const SwayTrigger&)> trigger) : m_trigger(std::move(trigger))
{
    const QString path = qEnvironmentVariable("SWAYSOCK");
    if (path.isEmpty())
        return;
    QString error;
    m_socket = connectLocalSocket(path, QDeadlineTimer(ConnectTimeoutMs), &error);
    const QByteArray subscribe = message(Subscribe, R"(["binding"])");
    // A fresh socket has room for these few bytes: the send never waits.
    if (m_socket < 0 || ::send(m_socket, subscribe.constData(), size_t(subscribe.size()), MSG_NOSIGNAL) != subscribe.size()) {
        appLog(QStringLiteral("sway's IPC socket does not answer (%1); only \"exec zumo-trigger next\" bindings work")
                   .arg(error.isEmpty() ? QString::fromLocal8Bit(std::strerror(errno)) : error));
        close();
        return;
    }
    m_readable = std::make_unique<QSocketNotifier>(qintptr(m_socket), QSocketNotifier::Read);
    QObject::connect(m_readable.get(), &QSocketNotifier::activated, [this] { read(); });
}

SwayBindings::~SwayBindings()
{
    m_waiting.clear();  // whoever waits goes with this
    close();
}

bool SwayBindings::connected() const
{
    return m_socket >= 0;
}

void SwayBindings::afterBindings(std::function<void()> done)
{
    const QByteArray request = message(GetVersion, {});
    if (m_socket < 0 || ::send(m_socket, request.constData(), size_t(request.size()), MSG_NOSIGNAL | MSG_DONTWAIT) != request.size()) {
        done();
        return;
    }
    m_waiting.push_back(std::move(done));
}

void SwayBindings::close()
{
    if (m_readable) {  // may be emitting now
        m_readable->setEnabled(false);
        m_readable.release()->deleteLater();
    }
    if (m_socket >= 0)
        ::close(std::exchange(m_socket, -1));
    m_buffer.clear();
    // No answer will come: nothing waits for one.
    for (auto& done : std::exchange(m_waiting, {}))
        done();
}

void SwayBindings::read()
{
    char chunk[4096];
    const ssize_t n = ::recv(m_socket, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {  // sway has gone
        close();
        return;
    }
    m_buffer.append(chunk, n);
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
            close();
            return;
        }
        if (m_buffer.size() < HeaderSize + qsizetype(size))
            return;
        const QByteArray payload = m_buffer.mid(HeaderSize, size);
        m_buffer.remove(0, HeaderSize + size);
        if (type == GetVersion && !m_waiting.empty()) {
            const std::function<void()> done = std::move(m_waiting.front());
            m_waiting.pop_front();
            done();
            continue;
        }
        if (type != BindingEvent)
            continue;
        if (const std::optional<SwayTrigger> trigger = bindingTrigger(payload))
            m_trigger(*trigger);
    }
}

} // namespace zumo::wayland
