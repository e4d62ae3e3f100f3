// The macOS tool layer: the disk image is checked, mounted and copied with the system's tools
// (codesign, spctl, hdiutil, ditto) run with fixed arguments, and the install script is the
// 16-line shell script that swaps the .app bundle.
#pragma once

#include <QMap>
#include <QString>
#include <functional>
#include <optional>

#include "update/UpdateTools.h"

namespace zumo {

class ProcessRunner;

namespace Updater {

// The code-signing requirements checked by codesign.
QString diskImageRequirement();
QString appRequirement();
// The install script, byte for byte (16 lines, 472 bytes, no line feed after the last).
QByteArray macInstallScript();
// Where a copy running from bundlePath installs to: over itself when it is an .app bundle, not
// translocated, not on a mounted image (/Volumes/) and its folder is writable; else
// /Applications/Zumo.app when writable; else ~/Applications/Zumo.app. Pure.
QString macInstallDestination(const QString& bundlePath, const QString& home,
                              const std::function<bool(const QString&)>& isWritable);
// The string values of the top-level dictionary of an XML property list; nothing when the file
// is not one. Values of other types are left out.
std::optional<QMap<QString, QString>> readPlistStrings(const QString& path);

} // namespace Updater

class MacUpdateTools final : public UpdateTools {
public:
    MacUpdateTools(ProcessRunner& runner, QString runningBundle, QString home);

    QString bundleName() const override { return QStringLiteral("Zumo.app"); }
    bool isTrustedDiskImage(const QString& image) override;
    bool attach(const QString& image, const QString& mountPoint) override;
    int copyBundle(const QString& from, const QString& to) override;
    void detach(const QString& mountPoint) override;
    std::optional<BundleFacts> readBundleFacts(const QString& bundle) override;
    bool isTrustedApp(const QString& bundle) override;
    QByteArray installScript() const override { return Updater::macInstallScript(); }
    InstallTarget installDestination() override;

private:
    ProcessRunner& m_runner;
    QString m_runningBundle;
    QString m_home;
};

} // namespace zumo
