// The program's version and the vendor's address.
#include "windows/AppInfo.h"

#include "platform/AppVersion.h"

namespace zumo {

QString appVersion()
{
    return runningVersion();
}

QString vendorAddress()
{
    QString host = qEnvironmentVariable("ZUMO_VENDOR_HOST");
    if (host.isEmpty())
        host = QStringLiteral("pellwick.example");
    return QStringLiteral("https://") + host;
}

} // namespace zumo
