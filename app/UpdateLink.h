// The self-updater composed: its network on the vendor link's HTTP client, its windows, the
// Linux tool layer, the checker and the installer, and the running version this copy reports.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "platform/Listeners.h"
#include "desktop/qt/QtProcessRunner.h"
#include "remote/RemoteConfig.h"
#include "update/HttpUpdateTransport.h"
#include "update/LinuxUpdateTools.h"
#include "update/UpdateChecker.h"
#include "update/UpdateConfig.h"
#include "update/UpdateInstaller.h"
#include "update/UpdatePresenter.h"

namespace zumo {

class Clock;
class Counters;
class Dispatcher;
class HttpClient;
class RemoteConfigService;
class Settings;

// The version the copy at executablePath runs as: the signed version of the install folder it
// runs from (the one an update installed), else the version it was built as.
QString runningVersionFor(const QString& executablePath);

// The update flow reads the remote configuration as it is at the moment of use.
class RemoteUpdateConfig final : public UpdateConfigSource {
public:
    UpdateConfig updateConfig() const override { return remoteConfig(); }
};

// The remote configuration's one-time announcement, once the vendor link exists.
class RemoteAnnouncements final : public AnnouncementSource {
public:
    RemoteConfigService* remote = nullptr;
    std::optional<Announcement> pendingAnnouncement() const override;
    void clearPendingAnnouncement() override;
};

// Alerts and the progress window as widgets of the shell.
class WidgetUpdatePresenter final : public UpdatePresenter {
public:
    int runAlert(const UpdateAlert& alert) override;
    std::shared_ptr<ProgressWindow> openProgress(const QString& version) override;
};

struct UpdateLinkDeps {
    const Settings& settings;
    Counters& counters;
    const Clock& clock;
    Dispatcher& dispatcher;
    HttpClient& http;
    const UpdateConfigSource& config;
    QString appVersion;
};

// Members in dependency order.
struct UpdateLink {
    explicit UpdateLink(UpdateLinkDeps deps);
    // Finishes or undoes a swap of the install folder that a kill or a crash cut short.
    void finishInterruptedInstall();

    WidgetUpdatePresenter presenter;
    HttpUpdateTransport transport;
    QtProcessRunner runner;
    LinuxUpdateTools tools;
    UpdateInstaller installer;
    UpdateChecker checker;
    Subscription quit;
};

// Started from a copy beside a missing install folder (the autostart entry's fallback when a
// swap was cut between its two renames): finishes the swap and runs the verified copy now in
// place; 1 when there is none. Anywhere else -1 at once.
int finishSwapStartedBeside(int argc, char** argv);

} // namespace zumo
