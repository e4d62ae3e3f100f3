// The release manifest: where it is, how it is asked for, and how its answer is read.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "update/Release.h"

namespace zumo::Updater {

// Reads an HTTP answer to the manifest request. The answer must have status 200 and a body that
// is one JSON object whose "version", "url" and "sha256" are strings, "url" an allowed address
// (isAllowedUpdateURL with vendorHost); "sha256" is lower-cased, "notes" is kept only when it is
// a string. Anything else gives the failure "The update information could not be read.".
// Pure; safe on any thread.
CheckResult readManifest(int status, const QByteArray& body, const QString& vendorHost);

} // namespace zumo::Updater
