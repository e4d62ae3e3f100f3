// Work files of the updater in the user's private directory: naming, making, and deleting them
// without ever following a symbolic link.
#pragma once

#include <QString>

namespace zumo::Updater {

inline constexpr char WorkPrefix[] = "zumo-update-";
inline constexpr char ParkedPrefix[] = "zumo-dl-";

// base + "/" + prefix + a new upper-case hyphenated UUID.
QString newPrivatePath(const QString& base, const char* prefix);

// Deletes path: a file or link is unlinked (a link's target is never touched), a directory is
// emptied depth-first without following links or crossing into other file systems. True when
// nothing is left at path (also when there was nothing).
bool removeTree(const QString& path);

// Deletes every entry of base whose name starts with "zumo-update-" or "zumo-dl-", except keep
// (compared as a cleaned path). Errors are ignored. Returns how many were removed.
int removeLeftovers(const QString& base, const QString& keep);

// Creates dir with mode 0700; its parent must exist. False when it exists or cannot be made.
bool makePrivateDirectory(const QString& dir);

} // namespace zumo::Updater
