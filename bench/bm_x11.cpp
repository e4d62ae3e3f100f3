// The X11 window model at 200 windows: the initial pipelined load and what a switcher opening
// costs afterwards (a snapshot, the window list, every application's windows). Needs a display
// with an EWMH window manager ($DISPLAY, e.g. the end-to-end session); skips without one.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "desktop/x11/X11Accessibility.h"
#include "desktop/x11/X11Actions.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11WindowModel.h"
#include "desktop/x11/X11WindowServer.h"

namespace {

using namespace zumo;
using namespace zumo::x11;

constexpr int Windows = 200;

// 200 managed windows owned by 20 pretend applications, each with a three-size icon.
class Desk {
public:
    bool open(QString& why)
    {
        connection = X11Connection::open(why);
        if (!connection)
            return false;
        xcb_connection_t* c = connection->xcb();
        xcb_ewmh_connection_t* a = connection->ewmh();
        std::vector<std::uint32_t> icon;
        for (std::uint32_t side : {16u, 32u, 48u}) {
            icon.push_back(side);
            icon.push_back(side);
            icon.insert(icon.end(), side * side, 0xFF3366CC);
        }
        for (int i = 0; i < Windows; ++i) {
            xcb_window_t w = xcb_generate_id(c);
            xcb_create_window(c, XCB_COPY_FROM_PARENT, w, connection->root(), 10 + i, 10 + i, 300, 200, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
            QByteArray title = QStringLiteral("Window %1 — some document title").arg(i).toUtf8();
            xcb_ewmh_set_wm_name(a, w, uint32_t(title.size()), title.constData());
            xcb_ewmh_set_wm_pid(a, w, uint32_t(900000 + i % 20));
            QByteArray wmClass = QStringLiteral("app%1\nApp%1\n").arg(i % 20).toLatin1().replace('\n', '\0');
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                                uint32_t(wmClass.size()), wmClass.constData());
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, a->_NET_WM_ICON, XCB_ATOM_CARDINAL, 32,
                                uint32_t(icon.size()), icon.data());
            xcb_map_window(c, w);
            windows.push_back(w);
        }
        xcb_flush(c);
        return waitUntilManaged(why);
    }

    ~Desk()
    {
        if (!connection)
            return;
        for (xcb_window_t w : windows)
            xcb_destroy_window(connection->xcb(), w);
        connection->flush();
    }

    std::unique_ptr<X11Connection> connection;
    std::vector<xcb_window_t> windows;

private:
    bool waitUntilManaged(QString& why)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < 20000) {
            X11WindowModel probe(*connection, 0);
            if (probe.snapshot()->windows.size() >= std::size_t(Windows))
                return true;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        why = QStringLiteral("the window manager did not list the benchmark's windows (is one running?)");
        return false;
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

void BM_InitialLoad200(benchmark::State& state)
{
    if (!ready(state))
        return;
    for (auto _ : state) {
        X11WindowModel model(*desk->connection);
        benchmark::DoNotOptimize(model.snapshot()->windows.size());
    }
}
BENCHMARK(BM_InitialLoad200)->Unit(benchmark::kMillisecond);

void BM_SwitcherReads200(benchmark::State& state)
{
    if (!ready(state))
        return;
    X11WindowModel model(*desk->connection);
    X11Actions actions(model);
    X11Accessibility accessibility(model, actions);
    X11WindowServer server(model, desk->connection->displayName());
    for (auto _ : state) {
        auto records = server.windowList();
        std::size_t titles = 0;
        for (int app = 0; app < 20; ++app)
            for (ElementRef w : accessibility.windows(900000 + app, 0.25).value_or(std::vector<ElementRef>{}))
                titles += accessibility.string(w, QStringLiteral("AXTitle")).value_or(QString()).size();
        benchmark::DoNotOptimize(records.size() + titles);
    }
}
BENCHMARK(BM_SwitcherReads200)->Unit(benchmark::kMicrosecond);

void BM_SnapshotCopy200(benchmark::State& state)
{
    if (!ready(state))
        return;
    X11WindowModel model(*desk->connection);
    for (auto _ : state) {
        DesktopSnapshot copy = *model.snapshot();
        benchmark::DoNotOptimize(copy.windows.data());
    }
}
BENCHMARK(BM_SnapshotCopy200)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Desk setup;
    if (setup.open(deskProblem))
        desk = &setup;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    desk = nullptr;
    return 0;
}
