// Following NetworkManager's reports into three word-sized values any thread may read. Read
// over D-Bus, which Zumo already speaks: Qt's network-information plugins would load Qt Network
// and GIO into the process.
#include "telemetry/NetworkMonitor.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>
#include <atomic>

namespace zumo {
namespace {

const QString Service = QStringLiteral("org.freedesktop.NetworkManager");
const QString Path = QStringLiteral("/org/freedesktop/NetworkManager");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
// NetworkManager's NM_STATE_CONNECTED_GLOBAL, NM_METERED_YES and NM_METERED_GUESS_YES.
constexpr uint ConnectedGlobal = 70;
constexpr uint MeteredYes = 1;
constexpr uint MeteredGuessYes = 3;
// NetworkManager answers at once; a hung one must not hold up the main thread for long.
constexpr int CallTimeoutMs = 500;

enum KindIndex : int { KindUnknown, KindWifi, KindEthernet, KindCellular, KindOther, KindNone };

std::atomic<int> g_kind{KindUnknown};
std::atomic<bool> g_expensive{false};
// What the kind is made of; main thread only.
Medium g_medium = Medium::Unknown;
bool g_online = false;

Medium mediumOf(const QString& connectionType)
{
    if (connectionType == QLatin1String("802-11-wireless"))
        return Medium::WiFi;
    if (connectionType == QLatin1String("802-3-ethernet"))
        return Medium::Ethernet;
    if (connectionType == QLatin1String("gsm") || connectionType == QLatin1String("cdma"))
        return Medium::Cellular;
    return connectionType.isEmpty() ? Medium::Unknown : Medium::Other;
}

// Takes the properties a report names, keeps the others.
void update(const QVariantMap& changed)
{
    if (auto it = changed.find(QStringLiteral("PrimaryConnectionType")); it != changed.end())
        g_medium = mediumOf(it->toString());
    if (auto it = changed.find(QStringLiteral("State")); it != changed.end())
        g_online = it->toUInt() == ConnectedGlobal;
    if (auto it = changed.find(QStringLiteral("Metered")); it != changed.end())
        g_expensive = it->toUInt() == MeteredYes || it->toUInt() == MeteredGuessYes;
    const QString kind = networkKind(g_medium, g_online);
    const char* const names[] = {"unknown", "wifi", "ethernet", "cellular", "other", "none"};
    for (int i = 0; i < 6; ++i) {
        if (kind == QLatin1String(names[i]))
            g_kind = i;
    }
}

class Reports : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == Service)
            update(changed);
    }
};

} // namespace

QString networkKind(Medium medium, bool online)
{
    switch (medium) {
    case Medium::WiFi: return QStringLiteral("wifi");
    case Medium::Ethernet: return QStringLiteral("ethernet");
    case Medium::Cellular: return QStringLiteral("cellular");
    default: return online ? QStringLiteral("other") : QStringLiteral("none");
    }
}

bool startNetworkMonitor()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    static Reports reports;
    bus.connect(Service, Path, Properties, QStringLiteral("PropertiesChanged"), &reports,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    QDBusMessage getAll = QDBusMessage::createMethodCall(Service, Path, Properties, QStringLiteral("GetAll"));
    getAll << Service;
    const QDBusMessage reply = bus.call(getAll, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    update(qdbus_cast<QVariantMap>(reply.arguments().constFirst()));
    return true;
}

namespace {

// The system bus is joined when the facts are first asked for: with no usage events and no
// update waiting on a metered network, never.
void startOnFirstUse()
{
    static std::atomic<bool> asked{false};
    if (asked.exchange(true))
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread())
        startNetworkMonitor();
    else  // this answer stays "unknown"; later ones have the reports
        QMetaObject::invokeMethod(app, [] { startNetworkMonitor(); }, Qt::QueuedConnection);
}

} // namespace

NetworkFacts currentNetwork()
{
    startOnFirstUse();
    static const QString names[] = {QStringLiteral("unknown"), QStringLiteral("wifi"), QStringLiteral("ethernet"),
                                    QStringLiteral("cellular"), QStringLiteral("other"), QStringLiteral("none")};
    // Linux reports no low-data mode: "constrained" stays false.
    return NetworkFacts{names[g_kind.load()], g_expensive.load(), false};
}

} // namespace zumo

#include "NetworkMonitor.moc"
