// Saving on the way out when the process ends without unwinding: Qt calls exit(1) when its X
// connection breaks, and then no destructor runs to save the settings or finish the log.
#pragma once

#include <xcb/xcb.h>

namespace zumo {

class EventLog;
class SettingsStore;

// Until disarmExitSave(), an exit() saves the store and drains the log; when the X connection x
// turns out broken, it first logs that the server is gone and afterwards ends the process at
// once, without the static destructors. Main thread.
void armExitSave(SettingsStore& store, EventLog* log, xcb_connection_t* x);
void disarmExitSave();
// Saves the store and drains the log now, as the exit handler would; nothing once disarmed.
void saveForExit();
// Logs, once, that the X server is gone and Zumo saves its settings and quits.
void tellServerLost();

} // namespace zumo
