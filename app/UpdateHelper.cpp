// The zumo executable's update/ signature checks and unpacking: in the helper (HelperChecks).
#include "app/UpdateHelper.h"

#include <memory>

#include "desktop/qt/HelperChecks.h"
#include "desktop/qt/HelperProgram.h"
#include "update/Ed25519.h"

namespace zumo {
namespace {

std::unique_ptr<HelperProgram>& helper()
{
    static std::unique_ptr<HelperProgram> program;  // set once in main, before any thread
    return program;
}

const HelperProgram& opened()
{
    if (!helper())
        openUpdateHelper();
    return *helper();
}

} // namespace

void openUpdateHelper()
{
    helper() = std::make_unique<HelperProgram>(HelperProgram::beside());
}

namespace Updater {

bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature)
{
    return helperVerifyEd25519(opened(), publicKey, message, signature);
}

// The running program never signs; only the release tool does.
QByteArray signEd25519(const QByteArray&, const QByteArray&)
{
    return {};
}

QByteArray publicKeyOf(const QByteArray&)
{
    return {};
}

QString extractArchive(const QString& archivePath, qint64 length, const QString& dest, const ExtractLimits& limits)
{
    return helperExtractArchive(opened(), archivePath, length, dest, limits);
}

} // namespace Updater
} // namespace zumo
