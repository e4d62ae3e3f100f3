// How fast the hot preference reads are, and what one save of a large settings file costs.
#include <QJsonValue>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "tests/fakes/FakeDispatcher.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace {

// The switcher checks these two on every trigger press.
void BM_ReadEnabledAndPause(benchmark::State& state)
{
    QTemporaryDir dir;
    zumo::FakeDispatcher dispatcher;
    zumo::SettingsStore store(dir.filePath(QStringLiteral("com.zumo.app.json")), &dispatcher);
    for (int i = 0; i < 100; ++i)
        store.setValue(QStringLiteral("day.202603%1.switches").arg(i, 2, 10, QLatin1Char('0')), i);
    store.setValue(QStringLiteral("enabled"), true);
    store.setValue(QStringLiteral("pauseUntil"), 1772712000.0);
    const zumo::Settings settings(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings.enabled());
        benchmark::DoNotOptimize(settings.pauseUntil());
    }
}
BENCHMARK(BM_ReadEnabledAndPause);

void BM_FlushSettings500(benchmark::State& state)
{
    QTemporaryDir dir;
    zumo::FakeDispatcher dispatcher;
    zumo::SettingsStore store(dir.filePath(QStringLiteral("com.zumo.app.json")), &dispatcher);
    for (int i = 0; i < 500; ++i)
        store.setValue(QStringLiteral("day.2026%1.switches").arg(i, 4, 10, QLatin1Char('0')), i * 1000);
    store.flush();
    qint64 n = 0;
    for (auto _ : state) {
        store.setValue(QStringLiteral("all.switches"), ++n);
        if (!store.flush())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_FlushSettings500)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
