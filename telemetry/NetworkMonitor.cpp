// Following QNetworkInformation's reports into three word-sized values any thread may read.
#include "telemetry/NetworkMonitor.h"

#include <QCoreApplication>
#include <QNetworkInformation>
#include <QThread>
#include <atomic>

namespace zumo {
namespace {

enum KindIndex : int { KindUnknown, KindWifi, KindEthernet, KindCellular, KindOther, KindNone };

std::atomic<int> g_kind{KindUnknown};
std::atomic<bool> g_expensive{false};

void update(const QNetworkInformation& info)
{
    Medium medium = Medium::Other;
    switch (info.transportMedium()) {
    case QNetworkInformation::TransportMedium::Ethernet: medium = Medium::Ethernet; break;
    case QNetworkInformation::TransportMedium::Cellular: medium = Medium::Cellular; break;
    case QNetworkInformation::TransportMedium::WiFi: medium = Medium::WiFi; break;
    case QNetworkInformation::TransportMedium::Unknown: medium = Medium::Unknown; break;
    default: break;
    }
    const QString kind = networkKind(medium, info.reachability() == QNetworkInformation::Reachability::Online);
    const char* const names[] = {"unknown", "wifi", "ethernet", "cellular", "other", "none"};
    for (int i = 0; i < 6; ++i) {
        if (kind == QLatin1String(names[i]))
            g_kind = i;
    }
    g_expensive = info.isMetered();
}

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
    if (!QNetworkInformation::loadDefaultBackend())
        return false;
    QNetworkInformation* info = QNetworkInformation::instance();
    if (!info)
        return false;
    const auto refresh = [info] { update(*info); };
    QObject::connect(info, &QNetworkInformation::reachabilityChanged, info, refresh);
    QObject::connect(info, &QNetworkInformation::transportMediumChanged, info, refresh);
    QObject::connect(info, &QNetworkInformation::isMeteredChanged, info, refresh);
    refresh();
    return true;
}

namespace {

// Qt loads every network-information plugin to find one (GLib's pulls in GIO, about 1.3 MB), so
// the monitor starts when the facts are first asked for: with no usage events and no update
// waiting on a metered network, never.
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
