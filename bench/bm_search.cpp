// Measures one search keystroke: preparing the query, scoring 1000 entries and ranking them; and
// the preparation of the entries' texts that a run does once, before its first keystroke.
#include <benchmark/benchmark.h>

#include <QStringList>
#include <random>

#include "switcher/Query.h"
#include "switcher/SearchRank.h"

namespace {

const QStringList kApps = {
    "Firefox",
    "Terminal",
    "Files",
    "Text Editor",
    "LibreOffice Writer",
    "Thunderbird",
    "Visual Studio Code",
    "Éditeur d’images",
    "Калькулятор",
    "Document Viewer",
    "Settings",
    "Slack",
};

const QStringList kWords = {
    "inbox",
    "report",
    "quarterly",
    "draft",
    "meeting",
    "notes",
    "zumo",
    "main.cpp",
    "README.md",
    "~/work/main",
    "build",
    "Google",
    "Mail",
    "Safari",
    "invoice",
    "2026-03-05",
    "-",
    "(3)",
    "Pull request #412",
    "review",
    "calendar",
    "Mozilla Firefox",
    "bash",
    "Downloads",
};
const QStringList kForeignWords = {"résumé", "Überblick", "Москва", "日本語", "naïve", "—"};

// A window-like title of 20 to 80 UTF-16 units from the word pool; about one in six carries a
// non-ASCII word, as titles in a mixed-language desktop do.
QString makeTitle(std::mt19937& random)
{
    std::uniform_int_distribution<int> target(20, 80);
    std::uniform_int_distribution<qsizetype> word(0, kWords.size() - 1);
    std::uniform_int_distribution<qsizetype> foreign(0, kForeignWords.size() - 1);
    const int length = target(random);
    QString title = random() % 6 == 0 ? kForeignWords[foreign(random)] + u' ' : QString();
    while (title.size() < length)
        title += kWords[word(random)] + u' ';
    return title.left(length).trimmed();
}

std::vector<zumo::SearchTexts> makeEntries(int count)
{
    std::mt19937 random(20260305);
    std::uniform_int_distribution<qsizetype> app(0, kApps.size() - 1);
    std::vector<zumo::SearchTexts> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back({makeTitle(random), kApps[app(random)], makeTitle(random)});
    return entries;
}

// Typical keystrokes, from a hit in most titles to a query that runs every tier and matches nothing.
const QStringList kQueries = {"m", "mai", "go ma", "reprot", "qzxw vbnk"};

void BM_SearchKeystroke1000(benchmark::State& state)
{
    const zumo::SearchIndex entries(makeEntries(1000));
    entries.prepare();
    const QString text = kQueries[state.range(0)];
    std::size_t shown = 0;
    for (auto _ : state) {
        const zumo::Query query(text);
        const std::vector<std::size_t> order = zumo::rankByScore(query, entries);
        shown = order.size();
        benchmark::DoNotOptimize(order.data());
    }
    state.SetLabel(text.toStdString() + " -> " + std::to_string(shown) + " shown");
}
BENCHMARK(BM_SearchKeystroke1000)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// Once per run, on a worker, as search mode begins.
void BM_SearchPrepare1000(benchmark::State& state)
{
    const std::vector<zumo::SearchTexts> texts = makeEntries(1000);
    for (auto _ : state) {
        const zumo::SearchIndex entries(texts);
        entries.prepare();
    }
}
BENCHMARK(BM_SearchPrepare1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
