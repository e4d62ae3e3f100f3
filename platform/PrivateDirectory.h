// Directories only this user can use: the private base for logs and work files, and the
// checks that keep another account from planting a directory or a link where we look.
#pragma once

#include <QString>

namespace zumo {

// A real directory (not a link to one) owned by this user, with its mode narrowed to 0700 when
// looser. False for anything else, including a missing path.
bool isPrivateDirectory(const QString& path);

// Creates path (mode 0700; its parent must exist) unless it exists, then checks it as above.
// Returns an empty string when the directory is private, else a sentence saying why it is not.
QString makePrivateDirectory(const QString& path);

// The private per-user base for logs and work files: $XDG_CACHE_HOME/zumo (or ~/.cache/zumo),
// created with mode 0700; empty when it cannot be made private to this user (not a directory,
// a symbolic link, owned by someone else).
QString privateBaseDirectory();

} // namespace zumo
