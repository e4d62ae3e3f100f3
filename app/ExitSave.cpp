// Saving when the destructors will not run: an exit() from anywhere, and the end for a lost X server.
#include "app/ExitSave.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/Log.h"
#include "settings/SettingsStore.h"
#include "telemetry/EventLog.h"

namespace zumo {
namespace {

SettingsStore* g_store = nullptr;
EventLog* g_log = nullptr;
xcb_connection_t* g_x = nullptr;
xcb_connection_t* g_qtX = nullptr;
QtMessageHandler g_previousHandler = nullptr;  // null: Qt's default
bool g_handlingMessages = false;
bool g_ending = false;  // a warning while saving must not start the ending over

void saveForExit()
{
    if (g_store)
        g_store->flush();
    if (g_log)
        g_log->drain();
}

bool onMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Qt warns, then calls exit() at once, when its own X connection breaks. The exit handlers
// registered after ours (Qt's own among them) would run first, while Qt's threads still work,
// and crash; so the warning is where this process ends when that connection is the first to know.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    if (g_store && !g_ending && g_qtX && xcb_connection_has_error(g_qtX) && onMainThread())
        endForLostServer();
}

void saveAtExit()
{
    if (!g_store)
        return;  // a normal quit has saved everything already
    // One round trip tells a broken connection from an exit for another reason.
    if (g_x)
        std::free(xcb_get_input_focus_reply(g_x, xcb_get_input_focus(g_x), nullptr));
    if (g_x && xcb_connection_has_error(g_x))
        endForLostServer();
    saveForExit();
}

xcb_connection_t* qtConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

void armExitSave(SettingsStore& store, EventLog* log, xcb_connection_t* x)
{
    static const bool registered = std::atexit(saveAtExit) == 0;
    (void)registered;
    g_store = &store;
    g_log = log;
    g_x = x;
    g_qtX = qtConnection();
    if (!std::exchange(g_handlingMessages, true))
        g_previousHandler = qInstallMessageHandler(onQtMessage);
}

void disarmExitSave()
{
    g_store = nullptr;
    g_log = nullptr;
    g_x = nullptr;
    g_qtX = nullptr;
    if (std::exchange(g_handlingMessages, false))
        qInstallMessageHandler(g_previousHandler);
}

void endForLostServer()
{
    g_ending = true;
    appLog(QStringLiteral("lost the connection to the X server; Zumo saves its settings and quits"));
    saveForExit();
    // Nothing of a normal shutdown can reach the display any more, and Qt's threads (the
    // network's among them) outlive exit(): the static destructors would pull their data from
    // under them. Everything is saved, so end here.
    std::fflush(nullptr);
    std::_Exit(1);
}

} // namespace zumo
