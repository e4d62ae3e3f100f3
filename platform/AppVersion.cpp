#include "platform/AppVersion.h"

namespace zumo {
namespace {

QString& stored()
{
    static QString version = [] {
#ifdef ZUMO_VERSION
        const QString built = QStringLiteral(ZUMO_VERSION);
        return built.isEmpty() ? QStringLiteral("0") : built;
#else
        return QStringLiteral("0");
#endif
    }();
    return version;
}

} // namespace

QString runningVersion()
{
    return stored();
}

void setRunningVersion(const QString& version)
{
    if (!version.isEmpty())
        stored() = version;
}

} // namespace zumo
