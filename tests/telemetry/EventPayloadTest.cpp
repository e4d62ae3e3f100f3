// The common payload's keyboard (the device, settings, statistics and running time it carries, in
// the launch event over the wire: tests/e2e/VendorE2eTest).
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeClock.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "telemetry/Telemetry.h"

namespace zumo {
namespace {

// The layout being typed with, else the configured one when the desktop cannot tell.
TEST(EventPayloadTest, theKeyboardIsTheLiveLayoutAndTheConfiguredOneWhenTheDesktopCannotTell)
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("s.json")};
    Settings settings{store};
    FakeClock clock;
    Counters counters{store, clock};
    EventPayload payload{settings, counters, clock, SessionFacts{{}, {}, nullptr, true, "0.0.9", {}}};
    payload.readFacts = [] {
        DeviceFacts configured;
        configured.keyboard = "xkb:us";
        return configured;
    };
    for (const auto& [live, reported] : {std::pair{"de", "xkb:de"}, {"", "xkb:us"}}) {
        payload.session().keyboardLayout = [live] { return QString::fromLatin1(live); };
        EXPECT_EQ(payload.deviceProfile()["keyboard"], reported) << live;
    }
}

} // namespace
} // namespace zumo
