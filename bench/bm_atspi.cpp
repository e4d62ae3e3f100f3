// Browser tabs over the accessibility bus: listing the tabs of a window with 3, 30 and 100 tabs
// (every accessibility request included) against the real tab-bar client on a private bus, and
// how long a switch waits on an application that stopped answering. Needs a display with a
// window manager ($DISPLAY), dbus-daemon and at-spi2-core; skips without them.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

#include "inventory/BrowserTabs.h"
#include "tests/e2e/AccessibilitySession.h"
#include "tests/e2e/TabDesk.h"

namespace {

using namespace zumo;

const QString BrowserClass = QStringLiteral("chromium-zumo-tabbench");

struct Desk {
    e2e::AccessibilitySession bus;
    std::map<int, std::unique_ptr<e2e::TabClient>> clients;  // by tab count; 0 is the one that hangs
    e2e::TabDesk desk;

    bool open(QString& why)
    {
        if (!bus.start(why) || !desk.open(bus.address(), why))
            return false;
        for (int tabs : {0, 3, 30, 100})
            if (!startClient(tabs, why))
                return false;
        clients.at(0)->pause();
        return true;
    }

    bool startClient(int tabs, QString& why)
    {
        auto client = std::make_unique<e2e::TabClient>();
        QStringList arguments{QStringLiteral("--tabs"), QString::number(tabs == 0 ? 3 : tabs)};
        if (!client->start(&bus, QStringLiteral("Bench %1").arg(tabs), arguments, BrowserClass, why))
            return false;
        // Listed by the model, and its tabs published on the bus.
        const std::size_t expected = std::size_t(tabs == 0 ? 3 : tabs);
        QDeadlineTimer deadline(20000);
        while (tabsOfWindow(*desk.ax, client->window()).size() != expected) {
            if (deadline.hasExpired()) {
                why = QStringLiteral("the tab client's %1 tabs did not show on the accessibility bus").arg(expected);
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        clients[tabs] = std::move(client);
        return true;
    }
};

Desk* desk = nullptr;
QString deskProblem;

bool ready(benchmark::State& state)
{
    if (desk)
        return true;
    state.SkipWithError(deskProblem.toUtf8().constData());
    return false;
}

void BM_ListTabs(benchmark::State& state)
{
    if (!ready(state))
        return;
    const std::size_t tabs = std::size_t(state.range(0));
    const std::uint32_t window = desk->clients.at(int(tabs))->window();
    // A listing that ran into the time-out (a loaded machine) is counted, and the client is not
    // left alone afterwards, so every iteration asks it again.
    int timedOut = 0;
    for (auto _ : state) {
        desk->desk.clock.advance(TabCollector::maxAge + 0.1);
        timedOut += tabsOfWindow(*desk->desk.ax, window).size() == tabs ? 0 : 1;
    }
    state.counters["timedOut"] = timedOut;
}
BENCHMARK(BM_ListTabs)->Arg(3)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

// One entry build with tabs on, over the application that never answers; `within` says whether
// the build comes within the tab cache's lifetime of the one before (the next switch) or after it.
void switchOverHungApp(benchmark::State& state, bool within)
{
    if (!ready(state))
        return;
    const Pid pid = Pid(desk->clients.at(0)->pid());
    std::vector<RunningApp> apps;
    for (const RunningApp& app : desk->desk.workspace->runningApplications())
        if (app.pid == pid)
            apps.push_back(app);
    Inventory inventory(*desk->desk.workspace, *desk->desk.ax, *desk->desk.windowServer, desk->desk.clock,
                        InventoryPrefs{});
    BuildOptions options;
    options.tabs = true;
    inventory.buildEntries(apps, options);
    std::size_t rows = 0;
    for (auto _ : state) {
        desk->desk.clock.advance(within ? 0.1 : TabCollector::maxAge + 0.1);
        rows = inventory.buildEntries(apps, options).size();
    }
    state.counters["rows"] = double(rows);
}

void BM_SwitchOverHungApp_AfterCacheRunsOut(benchmark::State& state)
{
    switchOverHungApp(state, false);
}
BENCHMARK(BM_SwitchOverHungApp_AfterCacheRunsOut)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SwitchOverHungApp_NextSwitch(benchmark::State& state)
{
    switchOverHungApp(state, true);
}
BENCHMARK(BM_SwitchOverHungApp_NextSwitch)->Unit(benchmark::kMicrosecond)->Iterations(15);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("ZUMO_TABCLIENT"))
        qputenv("ZUMO_TABCLIENT", (QString::fromLocal8Bit(argv[0]).section(QLatin1Char('/'), 0, -2) +
                                   QStringLiteral("/../tests/e2e/zumo-tabclient"))
                                      .toLocal8Bit());
    QGuiApplication app(argc, argv);
    auto setup = std::make_unique<Desk>();
    if (setup->open(deskProblem))
        desk = setup.get();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    desk = nullptr;
    return 0;
}
