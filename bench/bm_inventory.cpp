// How long building the switcher's rows takes for a busy desktop, and a browser's tab search.
#include <benchmark/benchmark.h>

#include "tests/fakes/FakeAccessibility.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeWindowServer.h"
#include "tests/fakes/FakeWorkspace.h"
#include "inventory/BrowserTabs.h"
#include "inventory/Inventory.h"

using namespace zumo;

namespace {

struct Desktop {
    FakeWorkspace workspace;
    FakeAccessibility ax;
    FakeWindowServer server;
    FakeClock clock;
    Inventory inventory{workspace, ax, server, clock, InventoryPrefs{}};

    // apps applications with windowsPerApp windows each, every one in the window list, plus one
    // window per app on another desktop.
    Desktop(int apps, int windowsPerApp)
    {
        std::int64_t number = 1;
        for (Pid pid = 1; pid <= apps; ++pid) {
            workspace.add(pid, QStringLiteral("com.example.app%1").arg(pid),
                          QStringLiteral("App %1").arg(pid));
            for (int w = 0; w < windowsPerApp; ++w) {
                QRectF frame(20.0 * w, 30.0 * w, 800, 600);
                ax.addWindow(pid, QStringLiteral("Window %1").arg(w), frame);
                server.add(pid, number++, frame);
            }
            server.add(pid, number++, QRectF(0, 0, 800, 600), false, QStringLiteral("elsewhere"));
        }
    }
};

void BM_BuildEntries(benchmark::State& state)
{
    Desktop desktop(int(state.range(0)) / 4, 4);
    BuildOptions options;
    options.previews = true;
    options.spaces = true;
    for (auto _ : state) {
        auto apps = desktop.inventory.switchableApps();
        benchmark::DoNotOptimize(desktop.inventory.buildEntries(apps, options));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildEntries)->Arg(12)->Arg(48)->Arg(200)->Unit(benchmark::kMicrosecond);

// One application with every window, as a terminal or browser with many windows open.
void BM_BuildEntriesOfOneApp(benchmark::State& state)
{
    Desktop desktop(1, int(state.range(0)));
    BuildOptions options;
    options.spaces = true;
    for (auto _ : state) {
        auto apps = desktop.inventory.switchableApps();
        benchmark::DoNotOptimize(desktop.inventory.buildEntries(apps, options));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildEntriesOfOneApp)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

// A window whose tab group sits at the bottom of a wide tree: the search examines the most.
void BM_TabsOfWindow(benchmark::State& state)
{
    FakeAccessibility ax;
    ElementRef window = ax.addWindow(1, QStringLiteral("browser"), QRectF(0, 0, 800, 600));
    ElementRef parent = window;
    for (int depth = 0; depth < 9; ++depth) {
        for (int i = 0; i < 20; ++i)
            ax.addChild(parent, QStringLiteral("AXButton"));
        parent = ax.addChild(parent, QStringLiteral("AXGroup"));
    }
    ElementRef group = ax.addChild(parent, QStringLiteral("AXTabGroup"));
    for (int i = 0; i < 30; ++i)
        ax.addChild(group, QStringLiteral("AXRadioButton"), QStringLiteral("Tab %1").arg(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(tabsOfWindow(ax, window));
}
BENCHMARK(BM_TabsOfWindow)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
