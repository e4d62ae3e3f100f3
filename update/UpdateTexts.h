// Every text the updater shows or logs as the user sees it, in one place.
#pragma once

#include <QString>

namespace zumo::Updater::Text {

// Checks.
inline QString checkFailedTitle() { return QStringLiteral("Couldn't check for updates"); }
inline QString unreadableManifest() { return QStringLiteral("The update information could not be read."); }
inline QString manifestUnsigned()
{
    return QStringLiteral("The update information is not signed, though this copy has seen signed update "
                          "information before.");
}
inline QString manifestBadSignature()
{
    return QStringLiteral("The signature of the update information is not the maker's.");
}
inline QString manifestExpired(const QString& when)
{
    return QStringLiteral("The signature of the update information expired on ") + when + '.';
}
inline QString manifestOlder()
{
    return QStringLiteral("The update information is older than the newest this copy has seen.");
}
inline QString checkTimedOut() { return QStringLiteral("The update server did not answer in time."); }
inline QString tryLater() { return QStringLiteral("Try again later."); }
inline QString upToDateTitle() { return QStringLiteral("Zumo is up to date"); }
inline QString upToDateDetail(const QString& current) { return QStringLiteral("Version ") + current + '.'; }
inline QString offerTitle(const QString& version) { return QStringLiteral("Zumo ") + version + QStringLiteral(" is available"); }
// "You have 2.3.0." and, when there are notes, two line feeds and the notes.
inline QString offerDetail(const QString& current, const QString& notes)
{
    QString text = QStringLiteral("You have ") + current + '.';
    if (!notes.isEmpty())
        text += QStringLiteral("\n\n") + notes;
    return text;
}
inline QString packageManagedDetail(const QString& current)
{
    return QStringLiteral("You have ") + current +
           QStringLiteral(". This copy of Zumo was installed from its Debian package, so your package "
                          "manager installs the update.");
}
// This copy trusts the public test key (a developer's build): nothing can be installed safely.
inline QString testKeyDetail(const QString& current)
{
    return QStringLiteral("You have ") + current +
           QStringLiteral(". This copy of Zumo was built with the public test key, which anyone can sign "
                          "with, so it cannot update itself. Install a release from the maker's site.");
}
inline QString testKeyLog()
{
    return QStringLiteral("update: this build pins the public test key, so it refuses every update image");
}
inline QString installButton() { return QStringLiteral("Install and Restart"); }
inline QString laterButton() { return QStringLiteral("Later"); }
inline QString okButton() { return QStringLiteral("OK"); }
inline QString nudge() { return QString::fromUtf8("Update available. Check Settings \u2192 General."); }

// Download and verification.
inline QString redirected() { return QStringLiteral("The download was redirected to an address that is not allowed."); }
inline QString tooLarge() { return QStringLiteral("larger than the allowed size"); }
inline QString sizeUnknown() { return QStringLiteral("size unknown or larger than the allowed size"); }
inline QString downloadFailed() { return QStringLiteral("The download failed."); }
inline QString cannotPrepare() { return QStringLiteral("Could not prepare the update."); }
inline QString checksumMismatch()
{
    return QStringLiteral("The download did not match its checksum, so it was not installed.");
}
inline QString imageNotSigned()
{
    return QStringLiteral("The downloaded file is not signed by Pellwick, so it was not opened or installed.");
}
inline QString cannotOpenImage() { return QStringLiteral("Could not open the downloaded disk image."); }
inline QString appNotSigned()
{
    return QStringLiteral("The downloaded update is not signed by Pellwick, so it was not installed.");
}
inline QString progressTitle() { return QStringLiteral("Updating Zumo"); }
inline QString downloading(const QString& version) { return QStringLiteral("Downloading Zumo ") + version + QChar(0x2026); }
inline QString checking() { return QString::fromUtf8("Checking the download\u2026"); }
inline QString cancelButton() { return QStringLiteral("Cancel"); }

// Installing.
inline QString notInstalledTitle() { return QStringLiteral("The update did not install"); }
inline QString cannotPrepareInstaller() { return QStringLiteral("Could not prepare the installer."); }
inline QString cannotPlace() { return QStringLiteral("Could not put the new version in place."); }
inline QString cannotStartInstaller() { return QStringLiteral("Could not start the installer."); }
inline QString restarting() { return QString::fromUtf8("Restarting Zumo\u2026"); }

} // namespace zumo::Updater::Text
