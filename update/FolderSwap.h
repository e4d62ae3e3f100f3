// Putting a new install folder in place so that a kill, a crash or a power cut at any moment
// leaves one whole copy: the new copy is written beside the old one and flushed to disk, swapped
// in by rename, and only then is the old copy let go. The next start finishes or undoes a swap
// that was cut short.
#pragma once

#include <QString>
#include <functional>

namespace zumo::Updater {

// copied: every entry written, nothing flushed yet; renamed: dest is the new copy (exchange) or
// missing (between the two renames).
enum class SwapStep { copyStarted, copied, flushed, renamed };

struct SwapOptions {
    bool exchange = true;                   // false: two renames even where the filesystem can exchange
    std::function<void(SwapStep)> reached;  // told at each step; tests stop the process there
    std::function<bool(const QString&)> verified;  // the written copy must pass it to be swapped in
    std::function<bool()> cancelled;  // asked while copying and last before the first rename
};

// Beside dest: the copy being written, the old copy once swapped out (deleted by the install
// script once the old process has ended), and where an unverified folder is set aside.
QString incomingFolder(const QString& dest);
QString replacedFolder(const QString& dest);
QString setAsideFolder(const QString& dest);

// Copies fresh to incomingFolder(dest), flushes it, and swaps it with dest: in one atomic
// exchange where the filesystem offers it, else by two renames. False when a step fails or the
// swap was cancelled before its first rename; dest is then as it was and the incoming copy is gone.
bool swapInFolder(const QString& fresh, const QString& dest, const SwapOptions& options = {});

enum class Recovery {
    nothing,    // no swap was cut short
    cleared,    // dest verified: what lay beside it was removed
    restored,   // a verified copy from beside dest was put in its place
    stuck       // no verified copy anywhere: everything left as it was
};

// Run at start. When something lies beside dest, dest is kept if verified; else the first
// verified of the incoming copy, the replaced copy and an earlier script's "<dest>.updating"
// takes its place and an unverified dest is set aside, never run. verified hashes whole folders,
// so it runs only when something lies beside dest.
Recovery finishInterruptedSwap(const QString& dest, const std::function<bool(const QString&)>& verified);

// The install folder that folder lies beside when a swap was cut between its two renames (folder
// is its incoming or replaced copy, both are there, and the install folder is missing); else
// empty. A copy started from there must finish the swap and run the one put in place.
QString destinationMissingBeside(const QString& folder);

} // namespace zumo::Updater
