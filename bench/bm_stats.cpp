// Costs on the switch path: one counter bump (three read-modify-writes) and one log append.
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "telemetry/EventLog.h"

namespace {

// A store the size of a used installation: settings plus a few hundred counter keys.
void fillTypicalStore(zumo::SettingsStore& store)
{
    for (int i = 0; i < 40; ++i)
        store.setValue(QStringLiteral("setting%1").arg(i), i);
    for (int i = 0; i < 30; ++i) {
        const QString metric = QStringLiteral("metric%1").arg(i);
        store.setValue(QStringLiteral("all.") + metric, 1000 + i);
        store.setValue(QStringLiteral("period.") + metric, 100 + i);
        for (int day = 1; day <= 5; ++day)
            store.setValue(QStringLiteral("day.2026030%1.").arg(day) + metric, i);
    }
}

// The timer that would save is never fired inside the loop, as saves are coalesced in the program.
void BM_BumpCounter(benchmark::State& state)
{
    QTemporaryDir dir;
    zumo::FakeClock clock;
    zumo::FakeDispatcher dispatcher(&clock);
    zumo::SettingsStore store(dir.path() + "/defaults.json", &dispatcher);
    fillTypicalStore(store);
    zumo::Counters counters(store, clock);
    const QString metric = QStringLiteral("switches");
    for (auto _ : state)
        counters.bumpCounter(metric);
    benchmark::DoNotOptimize(counters.allCount(metric));
}
BENCHMARK(BM_BumpCounter);

// What a caller pays: formatting and queueing; the disk write happens on the log's own thread.
void BM_AppendLogLine(benchmark::State& state)
{
    QTemporaryDir dir;
    zumo::FakeClock clock;
    zumo::EventLog log(dir.path(), clock);
    const QString message = QStringLiteral("accessibility trusted=true");
    for (auto _ : state)
        log.append(message);
    log.drain();
}
BENCHMARK(BM_AppendLogLine);

} // namespace

BENCHMARK_MAIN();
