// The exit handler that saves the settings and drains the log when exit() skips the destructors.
#include "app/ExitSave.h"

#include <QString>
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
bool g_toldLoss = false;

void saveAtExit()
{
    if (!g_store)
        return;  // a normal quit has saved everything already
    // One round trip tells a broken connection from an exit for another reason.
    if (g_x)
        std::free(xcb_get_input_focus_reply(g_x, xcb_get_input_focus(g_x), nullptr));
    const bool lost = g_x && xcb_connection_has_error(g_x);
    if (lost)
        tellServerLost();
    saveForExit();
    // Qt calls exit() with its own threads (the network's among them) still running; the static
    // destructors left to run would pull their data from under them. Everything is saved.
    if (lost) {
        std::fflush(nullptr);
        std::_Exit(1);
    }
}

} // namespace

void saveForExit()
{
    if (g_store)
        g_store->flush();
    if (g_log)
        g_log->drain();
}

void armExitSave(SettingsStore& store, EventLog* log, xcb_connection_t* x)
{
    static const bool registered = std::atexit(saveAtExit) == 0;
    (void)registered;
    g_store = &store;
    g_log = log;
    g_x = x;
}

void disarmExitSave()
{
    g_store = nullptr;
    g_log = nullptr;
    g_x = nullptr;
}

void tellServerLost()
{
    if (!std::exchange(g_toldLoss, true))
        appLog(QStringLiteral("lost the connection to the X server; Zumo saves its settings and quits"));
}

} // namespace zumo
