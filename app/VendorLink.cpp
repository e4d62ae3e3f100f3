// The parts that talk to the maker's service, built in dependency order.
#include "app/VendorLink.h"

#include "platform/VendorService.h"

namespace zumo {

VendorLink::VendorLink(VendorLinkDeps deps)
    : http(HelperProgram::beside(), vendorCaPath()),
      sender(http, deps.store, deps.clock, eventsUrl()),
      payload(deps.settings, deps.counters, deps.clock, std::move(deps.session)),
      uploader(sender, deps.store, deps.dispatcher, deps.logDir, std::move(deps.drainLog)),
      telemetry(deps.dispatcher, payload, sender, uploader),
      remote(http, deps.dispatcher, deps.store)
{
}

} // namespace zumo
