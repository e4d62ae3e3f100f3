// SHA-256 of a 60 MB release image: our streamed digest against the system's sha256sum, measured
// in the same run so the two numbers share the machine's load.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "update/FileDigest.h"

namespace {

constexpr qint64 ImageBytes = 60 * 1048576;

const QString& imagePath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.path() + "/image";
        QFile file(p);
        file.open(QIODevice::WriteOnly);
        QByteArray block(1048576, Qt::Uninitialized);
        for (qint64 i = 0; i < ImageBytes / block.size(); ++i) {
            for (qsizetype j = 0; j < block.size(); j += 4096)
                block[j] = char(i + j);
            file.write(block);
        }
        return p;
    }();
    return path;
}

void BM_fileSHA256Hex(benchmark::State& state)
{
    const QString path = imagePath();
    for (auto _ : state)
        benchmark::DoNotOptimize(zumo::Updater::fileSHA256Hex(path));
    state.SetBytesProcessed(state.iterations() * ImageBytes);
}

void BM_sha256sum(benchmark::State& state)
{
    const QString path = imagePath();
    for (auto _ : state) {
        QProcess tool;
        tool.start("sha256sum", {path});
        tool.waitForFinished(-1);
        benchmark::DoNotOptimize(tool.readAllStandardOutput());
    }
    state.SetBytesProcessed(state.iterations() * ImageBytes);
}

} // namespace

BENCHMARK(BM_fileSHA256Hex)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_sha256sum)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
