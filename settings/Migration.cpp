// The one-time import of preferences from the earlier product's own settings file.
#include "settings/Migration.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <optional>

#include "platform/Clock.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

constexpr double WaitSeconds = 1.5;
constexpr double WaitStep = 0.05;
// A guard against a clock that never moves; far more steps than a real 1.5 s wait takes.
constexpr int MaxWaitSteps = 1000;

bool isEarlierInstance(const RunningApp& app)
{
    return !app.terminated && app.bundleId == QLatin1String(EarlierBundleId);
}

bool earlierStillRunning(const Workspace& workspace)
{
    for (const RunningApp& app : workspace.runningApplications())
        if (isEarlierInstance(app))
            return true;
    return false;
}

void waitForEarlierToQuit(const MigrationContext& context)
{
    if (!context.runLoopFor)
        return;
    const QDateTime deadline = context.clock.now().addMSecs(qint64(WaitSeconds * 1000));
    for (int step = 0; step < MaxWaitSteps; ++step) {
        if (!earlierStillRunning(context.workspace) || context.clock.now() >= deadline)
            return;
        context.runLoopFor(WaitStep);
    }
}

// The earlier domain, read only; anything unreadable counts as absent and is left as it is.
std::optional<QJsonObject> readEarlierDomain(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

// Identity and log location belong to the installation, not to the user's preferences.
bool isSkippedKey(const QString& key)
{
    static const QStringList skipped = {QStringLiteral("installID"), QStringLiteral("logDir"),
                                        QStringLiteral("logSig"), QStringLiteral("loginDefaultDone")};
    return skipped.contains(key);
}

void importValues(SettingsStore& ours, const QJsonObject& earlier)
{
    for (auto it = earlier.begin(); it != earlier.end(); ++it) {
        const QString& key = it.key();
        if (isSkippedKey(key))
            continue;
        // The earlier product's statistics replace ours; everything else we already have stays.
        if (ours.contains(key) && !key.startsWith(QLatin1String("stats.")))
            continue;
        ours.setValue(key, it.value());
    }
}

} // namespace

bool terminateEarlierProduct(Workspace& workspace)
{
    bool asked = false;
    for (const RunningApp& app : workspace.runningApplications()) {
        if (!isEarlierInstance(app))
            continue;
        workspace.terminate(app.pid);
        asked = true;
    }
    return asked;
}

void migrateFromEarlierBundle(MigrationContext context)
{
    const bool asked = terminateEarlierProduct(context.workspace);
    Settings settings(context.ours);
    if (settings.migratedWendle())
        return;
    if (asked)
        waitForEarlierToQuit(context);
    if (const auto earlier = readEarlierDomain(context.earlierDomainPath))
        importValues(context.ours, *earlier);
    context.ours.setValue(QStringLiteral("migratedWendle"), true);
    // Saved at once so that a crash right after start-up cannot run the import a second time.
    context.ours.flush();
}

} // namespace zumo
