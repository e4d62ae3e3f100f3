// Facts about this program that its windows show: the version and the maker's web address.
#pragma once

#include <QString>

namespace zumo {

// The version this program was built as; "0" when the build did not say.
QString appVersion();
// "https://" + the vendor host: $ZUMO_VENDOR_HOST when set (tests, self-hosting), else the
// maker's own host.
QString vendorAddress();

} // namespace zumo
