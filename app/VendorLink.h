// Everything that talks to the maker's service, built over one HTTP client: the usage events
// with their payload and log upload, and the remote configuration with its ping chain.
#pragma once

#include <QString>
#include <functional>

#include "desktop/qt/ProcessHttpClient.h"
#include "remote/RemoteConfigService.h"
#include "telemetry/EventPayload.h"
#include "telemetry/EventSender.h"
#include "telemetry/LogUploader.h"
#include "telemetry/Telemetry.h"

namespace zumo {

class Clock;
class Counters;
class Dispatcher;
class Settings;
class SettingsStore;

struct VendorLinkDeps {
    SettingsStore& store;
    const Settings& settings;
    Counters& counters;
    const Clock& clock;
    Dispatcher& dispatcher;
    QString logDir;
    std::function<void()> drainLog;  // returns once the log lines queued so far are written
    SessionFacts session;
};

// Members in dependency order. Nothing is sent on construction: the application starts the
// events and the configuration chain once the user has agreed.
struct VendorLink {
    explicit VendorLink(VendorLinkDeps deps);

    ProcessHttpClient http;
    EventSender sender;
    EventPayload payload;
    LogUploader uploader;
    Telemetry telemetry;
    RemoteConfigService remote;
};

} // namespace zumo
