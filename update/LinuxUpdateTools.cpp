#include "update/LinuxUpdateTools.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Log.h"
#include "update/BundleList.h"
#include "update/FolderSwap.h"
#include "update/PinnedKey.h"
#include "update/PrivateFiles.h"
#include "update/SignedImage.h"

namespace zumo {
namespace Updater {
namespace {

bool onRemovableOrTemporary(const QString& folder)
{
    for (const char* prefix : {"/media/", "/run/media/", "/mnt/", "/tmp/", "/var/tmp/"}) {
        if (folder.startsWith(QLatin1String(prefix)))
            return true;
    }
    // tmpfs is gone at reboot; squashfs is a mounted image (an AppImage runs from one).
    const QByteArray type = QStorageInfo(folder).fileSystemType();
    return type == "tmpfs" || type == "ramfs" || type == "squashfs";
}

bool copyEntry(const QString& from, const QString& to)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(from).constData(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        return ::mkdir(QFile::encodeName(to).constData(), 0755) == 0;
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(from).constData(), target, sizeof target - 1);
        if (n <= 0)
            return false;
        target[n] = '\0';
        return ::symlink(target, QFile::encodeName(to).constData()) == 0;
    }
    return S_ISREG(st.st_mode) && QFile::copy(from, to);
}

} // namespace

InstallTarget linuxInstallDestination(const LinuxPlace& place)
{
    if (place.fromPackage)
        return {place.runningFolder, true};
    if (place.folderIsBundle && place.parentWritable && !place.removableOrTemporary)
        return {place.runningFolder, false};
    return {place.home + QStringLiteral("/Applications/Zumo"), false};
}

QString installFolderOf(const QString& executablePath)
{
    return QDir::cleanPath(QFileInfo(executablePath).absolutePath() + QStringLiteral("/.."));
}

LinuxPlace observeLinuxPlace(const QString& executablePath, const QString& home)
{
    const QString exe = QFileInfo(executablePath).absoluteFilePath();
    const QString folder = installFolderOf(exe);
    LinuxPlace place;
    place.runningFolder = folder;
    place.folderIsBundle = QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(ListFileName));
    place.parentWritable = ::access(QFile::encodeName(QFileInfo(folder).path()).constData(), W_OK) == 0;
    place.removableOrTemporary = onRemovableOrTemporary(folder + QLatin1Char('/'));
    // The Debian package installs below /usr, and dpkg owns those files; /usr/local is the
    // administrator's own, never a package's.
    place.fromPackage = exe.startsWith(QLatin1String("/usr/")) && !exe.startsWith(QLatin1String("/usr/local/"));
    place.home = home;
    return place;
}

QByteArray linuxInstallScript()
{
    // A fixed PATH and working folder: nothing the old process inherited picks the tools. The
    // swap is done (placeNewCopy); the old copy goes once no process runs from it.
    QByteArray script(InstallScriptHead);
    script.insert(script.indexOf('\n') + 1, "PATH=/usr/bin:/bin; export PATH\ncd / || exit 1\n");
    return script + "rm -rf \"" + replacedFolder(QStringLiteral("$DEST")).toUtf8() +
           "\" \"$WORK\"\n"
           "exec \"$DEST/bin/zumo\"";
}

int copyFolder(const QString& from, const QString& to, const std::function<bool()>& afterEntry)
{
    if (!copyEntry(from, to))
        return 1;
    const QDir root(from);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = root.relativeFilePath(it.next());
        if (!copyEntry(from + QLatin1Char('/') + rel, to + QLatin1Char('/') + rel))
            return 1;
        if (afterEntry && !afterEntry())
            return 1;
    }
    return 0;
}

} // namespace Updater

LinuxUpdateTools::LinuxUpdateTools(QByteArray publicKey, Updater::LinuxPlace place, Updater::ExtractLimits limits)
    : m_publicKey(std::move(publicKey)), m_place(std::move(place)), m_limits(limits)
{
}

bool LinuxUpdateTools::isTrustedDiskImage(const QString& image)
{
    const auto statement = Updater::verifySignedImage(image, m_publicKey);
    return statement && statement->identifier == Updater::productIdentifier();
}

bool LinuxUpdateTools::attach(const QString& image, const QString& mountPoint)
{
    // Checked again right before opening, so nothing unchecked is ever unpacked.
    const auto statement = Updater::verifySignedImage(image, m_publicKey);
    if (!statement)
        return false;
    QString error = Updater::extractArchive(image, statement->size, mountPoint, m_limits);
    // Both the statement and the file list are signed; a pair that disagrees was put together
    // from two releases.
    const auto header = Updater::readSignedHeader(mountPoint + QLatin1Char('/') + bundleName(), m_publicKey);
    if (error.isEmpty() && header && header->version != statement->version)
        error = QStringLiteral("the image is signed as version %1, its file list as %2")
                    .arg(statement->version, header->version);
    if (!error.isEmpty())
        appLog(QStringLiteral("update image refused: ") + error);
    return error.isEmpty();
}

void LinuxUpdateTools::detach(const QString& mountPoint)
{
    const QStringList names =
        QDir(mountPoint).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names)
        Updater::removeTree(mountPoint + QLatin1Char('/') + name);
}

std::optional<BundleFacts> LinuxUpdateTools::readBundleFacts(const QString& bundle)
{
    const auto header = Updater::readSignedHeader(bundle, m_publicKey);
    if (!header)
        return std::nullopt;
    return BundleFacts{header->identifier, header->version};
}

bool LinuxUpdateTools::isTrustedApp(const QString& bundle)
{
    const auto header = Updater::readSignedHeader(bundle, m_publicKey);
    return header && header->identifier == Updater::productIdentifier() &&
           header->signer == Updater::makerIdentifier() && Updater::folderMatchesSignedList(bundle, m_publicKey);
}

bool LinuxUpdateTools::placeNewCopy(const QString& fresh, const QString& dest, const std::function<bool()>& cancelled)
{
    // What reached the disk is checked again: only a verified copy is ever swapped in.
    return Updater::swapInFolder(fresh, dest,
                                 {true, {}, [this](const QString& copy) { return isTrustedApp(copy); }, cancelled});
}

InstallTarget LinuxUpdateTools::installDestination()
{
    return Updater::linuxInstallDestination(m_place);
}

} // namespace zumo
