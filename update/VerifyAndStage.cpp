#include "update/VerifyAndStage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/Dispatch.h"
#include "update/FileDigest.h"
#include "update/PrivateFiles.h"
#include "update/UpdatePresenter.h"
#include "update/UpdateTools.h"
#include "update/UpdateTexts.h"

namespace zumo::Updater {
namespace {

// Steps 1 to 4: whether the transfer gave a usable file; the failure message otherwise.
std::optional<QString> checkTransfer(const StageContext& c, const DownloadOutcome& o, const ProgressWindow* window)
{
    if (window && window->cancelled())
        return QString();
    if (o.error)
        return *o.error;
    if (o.file.isEmpty() || (o.hasResponse && o.status != 200))
        return Text::downloadFailed();
    if (!window) {
        const QFileInfo info(o.file);
        if (info.exists() && double(info.size()) > c.capBytes) {
            QFile::remove(o.file);
            return Text::tooLarge();
        }
    }
    return std::nullopt;
}

// Step 6: the work directory with the download moved in; empty on failure.
QString prepareWork(const StageContext& c, const QString& download)
{
    const QString work = newPrivatePath(c.workBase, WorkPrefix);
    if (!makePrivateDirectory(work) || !QDir().mkpath(work + QStringLiteral("/mnt")) ||
        !QDir().mkpath(work + QStringLiteral("/stage")) || !QFile::rename(download, work + QStringLiteral("/update.dmg")))
        return {};
    return work;
}

// Steps 9 to 12, after the image passed its checks.
std::optional<QString> openAndCheck(const StageContext& c, const QString& work, const Release& release)
{
    const QString image = work + QStringLiteral("/update.dmg");
    const QString mnt = work + QStringLiteral("/mnt");
    const QString staged = work + QStringLiteral("/stage/") + c.tools.bundleName();
    if (!c.tools.attach(image, mnt))
        return Text::cannotOpenImage();
    const int copied = c.tools.copyBundle(mnt + QLatin1Char('/') + c.tools.bundleName(), staged);
    c.tools.detach(mnt);
    if (copied != 0)
        return Text::appNotSigned();
    const std::optional<BundleFacts> facts = c.tools.readBundleFacts(staged);
    const std::optional<QString> identifier = facts ? facts->identifier : std::nullopt;
    const std::optional<QString> expected =
        c.identifier.isEmpty() ? std::nullopt : std::optional<QString>(c.identifier);
    if (identifier != expected || !facts || facts->version != release.version || !c.tools.isTrustedApp(staged))
        return Text::appNotSigned();
    return std::nullopt;
}

// Steps 7 to 12; the failure message, the work directory being deleted by the caller.
std::optional<QString> checkWork(const StageContext& c, const QString& work, const Release& release)
{
    const std::optional<QString> digest = fileSHA256Hex(work + QStringLiteral("/update.dmg"));
    if (!digest || *digest != release.sha256)
        return Text::checksumMismatch();
    if (!c.tools.isTrustedDiskImage(work + QStringLiteral("/update.dmg")))
        return Text::imageNotSigned();
    return openAndCheck(c, work, release);
}

} // namespace

void verifyAndStage(const StageContext& c, const DownloadOutcome& outcome, const std::shared_ptr<ProgressWindow>& window,
                    const Release& release, std::function<void(Staged)> onSuccess,
                    std::function<void(QString)> onFailure)
{
    if (const auto failure = checkTransfer(c, outcome, window.get()))
        return onFailure(*failure);
    if (window)
        c.dispatcher.post([window] { window->setLabel(Text::checking()); });
    const QString work = prepareWork(c, outcome.file);
    if (work.isEmpty())
        return onFailure(Text::cannotPrepare());
    if (const auto failure = checkWork(c, work, release)) {
        removeTree(work);
        return onFailure(*failure);
    }
    QFile::remove(work + QStringLiteral("/update.dmg"));
    Staged staged{release, work, work + QStringLiteral("/stage/") + c.tools.bundleName()};
    c.dispatcher.post([onSuccess = std::move(onSuccess), staged] { onSuccess(staged); });
}

} // namespace zumo::Updater
