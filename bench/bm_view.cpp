// Cost of painting the switcher panel, through the same painter the widget's paintEvent uses.
#include <benchmark/benchmark.h>

#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "panel/SwitcherView.h"
#include "switcher/Thumbnail.h"

using namespace zumo;

namespace {

const char* const Apps[] = {"Terminal", "Browser", "Mail", "Editor", "Files",
                            "Music",    "Calendar", "Notes", "Chat",  "Photos"};
const char* const Titles[] = {
    "~/src/zumo — ninja -C build -j2",       "Release notes — Qt 6.4 documentation",
    "Inbox (3 unread) — work account",       "PanelPainter.cpp — zumo — Editor",
    "Downloads",                             "Now playing: a rather long track title that is elided",
    "December 2026",                         "Shopping list",
    "#team — 12 new messages",               "Holidays 2026 — 148 photos"};

QImage icon(int hue)
{
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromHsv(hue, 160, 210));
    p.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    return image;
}

QImage capture(int hue)
{
    QImage image(380, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor::fromHsv(hue, 40, 240));
    return image;
}

std::vector<Entry> entries(int count, bool thumbs)
{
    std::vector<QImage> icons;
    for (int a = 0; a < 10; ++a)
        icons.push_back(icon(a * 36));
    std::vector<Entry> list(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Entry& e = list[size_t(i)];
        e.id = newEntryId();
        e.app.name = QString::fromUtf8(Apps[i % 10]);
        e.title = QString::fromUtf8(Titles[(i * 7) % 10]) + QStringLiteral(" %1").arg(i);
        e.icon = icons[size_t(i % 10)];
        e.minimized = i % 11 == 5;
        e.otherSpace = i % 13 == 7;
        if (thumbs)
            e.thumb = capture(i * 9);
    }
    return list;
}

struct Fixture {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("settings.json")};
    Settings settings{store};
    SwitcherView view{settings};
    RunView content;
    QImage image;

    Fixture(int count, bool preview)
    {
        content.entries = entries(count, preview);
        content.previewMode = preview;
        content.selected = 1;
        content.hint = QStringLiteral("Tab move   1–9 jump   Q quit   W close   M min   H hide   / search");
        view.draw(content);
        image = QImage(view.preferredSize(), QImage::Format_ARGB32_Premultiplied);
    }

    void paint()
    {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        view.render(painter);
    }
};

void paintPanel(benchmark::State& state, int count, bool preview)
{
    Fixture f(count, preview);
    f.paint();  // the first paint of a process fills the caches; later runs reuse them
    int selected = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.content.selected = selected++ % count;
        f.view.draw(f.content);
        state.ResumeTiming();
        f.paint();
        benchmark::DoNotOptimize(f.image.constBits());
    }
}

// What a Tab costs before the paint: the Switcher hands the new selection to a panel, which
// schedules the repaint of the two tiles (8 rows shown, as on a 1080-pixel screen).
void handOverTab(benchmark::State& state, int count)
{
    Fixture f(count, false);
    f.content.maxRows = 8;
    f.view.draw(f.content);
    int selected = 0;
    for (auto _ : state) {
        f.content.selected = selected++ % std::min(count, 64);
        f.view.select(f.content.selected, f.content.firstRow);
    }
}
void BM_HandOverTab40(benchmark::State& state) { handOverTab(state, 40); }
void BM_HandOverTab2000(benchmark::State& state) { handOverTab(state, 2000); }

void BM_PaintPanel40(benchmark::State& state) { paintPanel(state, 40, false); }
void BM_PaintPanel200(benchmark::State& state) { paintPanel(state, 200, false); }
void BM_PaintPreviewPanel40(benchmark::State& state) { paintPanel(state, 40, true); }

// A new run brings new entries (fresh ids and titles) but mostly the same icons.
void BM_PaintPanel40NewEntries(benchmark::State& state)
{
    Fixture f(40, false);
    f.paint();
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Entry> list = entries(40, false);
        for (Entry& e : list)
            e.title += QStringLiteral(" run %1").arg(run);
        ++run;
        f.content.entries = std::move(list);
        f.view.draw(f.content);
        state.ResumeTiming();
        f.paint();
        benchmark::DoNotOptimize(f.image.constBits());
    }
}

void BM_ScaleToFitCapture(benchmark::State& state)
{
    QImage screen(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    screen.fill(QColor(40, 120, 200));
    for (auto _ : state)
        benchmark::DoNotOptimize(scaleToFit(screen, 380, 200));
}

} // namespace

BENCHMARK(BM_PaintPanel40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPanel200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPreviewPanel40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandOverTab40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HandOverTab2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintPanel40NewEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleToFitCapture)->Unit(benchmark::kMillisecond);
