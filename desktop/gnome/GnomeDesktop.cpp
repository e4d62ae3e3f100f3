// Builds the GNOME Shell bundle and tells the user once what the extension needs.
#include "desktop/gnome/GnomeDesktop.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <cstdio>

#include "desktop/gnome/GnomeSetup.h"
#include "platform/Log.h"

namespace zumo {

using namespace gnome;

namespace {

QVariantMap extensionInfo(QDBusConnection bus)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                                       QStringLiteral("org.gnome.Shell.Extensions"),
                                                       QStringLiteral("GetExtensionInfo"));
    call.setArguments({QString::fromLatin1(ExtensionUuid)});
    const QDBusReply<QVariantMap> reply = bus.call(call, QDBus::Block, 2000);
    return reply.isValid() ? reply.value() : QVariantMap();
}

// On standard error, in the log and as a desktop notification: GNOME shows no tray icons, and
// a Zumo started from the applications menu has no terminal.
void tell(QDBusConnection bus, const QString& sentence)
{
    appLog(sentence);
    std::fprintf(stderr, "zumo: %s\n", qPrintable(sentence));
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify.setArguments({QStringLiteral("Zumo"), 0u, QStringLiteral("zumo"), QStringLiteral("Zumo needs its GNOME Shell extension"),
                         sentence, QStringList(), QVariantMap(), -1});
    bus.asyncCall(notify);
}

} // namespace

std::unique_ptr<GnomeDesktop> GnomeDesktop::open(const Settings& settings, QString& error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = QStringLiteral("no session D-Bus, through which Zumo talks to its GNOME Shell extension");
        return nullptr;
    }
    auto desktop = std::make_unique<GnomeDesktop>();
    GnomeDesktop& d = *desktop;
    d.bridge = std::make_unique<ShellBridge>(bus);
    d.toplevels = std::make_unique<ShellWindows>(*d.bridge);
    d.windows = std::make_unique<wayland::WaylandWindows>(*d.toplevels);
    d.accessibility = std::make_unique<GnomeAccessibility>(*d.windows, *d.toplevels);
    d.windowServer = std::make_unique<GnomeWindowServer>(*d.windows, *d.bridge);
    d.hook = std::make_unique<GnomeKeyboardHook>(*d.bridge);
    d.screens = std::make_unique<GnomeScreens>(*d.toplevels, *d.hook);
    d.panels = std::make_unique<GnomePanels>(settings, *d.bridge, [hook = d.hook.get()] { hook->panelsHidden(); });
    if (!d.bridge->present())
        if (const QString problem = extensionProblem(extensionInfo(bus)); !problem.isEmpty())
            tell(bus, problem);
    d.presence = d.bridge->presence.subscribe([](bool present) {
        appLog(present ? QStringLiteral("Zumo's GNOME Shell extension answers")
                       : QStringLiteral("Zumo's GNOME Shell extension went away (turned off, or the Shell restarts)"));
    });
    return desktop;
}

void GnomeDesktop::sync()
{
    toplevels->sync();
}

void GnomeDesktop::whenAnswering(std::function<void()> ready)
{
    if (bridge->present())
        return ready();
    answering = bridge->presence.subscribe([this, ready = std::move(ready)](bool present) {
        if (!present)
            return;
        // Not from inside the notifier's call: the subscription is dropped once done.
        ready();
        QMetaObject::invokeMethod(bridge.get(), [this] { answering = {}; }, Qt::QueuedConnection);
    });
}

} // namespace zumo
