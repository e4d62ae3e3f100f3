// The updater's parts built in dependency order, and the shell's windows behind its presenter.
#include "app/UpdateLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/AppDelegate.h"
#include "platform/AppVersion.h"
#include "platform/Log.h"
#include "platform/PrivateDirectory.h"
#include "platform/VendorService.h"
#include "remote/RemoteConfigService.h"
#include "windows/UpdateWindows.h"
#include "windows/WindowSupport.h"
#include "telemetry/NetworkMonitor.h"
#include "update/BundleList.h"
#include "update/FolderSwap.h"
#include "update/PinnedKey.h"

namespace zumo {
namespace {

// The shell's progress window behind the updater's interface. The window is deleted on the
// main thread when the last holder lets go.
class WidgetProgress final : public ProgressWindow {
public:
    explicit WidgetProgress(const QString& version) : m_window(new UpdateProgressWindow(version)) {}
    ~WidgetProgress() override { m_window->deleteLater(); }

    void setLabel(const QString& text) override { m_window->setLabel(text); }
    void setFraction(double fraction) override { m_window->setFraction(fraction); }
    void setOnCancel(std::function<void()> onCancel) override { m_window->setOnCancel(std::move(onCancel)); }
    bool cancelled() const override { return m_window->cancelled(); }
    void close() override { m_window->finish(); }
    UpdateProgressWindow* window() const { return m_window; }

private:
    UpdateProgressWindow* m_window;
};

} // namespace

QString runningVersionFor(const QString& executablePath)
{
    const Updater::LinuxPlace place = Updater::observeLinuxPlace(executablePath, QDir::homePath());
    if (place.folderIsBundle) {
        const auto header = Updater::readSignedHeader(place.runningFolder, Updater::pinnedPublicKey());
        if (header && header->identifier == Updater::productIdentifier() && !header->version.isEmpty())
            return header->version;
    }
    return runningVersion();
}

std::optional<Announcement> RemoteAnnouncements::pendingAnnouncement() const
{
    return remote ? remote->pendingAnnouncement() : std::nullopt;
}

void RemoteAnnouncements::clearPendingAnnouncement()
{
    if (remote)
        remote->takePendingAnnouncement();
}

int WidgetUpdatePresenter::runAlert(const UpdateAlert& alert)
{
    PlainAlert box(alert.message, alert.informative, alert.buttons);
    return box.run();
}

std::shared_ptr<ProgressWindow> WidgetUpdatePresenter::openProgress(const QString& version)
{
    auto progress = std::make_shared<WidgetProgress>(version);
    UpdateProgressWindow* window = progress->window();
    bringToFront(window);
    return progress;
}

UpdateLink::UpdateLink(UpdateLinkDeps deps)
    : transport(deps.http, {manifestUrl(), QUrl(vendorUrl(QStringLiteral("/"))).host(), vendorUserAgent(),
                            [] {
                                const NetworkFacts network = currentNetwork();
                                return network.expensive || network.constrained;
                            }}),
      tools(Updater::updateKey(),
            Updater::observeLinuxPlace(QCoreApplication::applicationFilePath(), QDir::homePath())),
      installer({deps.dispatcher, deps.clock, deps.counters, deps.config, transport, tools, presenter, runner,
                 privateBaseDirectory(), QUrl(vendorUrl(QStringLiteral("/"))).host(),
                 Updater::productIdentifier(), qint64(::getpid())}),
      checker({deps.settings, deps.config, deps.counters, deps.clock, deps.dispatcher, transport, presenter, installer,
               deps.appVersion, Updater::updateKey()})
{
    quit = installer.quitRequested().subscribe([] { quitApp(); });
    finishInterruptedInstall();
}

void UpdateLink::finishInterruptedInstall()
{
    const InstallTarget target = tools.installDestination();
    if (target.packageManaged)
        return;
    const Updater::Recovery done = Updater::finishInterruptedSwap(
        target.path, [this](const QString& folder) { return tools.isTrustedApp(folder); });
    if (done == Updater::Recovery::cleared)
        appLog(QStringLiteral("update: removed what an interrupted install left beside ") + target.path);
    else if (done == Updater::Recovery::restored)
        appLog(QStringLiteral("update: put a verified copy back in place after an interrupted install: ") +
               target.path);
    else if (done == Updater::Recovery::stuck)
        appLog(QStringLiteral("update: an interrupted install left no verified copy at ") + target.path);
}

int finishSwapStartedBeside(int argc, char** argv)
{
    // Every start comes here: only the path is looked at, the file systems only when needed.
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString dest = Updater::destinationMissingBeside(Updater::installFolderOf(exe));
    if (dest.isEmpty())
        return -1;
    // Two launches at once (the login and a click) take turns: the second finds the swap done.
    const int parent = ::open(QFile::encodeName(QFileInfo(dest).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent >= 0)
        ::flock(parent, LOCK_EX);
    // The checks run the network helper as a process.
    QCoreApplication app(argc, argv);
    LinuxUpdateTools tools(Updater::updateKey(), Updater::observeLinuxPlace(exe, QDir::homePath()));
    const Updater::Recovery done = Updater::finishInterruptedSwap(
        dest, [&tools](const QString& folder) { return tools.isTrustedApp(folder); });
    const QByteArray program = QFile::encodeName(dest + QStringLiteral("/bin/zumo"));
    if (done == Updater::Recovery::restored || done == Updater::Recovery::cleared ||
        (done == Updater::Recovery::nothing && QFileInfo(dest).isDir()))
        ::execv(program.constData(), argv);
    std::fprintf(stderr, "zumo: an interrupted update left no verified copy to start at %s\n", program.constData());
    return 1;
}

} // namespace zumo
