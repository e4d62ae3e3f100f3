// The platform's half of verification and installation: what opens, checks and copies a
// release image, and where and how the new copy is put in place. One implementation per platform
// (MacUpdateTools runs the system's tools, LinuxUpdateTools does the work itself).
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace zumo {

// The first six lines of both install scripts: the arguments, waiting up to 30 seconds for the
// old process to end, and clearing a stale backup.
inline constexpr char InstallScriptHead[] =
    "#!/bin/sh\n"
    "PID=\"$1\"; NEW=\"$2\"; DEST=\"$3\"; WORK=\"$4\"\n"
    "i=0\n"
    "while kill -0 \"$PID\" 2>/dev/null && [ $i -lt 150 ]; do sleep 0.2; i=$((i+1)); done\n"
    "BAK=\"$DEST.updating\"\n"
    "rm -rf \"$BAK\"\n";

// What a staged bundle says about itself. On Linux these come from signed content only.
struct BundleFacts {
    std::optional<QString> identifier;
    std::optional<QString> version;
};

struct InstallTarget {
    QString path;                 // where the new copy goes
    bool packageManaged = false;  // installed by the system's package manager: no in-app install
};

class UpdateTools {
public:
    virtual ~UpdateTools() = default;
    // The bundle's name inside an image and in "stage" ("Zumo.app" on macOS).
    virtual QString bundleName() const = 0;
    // The image carries the maker's signature. Nothing in it is opened before this holds.
    virtual bool isTrustedDiskImage(const QString& image) = 0;
    // Makes the image's contents appear below mountPoint (an empty directory).
    virtual bool attach(const QString& image, const QString& mountPoint) = 0;
    // Copies a bundle; 0 on success like a tool's status.
    virtual int copyBundle(const QString& from, const QString& to) = 0;
    // Undoes attach; mountPoint is empty afterwards. Failures are ignored.
    virtual void detach(const QString& mountPoint) = 0;
    // Nothing when the bundle's description cannot be read.
    virtual std::optional<BundleFacts> readBundleFacts(const QString& bundle) = 0;
    // The bundle is the maker's, whole and unaltered.
    virtual bool isTrustedApp(const QString& bundle) = 0;
    // Puts the verified copy fresh in place of dest before this process ends; false, with dest
    // as it was, when it cannot or cancelled() turned true before the copy went in. By default
    // the install script does it all.
    virtual bool placeNewCopy(const QString& fresh, const QString& dest, const std::function<bool()>& cancelled)
    {
        (void)fresh;
        (void)dest;
        return !cancelled();
    }
    // The script that finishes the install once this process has ended; run as
    // "/bin/sh <script> <pid> <new> <dest> <work>".
    virtual QByteArray installScript() const = 0;
    // Where the new copy goes; only looks (the installer creates the folder it goes into).
    virtual InstallTarget installDestination() = 0;
};

} // namespace zumo
