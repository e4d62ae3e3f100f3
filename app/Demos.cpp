// "--telemetry-demo" prints the event payload; "--remote-config-demo" fetches and prints the
// remote configuration. Neither starts the switcher, and neither sends anything else.
#include "app/Demos.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <cstdio>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

#include "platform/Clock.h"
#include "platform/VendorService.h"
#include "desktop/qt/QtDispatcher.h"
#include "desktop/qt/ProcessHttpClient.h"
#include "desktop/x11/X11KeyboardHook.h"
#include "remote/RemoteConfig.h"
#include "remote/RemoteConfigService.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "telemetry/EventPayload.h"

namespace zumo {
namespace {

bool hasFlag(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0)
            return true;
    }
    return false;
}

// Screens are part of the profile; without a reachable display the profile says "?" for them.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv)
{
    xcb_connection_t* c = qEnvironmentVariableIsEmpty("DISPLAY") ? nullptr : xcb_connect(nullptr, nullptr);
    const bool display = c && !xcb_connection_has_error(c);
    if (c)
        xcb_disconnect(c);
    if (!display)
        return std::make_unique<QCoreApplication>(argc, argv);
    qputenv("QT_QPA_PLATFORM", "xcb");
    return std::make_unique<QGuiApplication>(argc, argv);
}

int telemetryDemo(int argc, char** argv)
{
    auto app = makeApplication(argc, argv);
    SystemClock clock;
    SettingsStore store(SettingsStore::defaultPath(QStringLiteral("com.zumo.app")));
    Settings settings(store);
    Counters counters(store, clock);
    // The live layout comes from the keyboard hook's keymap, as in the running application.
    QtDispatcher dispatcher;
    X11KeyboardHook hook(dispatcher);
    SessionFacts session;
    if (qobject_cast<QGuiApplication*>(app.get()) && hook.create([](const KeyEvent&) { return true; }))
        session.keyboardLayout = [&hook] { return hook.activeLayout(); };
    EventPayload payload(settings, counters, clock, std::move(session));
    payload.setLaunchFacts(gatherLaunchFacts());
    const QJsonObject snapshot = payload.eventPayload();
    const QByteArray text = telemetryDemoText(snapshot);
    if (text.isEmpty() || QJsonDocument::fromJson(text).isNull()) {
        std::puts("snapshot is not valid JSON");
        return 1;
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
    return 0;
}

int remoteConfigDemo(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ProcessHttpClient http(HelperProgram::beside(), vendorCaPath());
    fetchRemoteConfig(http, [] {
        const QByteArray text = remoteConfigDemoText(remoteConfig()).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return app.exec();
}

} // namespace

int runDemoIfAsked(int argc, char** argv)
{
    if (hasFlag(argc, argv, "--telemetry-demo"))
        return telemetryDemo(argc, argv);
    if (hasFlag(argc, argv, "--remote-config-demo"))
        return remoteConfigDemo(argc, argv);
    return -1;
}

} // namespace zumo
