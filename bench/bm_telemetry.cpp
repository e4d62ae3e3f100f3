// The cost of one event payload (device profile read from the system, settings snapshot,
// counters) on the main thread, and the size of a "launch" event on the wire.
#include <QJsonDocument>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "telemetry/EventPayload.h"
#include "telemetry/EventSender.h"

namespace {

struct Installation {
    QTemporaryDir dir;
    zumo::FakeClock clock;
    zumo::FakeDispatcher dispatcher{&clock};
    zumo::SettingsStore store{dir.path() + "/defaults.json", &dispatcher};
    zumo::Settings settings{store};
    zumo::Counters counters{store, clock};
    zumo::EventPayload payload{settings, counters, clock, zumo::SessionFacts()};

    // Counters and settings of a used installation; the launch facts as gathered at launch.
    Installation()
    {
        for (const char* metric : {"switches", "jumps", "searches", "quits", "closes", "mins", "hides", "snaps"})
            counters.bumpCounter(QString::fromLatin1(metric), 1234);
        store.setValue("appModes", QJsonObject{{"org.example.a", "hide"}, {"org.example.b", "hide"}});
        payload.setLaunchFacts(zumo::gatherLaunchFacts());
    }
};

void BM_EventPayload(benchmark::State& state)
{
    Installation installation;
    for (auto _ : state)
        benchmark::DoNotOptimize(installation.payload.eventPayload());
}
BENCHMARK(BM_EventPayload)->Unit(benchmark::kMillisecond);

// Not a speed: reports the bytes of one "launch" request body as the counter "bytes".
void BM_LaunchEventBytes(benchmark::State& state)
{
    Installation installation;
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QJsonObject event = zumo::eventObject("launch", installation.payload.eventPayload(),
                                                    "01234567-89AB-CDEF-0123-456789ABCDEF", 1772719387);
        bytes = QJsonDocument(event).toJson(QJsonDocument::Compact).size();
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_LaunchEventBytes)->Unit(benchmark::kMillisecond);

} // namespace
