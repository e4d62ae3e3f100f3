#include "update/FolderSwap.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "update/LinuxUpdateTools.h"
#include "update/PrivateFiles.h"

namespace zumo::Updater {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

bool present(const QString& path)
{
    return QFileInfo(path).isDir() && !QFileInfo(path).isSymLink();
}

// syncfs writes every file and folder of the copy in one call; a fsync per file would take
// seconds for a few thousand of them. The folder's own fsync makes its entries durable.
bool flush(const QString& folder, bool wholeFileSystem)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = (!wholeFileSystem || ::syncfs(fd) == 0) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool renamed(const QString& from, const QString& to)
{
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

// Where dest is missing between the two renames, a start finds both copies beside it.
bool twoRenames(const QString& incoming, const QString& dest, const QString& replaced, const SwapOptions& options)
{
    if (!renamed(dest, replaced))
        return false;
    if (options.reached)
        options.reached(SwapStep::renamed);
    if (renamed(incoming, dest))
        return true;
    renamed(replaced, dest);
    return false;
}

} // namespace

QString incomingFolder(const QString& dest)
{
    return dest + QStringLiteral(".incoming");
}

QString replacedFolder(const QString& dest)
{
    return dest + QStringLiteral(".replaced");
}

QString setAsideFolder(const QString& dest)
{
    return dest + QStringLiteral(".unverified");
}

// The order is what survives a power cut: the copy's data and names are on disk (syncfs, then
// the parent's fsync for the name "incoming") before a rename can make them reachable as dest, and
// a rename either reached the disk or did not. So after a cut dest is the whole old copy or the
// whole new one, and what lies beside it (a partial incoming, the old copy under another name) is
// sorted out at start by finishInterruptedSwap, which trusts only what verifies. Data lost
// before the flush can only spoil the incoming copy, which then fails verification.
bool swapInFolder(const QString& fresh, const QString& dest, const SwapOptions& options)
{
    const QString incoming = incomingFolder(dest);
    const QString replaced = replacedFolder(dest);
    const QString parent = QFileInfo(dest).path();
    const auto tell = [&options](SwapStep step) {
        if (options.reached)
            options.reached(step);
    };
    const auto goOn = [&options] { return !options.cancelled || !options.cancelled(); };
    removeTree(incoming);
    removeTree(replaced);
    int copied = 0;
    const auto progress = [&] {
        if (++copied == 1)
            tell(SwapStep::copyStarted);
        return goOn();
    };
    const bool written = copyFolder(fresh, incoming, progress) == 0;
    if (written)
        tell(SwapStep::copied);
    if (!written || !flush(incoming, true) || !flush(parent, false) ||
        (options.verified && !options.verified(incoming)) || !goOn()) {
        removeTree(incoming);
        return false;
    }
    tell(SwapStep::flushed);
    // Past this point a cancel comes too late: the new copy goes in.
    bool swapped = false;
    if (!present(dest)) {
        swapped = renamed(incoming, dest);
    } else if (options.exchange && ::renameat2(AT_FDCWD, native(incoming).constData(), AT_FDCWD,
                                               native(dest).constData(), RENAME_EXCHANGE) == 0) {
        // The old copy now lies at the incoming name; a start finds it beside a verified dest.
        tell(SwapStep::renamed);
        swapped = true;
        renamed(incoming, replaced);
    } else {
        swapped = twoRenames(incoming, dest, replaced, options);
    }
    if (!swapped) {
        removeTree(incoming);
        return false;
    }
    flush(parent, false);
    return true;
}

Recovery finishInterruptedSwap(const QString& dest, const std::function<bool(const QString&)>& verified)
{
    QStringList beside;
    for (const QString& path : {incomingFolder(dest), replacedFolder(dest), dest + QStringLiteral(".updating")}) {
        if (present(path))
            beside << path;
    }
    if (beside.isEmpty())
        return Recovery::nothing;
    const QString parent = QFileInfo(dest).path();
    if (present(dest) && verified(dest)) {
        for (const QString& path : beside)
            removeTree(path);
        flush(parent, false);
        return Recovery::cleared;
    }
    QString winner;
    for (const QString& path : beside) {
        if (verified(path)) {
            winner = path;
            break;
        }
    }
    if (winner.isEmpty())
        return Recovery::stuck;
    if (QFileInfo::exists(dest) || QFileInfo(dest).isSymLink()) {
        removeTree(setAsideFolder(dest));
        if (!renamed(dest, setAsideFolder(dest)))
            return Recovery::stuck;
    }
    if (!renamed(winner, dest))
        return Recovery::stuck;
    for (const QString& path : beside) {
        if (path != winner)
            removeTree(path);
    }
    flush(parent, false);
    return Recovery::restored;
}

QString destinationMissingBeside(const QString& folder)
{
    for (const QString& beside : {incomingFolder(QString()), replacedFolder(QString())}) {
        const QString dest = folder.endsWith(beside) ? folder.chopped(beside.size()) : QString();
        // Both copies lie beside it only after the first rename: a folder merely named so is left be.
        if (!dest.isEmpty() && !QFileInfo::exists(dest) && !QFileInfo(dest).isSymLink() &&
            present(incomingFolder(dest)) && present(replacedFolder(dest)))
            return dest;
    }
    return {};
}

} // namespace zumo::Updater
