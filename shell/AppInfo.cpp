// The program's version and the vendor's address.
#include "shell/AppInfo.h"

namespace zumo {

QString appVersion()
{
#ifdef ZUMO_VERSION
    const QString version = QStringLiteral(ZUMO_VERSION);
    return version.isEmpty() ? QStringLiteral("0") : version;
#else
    return QStringLiteral("0");
#endif
}

QString vendorAddress()
{
    QString host = qEnvironmentVariable("ZUMO_VENDOR_HOST");
    if (host.isEmpty())
        host = QStringLiteral("pellwick.example");
    return QStringLiteral("https://") + host;
}

} // namespace zumo
