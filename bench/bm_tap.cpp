// Cost of the key handler for the most common event: a key-down that opens nothing while the
// switcher is closed (every keystroke of the session pays it).
#include <benchmark/benchmark.h>

#include "platform/Clock.h"
#include "platform/KeyCodes.h"
#include "tests/fakes/FakeKeyboardHook.h"
#include "settings/Slots.h"
#include "switcher/Tap.h"
#include "tests/switcher/SwitcherFakes.h"

namespace {

void BM_TapKeyDownNotShortcut(benchmark::State& state)
{
    zumo::test::SwitcherRig rig;
    // A pause that has run out: both settings are read and the clock is consulted.
    rig.store.setValue(QStringLiteral("pauseUntil"), 1000.0);
    rig.store.setValue(QStringLiteral("enabled"), true);
    zumo::SystemClock clock;
    zumo::FakeKeyboardHook hook;
    zumo::ActiveSlots slots;
    slots.rebuildSlots(rig.settings);
    zumo::Tap tap(*rig.sw, hook, slots, rig.settings, rig.counters, rig.permissions, clock);
    const zumo::KeyEvent event{zumo::KeyEventType::KeyDown, 0, zumo::keys::Option, QStringLiteral("a")};
    for (auto _ : state)
        benchmark::DoNotOptimize(tap.handle(event));
    if (rig.sw->isOpen())
        state.SkipWithError("a plain key opened the switcher");
}
BENCHMARK(BM_TapKeyDownNotShortcut);

} // namespace
