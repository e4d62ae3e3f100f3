// Update checks run in the helper (zumo-net verify / extract), for a program that must not load
// OpenSSL or libarchive itself; the answers mean what update/Ed25519.h and SafeExtract.h say.
#pragma once

#include <QByteArray>
#include <QString>

#include "update/SafeExtract.h"

namespace zumo {

class HelperProgram;

// False also when the helper cannot be run or does not answer (the reason goes to the log).
bool helperVerifyEd25519(const HelperProgram& helper, const QByteArray& publicKey, const QByteArray& message,
                         const QByteArray& signature);
// Empty on success, else why it was refused or could not be done.
QString helperExtractArchive(const HelperProgram& helper, const QString& archivePath, qint64 length,
                             const QString& dest, const Updater::ExtractLimits& limits);

} // namespace zumo
