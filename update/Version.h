// The rule that decides whether a release is newer than the running copy.
#pragma once

#include <QString>

namespace zumo::Updater {

// True when candidate is newer than current. Both are split at "." with empty pieces dropped;
// each piece is a signed whole decimal number of any length (a piece that is not one, such as
// "3-beta" or "x", counts as 0); the lists are compared position by position, a missing position
// counting as 0. So 2.10 > 2.9, 2.4.0 equals 2.4, and a 30-digit piece compares by its value.
// Pure; never throws.
bool isNewerVersion(const QString& candidate, const QString& current);

} // namespace zumo::Updater
