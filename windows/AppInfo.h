// Facts about this program that its windows show: the version and the maker's web address.
#pragma once

#include <QString>

namespace zumo {

// The version this copy runs as (platform/AppVersion); "0" when unknown.
QString appVersion();
// "https://" + the vendor host: $ZUMO_VENDOR_HOST when set (tests, self-hosting), else the
// maker's own host.
QString vendorAddress();

} // namespace zumo
