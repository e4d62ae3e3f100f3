// Saving on the way out when the process ends without unwinding: Qt calls exit(1) when its X
// connection breaks, and then no destructor runs to save the settings or finish the log.
#pragma once

#include <xcb/xcb.h>

namespace zumo {

class EventLog;
class SettingsStore;

// Until disarmExitSave(), an exit() saves the store and drains the log, and a broken X
// connection (x, or Qt's own, which Qt reports with a warning before its exit()) ends the
// process through endForLostServer(). Main thread.
void armExitSave(SettingsStore& store, EventLog* log, xcb_connection_t* x);
void disarmExitSave();
// Logs that the X server is gone and Zumo saves its settings and quits, saves the store,
// drains the log and ends the process with status 1 at once, without the destructors.
[[noreturn]] void endForLostServer();

} // namespace zumo
