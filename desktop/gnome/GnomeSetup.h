// What Zumo says about its GNOME Shell extension: whether a session is GNOME Shell's, the one
// command that enables the extension, and what a missing or disabled one means. Pure.
#pragma once

#include <QString>
#include <QVariantMap>

namespace zumo::gnome {

// XDG_CURRENT_DESKTOP names GNOME (GNOME, ubuntu:GNOME, GNOME-Classic:GNOME...).
bool isGnomeShell(const QString& currentDesktop);

// gnome-extensions enable, for the extension shipped with Zumo.
QString enableCommand();

// The sentence for the user when the extension does not answer, from GNOME Shell's
// GetExtensionInfo of it (an empty info when the Shell does not know it); empty when the
// extension is on (its bus name is on its way).
QString extensionProblem(const QVariantMap& info);

} // namespace zumo::gnome
