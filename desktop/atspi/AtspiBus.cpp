// Connection to the accessibility bus and time-limited calls on it.
#include "desktop/atspi/AtspiBus.h"

#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDBusVariant>

#include "platform/Log.h"

namespace zumo::atspi {

namespace {

const QString kLauncher = QStringLiteral("org.a11y.Bus");
const QString kLauncherPath = QStringLiteral("/org/a11y/bus");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

int milliseconds(double seconds)
{
    return std::max(1, int(seconds * 1000));
}

// The overall limit of the calls the current thread makes (an entry build's tab search).
thread_local std::optional<QDeadlineTimer> t_limit;

bool noAnswer(const QDBusMessage& reply)
{
    const QString error = reply.errorName();
    return error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           error == QLatin1String("org.freedesktop.DBus.Error.Timeout");
}

} // namespace

QDBusConnection AtspiBus::session() const
{
    if (m_sessionAddress.isEmpty())
        return QDBusConnection::sessionBus();
    return QDBusConnection::connectToBus(m_sessionAddress, QStringLiteral("zumo-session ") + m_sessionAddress);
}

std::optional<bool> AtspiBus::status(const QString& name)
{
    QDBusConnection session = this->session();
    if (!session.isConnected())
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(kLauncher, kLauncherPath, kProperties, QStringLiteral("Get"));
    message.setArguments({QStringLiteral("org.a11y.Status"), name});
    const QDBusMessage reply = session.call(message, QDBus::Block, milliseconds(busTimeout));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant value = reply.arguments().first().value<QDBusVariant>().variant();
    return value.typeId() == QMetaType::Bool ? std::optional<bool>(value.toBool()) : std::nullopt;
}

bool AtspiBus::setStatus(const QString& name, bool value)
{
    QDBusConnection session = this->session();
    if (!session.isConnected())
        return false;
    QDBusMessage message = QDBusMessage::createMethodCall(kLauncher, kLauncherPath, kProperties, QStringLiteral("Set"));
    message.setArguments({QStringLiteral("org.a11y.Status"), name, QVariant::fromValue(QDBusVariant(value))});
    return session.call(message, QDBus::Block, milliseconds(busTimeout)).type() == QDBusMessage::ReplyMessage;
}

std::optional<QDBusConnection> AtspiBus::connection()
{
    std::lock_guard lock(m_mutex);
    if (m_connection && m_connection->isConnected())
        return m_connection;
    // A bus that went away (its launcher ended with the session) is looked for afresh.
    if (m_connection) {
        QDBusConnection::disconnectFromBus(m_connection->name());
        m_connection.reset();
    }
    if (m_failedAt && m_clock.nowSeconds() - *m_failedAt < retryAfter && m_clock.nowSeconds() >= *m_failedAt)
        return std::nullopt;
    QDBusConnection session = this->session();
    QString address;
    if (session.isConnected()) {
        QDBusMessage ask = QDBusMessage::createMethodCall(kLauncher, kLauncherPath, kLauncher, QStringLiteral("GetAddress"));
        QDBusMessage reply = session.call(ask, QDBus::Block, milliseconds(busTimeout));
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            address = reply.arguments().first().toString();
    }
    if (!address.isEmpty()) {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("zumo-accessibility ") + address);
        if (bus.isConnected()) {
            m_connection = bus;
            return m_connection;
        }
    }
    if (!m_failedAt)
        appLog(QStringLiteral("accessibility bus: not available, so no browser tabs are listed"));
    m_failedAt = m_clock.nowSeconds();
    return std::nullopt;
}

bool AtspiBus::isHung(const QString& service)
{
    std::lock_guard lock(m_mutex);
    auto it = m_hungUntil.find(service);
    if (it == m_hungUntil.end())
        return false;
    double now = m_clock.nowSeconds();
    // A clock that went back past the mark's start also ends it, rather than keeping it for ever.
    if (now < it->second && now >= it->second - m_hungFor)
        return true;
    m_hungUntil.erase(it);
    return false;
}

void AtspiBus::markHung(const QString& service)
{
    std::lock_guard lock(m_mutex);
    m_hungUntil[service] = m_clock.nowSeconds() + m_hungFor;
}

std::optional<QVariantList> AtspiBus::call(const ObjectRef& object, const QString& interface, const QString& method,
                                           const QVariantList& arguments, double timeout)
{
    if (isHung(object.service))
        return std::nullopt;
    const double left = t_limit ? double(t_limit->remainingTime()) / 1000.0 : timeout;
    if (left <= 0)
        return std::nullopt;
    const bool cut = left < timeout;
    std::optional<QDBusConnection> bus = connection();
    if (!bus)
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path, interface, method);
    message.setArguments(arguments);
    QDBusMessage reply = bus->call(message, QDBus::Block, milliseconds(cut ? left : timeout));
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply.arguments();
    if (noAnswer(reply) && !cut) {
        markHung(object.service);
        appLog(QStringLiteral("accessibility bus: %1 did not answer in time; left alone for %2 s")
                   .arg(object.service)
                   .arg(m_hungFor));
    }
    return std::nullopt;
}

void AtspiBus::limitThisThread(std::optional<double> seconds)
{
    if (seconds)
        t_limit = QDeadlineTimer(qint64(*seconds * 1000));
    else
        t_limit.reset();
}

std::optional<QVariant> AtspiBus::property(const ObjectRef& object, const QString& interface, const QString& name,
                                           double timeout)
{
    auto reply = call(object, kProperties, QStringLiteral("Get"), {interface, name}, timeout);
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return reply->first().value<QDBusVariant>().variant();
}

std::optional<Pid> AtspiBus::pidOf(const QString& service)
{
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_pids.find(service); it != m_pids.end())
            return it->second;
    }
    ObjectRef daemon{QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus")};
    auto reply = call(daemon, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"),
                      {service}, busTimeout);
    if (!reply || reply->isEmpty())
        return std::nullopt;
    auto pid = Pid(reply->first().toUInt());
    std::lock_guard lock(m_mutex);
    m_pids[service] = pid;
    return pid;
}

} // namespace zumo::atspi
