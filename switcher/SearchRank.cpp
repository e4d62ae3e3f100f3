// Scores every entry's texts against a search and orders the matches, best first.
#include "switcher/SearchRank.h"

#include <QHash>
#include <QThreadPool>
#include <algorithm>
#include <array>
#include <cstdint>
#include <latch>
#include <numeric>
#include <string>
#include <string_view>

#include "switcher/Fuzzy.h"

namespace zumo {
namespace {

int scoreUnlessEmpty(const Query& query, const QString& text)
{
    return text.isEmpty() ? 0 : Fuzzy::score(query, text);
}

} // namespace

int bestScore(const Query& query, const SearchTexts& texts)
{
    // An entry without any text still stays in the unfiltered list.
    if (query.whole.isEmpty())
        return 1;
    return std::max({scoreUnlessEmpty(query, texts.title), scoreUnlessEmpty(query, texts.appName),
                     scoreUnlessEmpty(query, texts.windowTitle)});
}

// Each distinct text once (every window of an app carries the same app name), lowered into one
// buffer, with its words.
struct SearchIndex::Prepared {
    struct Text {
        std::size_t begin = 0;
        std::size_t size = 0;
        std::size_t firstWord = 0;
        std::size_t words = 0;
        std::uint64_t held = 0;
        std::uint64_t pairs = 0;
    };
    static constexpr int None = -1;  // an empty text, which matches nothing

    std::u16string units;
    std::vector<std::u16string_view> words;
    std::vector<Text> texts;
    std::vector<std::array<int, 3>> itemTexts;  // title, app name, window title

    explicit Prepared(const std::vector<SearchTexts>& items)
    {
        QHash<QString, int> seen;
        const auto add = [&](const QString& text) {
            if (text.isEmpty())
                return None;
            if (const auto it = seen.constFind(text); it != seen.cend())
                return *it;
            Text t{.begin = units.size()};
            t.held = Fuzzy::appendLowered(text, units);
            t.size = units.size() - t.begin;
            t.pairs = pairSetOf(QStringView(units.data() + t.begin, qsizetype(t.size)));
            texts.push_back(t);
            return *seen.insert(text, int(texts.size()) - 1);
        };
        itemTexts.reserve(items.size());
        texts.reserve(items.size() * 2);
        qsizetype total = 0;
        for (const SearchTexts& item : items)
            total += item.title.size() + item.appName.size() + item.windowTitle.size();
        units.reserve(std::size_t(total));
        for (const SearchTexts& item : items)
            itemTexts.push_back({add(item.title), add(item.appName), add(item.windowTitle)});
        // The words point into `units`, which no longer grows. Titles average a word in six units.
        words.reserve(units.size() / 6);
        for (Text& t : texts) {
            t.firstWord = words.size();
            Fuzzy::appendWords(std::u16string_view(units).substr(t.begin, t.size), words);
            t.words = words.size() - t.firstWord;
        }
    }

    Fuzzy::PreparedText text(std::size_t i) const
    {
        const Text& t = texts[i];
        return {std::u16string_view(units).substr(t.begin, t.size), t.held, t.pairs,
                std::span(words).subspan(t.firstWord, t.words)};
    }
};

SearchIndex::SearchIndex(std::vector<SearchTexts> items) : m_items(std::move(items)) {}

SearchIndex::~SearchIndex() = default;

const SearchIndex::Prepared& SearchIndex::prepared() const
{
    std::call_once(m_once, [this] { m_prepared = std::make_unique<const Prepared>(m_items); });
    return *m_prepared;
}

namespace {

using Prepared = SearchIndex::Prepared;

// The scores of texts [begin, end) into scores.
void scoreRange(const Query& query, const Prepared& index, std::size_t begin, std::size_t end, std::vector<int>& scores)
{
    for (std::size_t i = begin; i < end; ++i)
        scores[i] = Fuzzy::score(query, index.text(i));
}

// Long lists are scored in two halves at once, the second on a spare pool thread when there is
// one, so a keystroke uses both cores; without a spare thread it all runs here.
std::vector<int> scoreTexts(const Query& query, const Prepared& index)
{
    constexpr std::size_t SplitFrom = 256;
    const std::size_t n = index.texts.size();
    std::vector<int> scores(n);
    if (n < SplitFrom) {
        scoreRange(query, index, 0, n, scores);
        return scores;
    }
    const std::size_t mid = n / 2;
    std::latch done(1);
    const bool helped = QThreadPool::globalInstance()->tryStart([&] {
        scoreRange(query, index, mid, n, scores);
        done.count_down();
    });
    scoreRange(query, index, 0, mid, scores);
    if (helped)
        done.wait();
    else
        scoreRange(query, index, mid, n, scores);
    return scores;
}

} // namespace

std::vector<std::size_t> rankByScore(const Query& query, const SearchIndex& items)
{
    std::vector<std::size_t> order;
    if (query.whole.isEmpty()) {
        order.resize(items.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        return order;
    }
    const Prepared& index = items.prepared();
    const std::vector<int> scores = scoreTexts(query, index);
    const auto best = [&](const std::array<int, 3>& texts) {
        int score = 0;
        for (const int text : texts)
            score = std::max(score, text == Prepared::None ? 0 : scores[std::size_t(text)]);
        return score;
    };
    // Scores are small numbers: a counting sort keeps ties in list order without comparing.
    constexpr int Top = Fuzzy::ScoreCeiling;
    std::vector<int> itemScores(index.itemTexts.size());
    std::array<std::size_t, Top + 1> start{};  // where each score's items begin, best first
    for (std::size_t i = 0; i < itemScores.size(); ++i)
        ++start[std::size_t(itemScores[i] = best(index.itemTexts[i]))];
    std::size_t matches = 0;
    for (std::size_t score = Top; score > 0; --score)
        matches += std::exchange(start[score], matches);
    order.resize(matches);
    for (std::size_t i = 0; i < itemScores.size(); ++i)
        if (itemScores[i] > 0)
            order[start[std::size_t(itemScores[i])]++] = i;
    return order;
}

std::vector<std::size_t> rankByScore(const Query& query, const std::vector<SearchTexts>& items)
{
    return rankByScore(query, SearchIndex(items));
}

} // namespace zumo
