// The version this running copy reports everywhere (windows, requests, events, the version
// change at launch): the version it was built as, unless the program set the one it was
// installed as at start.
#pragma once

#include <QString>

namespace zumo {

// The built version ("0" when the build did not say), or the one set at start.
QString runningVersion();
// Once, at start, before other threads run.
void setRunningVersion(const QString& version);

} // namespace zumo
