// Memory of a 60 MB release download from zumo-vendor over HTTPS on loopback: the peak resident
// size above the idle size, which stays small because the body streams to a file.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

#include "desktop/qt/QtHttpClient.h"
#include "tests/vendor/testkit/VendorServer.h"
#include "update/GuardedDownload.h"
#include "update/HttpUpdateTransport.h"

namespace {

constexpr qint64 ImageBytes = 60 * 1048576;

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
qint64 statusKb(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

void BM_download60MB(benchmark::State& state)
{
    zumo::test::VendorServer vendor;
    vendor.writeReleaseFile(QStringLiteral("image.bin"), QByteArray(ImageBytes, 'z'));
    if (!vendor.start()) {
        state.SkipWithError(qPrintable(vendor.error()));
        return;
    }
    zumo::QtHttpClient http(vendor.caPath());
    zumo::HttpUpdateTransport transport(http, {QUrl(), QStringLiteral("127.0.0.1"), "Zumo/bench", {}});
    QTemporaryDir dir;
    double aboveIdleMB = 0;
    for (auto _ : state) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));  // "5" resets the peak to now
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        const qint64 idle = statusKb("VmRSS");
        bool done = false;
        auto download = zumo::GuardedDownload::make(double(ImageBytes) * 2, QStringLiteral("127.0.0.1"),
                                                    [&](zumo::DownloadOutcome o) {
                                                        done = true;
                                                        QFile::remove(o.file);
                                                    });
        download->start(transport, {QUrl(vendor.url(QStringLiteral("/dl/zumo/image.bin"))), 60, false}, dir.path());
        QDeadlineTimer deadline(120000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        aboveIdleMB = std::max(aboveIdleMB, double(statusKb("VmHWM") - idle) / 1024.0);
        state.counters["idleMB"] = double(idle) / 1024.0;
    }
    state.counters["peakAboveIdleMB"] = aboveIdleMB;
    state.SetBytesProcessed(state.iterations() * ImageBytes);
}

} // namespace

BENCHMARK(BM_download60MB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
