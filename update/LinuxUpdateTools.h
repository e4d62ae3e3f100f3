// The Linux tool layer, done in-process: a release image is a signed tar archive, "mounting"
// is a safe extraction, the bundle is a self-contained install folder checked against its signed
// file list, and the install script is the Linux twin of the macOS one.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "update/SafeExtract.h"
#include "update/UpdateTools.h"

namespace zumo {

namespace Updater {

// The facts installDestination decides on, gathered by observeLinuxPlace.
struct LinuxPlace {
    QString runningFolder;          // the install folder holding bin/zumo
    bool folderIsBundle = false;    // it carries a file list (an update can replace it whole)
    bool parentWritable = false;
    bool removableOrTemporary = false;
    bool fromPackage = false;       // installed by the Debian package
    QString home;
};

// Over the running folder when it is an install folder, its parent is writable and it is not on
// removable or temporary media; else ~/Applications/Zumo. A copy from the Debian package is left
// to the package manager. Pure.
InstallTarget linuxInstallDestination(const LinuxPlace& place);
// The folder holding bin/ of the executable at executablePath (…/bin/zumo). Pure.
QString installFolderOf(const QString& executablePath);
// Looks at the running executable (…/bin/zumo) and the file systems.
LinuxPlace observeLinuxPlace(const QString& executablePath, const QString& home);

// The install script, run once the new copy is in place: wait for PID, delete the replaced copy
// and WORK, start DEST/bin/zumo.
QByteArray linuxInstallScript();

// Copies the folder from to the new path to: folders, files with their permissions, links as
// links (never followed); afterEntry is asked after each whether to go on. 0 on success, 1
// otherwise (what was copied stays).
int copyFolder(const QString& from, const QString& to, const std::function<bool()>& afterEntry = {});

} // namespace Updater

class LinuxUpdateTools final : public UpdateTools {
public:
    LinuxUpdateTools(QByteArray publicKey, Updater::LinuxPlace place, Updater::ExtractLimits limits = {});

    QString bundleName() const override { return QStringLiteral("Zumo"); }
    bool isTrustedDiskImage(const QString& image) override;
    bool attach(const QString& image, const QString& mountPoint) override;
    int copyBundle(const QString& from, const QString& to) override { return Updater::copyFolder(from, to); }
    void detach(const QString& mountPoint) override;
    std::optional<BundleFacts> readBundleFacts(const QString& bundle) override;
    bool isTrustedApp(const QString& bundle) override;
    bool placeNewCopy(const QString& fresh, const QString& dest, const std::function<bool()>& cancelled) override;
    QByteArray installScript() const override { return Updater::linuxInstallScript(); }
    InstallTarget installDestination() override;

private:
    QByteArray m_publicKey;
    Updater::LinuxPlace m_place;
    Updater::ExtractLimits m_limits;
};

} // namespace zumo
