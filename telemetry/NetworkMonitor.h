// The kind of network the machine is on, as last reported by the system: "unknown" and false
// until the first report, or for good where Qt has no network-information backend.
#pragma once

#include "telemetry/DeviceProfile.h"

namespace zumo {

// Reads NetworkManager's state over the system bus and follows its reports. Main thread, once;
// false when NetworkManager does not answer. currentNetwork() calls it.
bool startNetworkMonitor();
// The last report; the first call starts the monitor (on the main thread at once, from another
// thread soon after, that answer still "unknown"). Any thread.
NetworkFacts currentNetwork();

// The kind for a report: "wifi", "ethernet", "cellular", else "other" when online, else "none".
enum class Medium { Unknown, Ethernet, Cellular, WiFi, Other };
QString networkKind(Medium medium, bool online);

} // namespace zumo
