// Loading and unloading the script over org.kde.KWin /Scripting.
#include "desktop/wayland/KWinScript.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>

#include "platform/Log.h"

namespace zumo::wayland {

namespace {

const QString KWinService = QStringLiteral("org.kde.KWin");
const QString PluginName = QStringLiteral("zumo");

QDBusMessage scripting(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(KWinService, QStringLiteral("/Scripting"),
                                                       QStringLiteral("org.kde.kwin.Scripting"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

} // namespace

bool kwinRunning()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(KWinService).value();
}

QString kwinScriptPath()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zumo/kwin/zumo-bridge.js");
    const QFileInfo file(path);
    return file.isFile() ? file.canonicalFilePath() : QString();
}

bool KWinScript::load(QString& error)
{
    const QString path = kwinScriptPath();
    if (path.isEmpty()) {
        error = QStringLiteral("Zumo's KWin script (share/zumo/kwin/zumo-bridge.js beside the program) is missing; "
                               "reinstall Zumo");
        return false;
    }
    scripting(QStringLiteral("unloadScript"), {PluginName});
    const QDBusMessage loaded = scripting(QStringLiteral("loadScript"), {path, PluginName});
    const int id = loaded.arguments().value(0).toInt();
    if (loaded.type() != QDBusMessage::ReplyMessage || id < 0) {
        error = QStringLiteral("KWin did not load Zumo's script %1: %2").arg(path, loaded.errorMessage());
        return false;
    }
    m_loaded = true;
    // Runs the scripts loaded and not yet running: ours. (A script's own object, which could run
    // it alone, has another path on 5.27 than on Plasma 6.)
    scripting(QStringLiteral("start"), {});
    appLog(QStringLiteral("loaded Zumo's window script into KWin (%1, script %2)").arg(path).arg(id));
    return true;
}

void KWinScript::unload()
{
    if (!std::exchange(m_loaded, false))
        return;
    scripting(QStringLiteral("unloadScript"), {PluginName});
    appLog(QStringLiteral("unloaded Zumo's window script from KWin"));
}

KWinScript::~KWinScript()
{
    unload();
}

} // namespace zumo::wayland
