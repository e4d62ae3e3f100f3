// The extension's bus name watched, its signals connected, its methods called.
#include "desktop/gnome/ShellBridge.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>

namespace zumo::gnome {

namespace {

const QString Service = QStringLiteral("org.zumo.Shell");
const QString Path = QStringLiteral("/org/zumo/Shell");
const QString Interface = QStringLiteral("org.zumo.Shell1");
// A waited-for call that takes longer means the Shell hangs: Zumo goes on without the answer.
constexpr int WaitMs = 2000;

} // namespace

ShellBridge::ShellBridge(QDBusConnection connection) : m_connection(std::move(connection))
{
    m_watcher = std::make_unique<QDBusServiceWatcher>(
        Service, m_connection, QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration);
    connect(m_watcher.get(), &QDBusServiceWatcher::serviceRegistered, this, [this] { setPresent(true); });
    connect(m_watcher.get(), &QDBusServiceWatcher::serviceUnregistered, this, [this] { setPresent(false); });
    const struct {
        const char* name;
        const char* slot;
    } signalSlots[] = {
        {"WindowsChanged", SLOT(onWindowsChanged(QString))},  {"SwitchPressed", SLOT(onSwitchPressed(bool, int))},
        {"Key", SLOT(onKey(uint, uint, bool, uint))},         {"Modifiers", SLOT(onModifiers(uint))},
        {"GrabLost", SLOT(onGrabLost())},                     {"PanelPointer", SLOT(onPanelPointer(int, double, double))},
        {"GroupPressed", SLOT(onGroupPressed(bool, int))},
    };
    for (const auto& s : signalSlots)
        m_connection.connect(Service, Path, Interface, QLatin1String(s.name), this, s.slot);
    m_present = m_connection.isConnected() && m_connection.interface()->isServiceRegistered(Service).value();
}

ShellBridge::~ShellBridge() = default;

void ShellBridge::setPresent(bool present)
{
    if (present == m_present)
        return;
    m_present = present;
    presence.notify(present);
}

void ShellBridge::call(const QString& method, const QVariantList& arguments)
{
    if (!m_present)
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
    message.setArguments(arguments);
    m_connection.asyncCall(message);
}

QByteArray ShellBridge::windows()
{
    if (!m_present)
        return {};
    const QDBusReply<QString> reply = m_connection.call(
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetWindows")), QDBus::Block, WaitMs);
    return reply.isValid() ? reply.value().toUtf8() : QByteArray();
}

QByteArray ShellBridge::capture(std::uint32_t id) const
{
    QDBusMessage request = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Capture"));
    request.setArguments({uint(id)});
    const QDBusReply<QByteArray> reply = m_connection.call(request, QDBus::Block, WaitMs);
    return reply.isValid() ? reply.value() : QByteArray();
}

void ShellBridge::onWindowsChanged(const QString& state)
{
    windowsChanged.notify(state.toUtf8());
}

void ShellBridge::onSwitchPressed(bool reverse, int monitor)
{
    switchPressed.notify(reverse, monitor, false);
}

void ShellBridge::onGroupPressed(bool reverse, int monitor)
{
    switchPressed.notify(reverse, monitor, true);
}

void ShellBridge::onKey(uint keyval, uint keycode, bool pressed, uint state)
{
    key.notify(keyval, keycode, pressed, state);
}

void ShellBridge::onModifiers(uint state)
{
    modifiers.notify(state);
}

void ShellBridge::onGrabLost()
{
    grabLost.notify();
}

void ShellBridge::onPanelPointer(int kind, double x, double y)
{
    panelPointer.notify(kind, x, y);
}

} // namespace zumo::gnome
