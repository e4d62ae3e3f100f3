// Ranks entries against a search: the best score of each entry's texts, best first.
#pragma once

#include <QString>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "switcher/Query.h"

namespace zumo {

// The texts an entry is searched by; empty ones are skipped.
struct SearchTexts {
    QString title;
    QString appName;
    QString windowTitle;
};

// The highest Fuzzy::score of the non-empty texts; 0 when none matches or all are empty.
// An empty query scores 1 for every item, even one whose texts are all empty.
int bestScore(const Query& query, const SearchTexts& texts);

// The texts of a run's entries, lower-cased and split into words once, the first time a search
// needs them, and then shared by every keystroke of the run. Any thread may rank against it; the
// first to need the prepared texts makes them while the others wait.
class SearchIndex {
  public:
    explicit SearchIndex(std::vector<SearchTexts> items);
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    std::size_t size() const { return m_items.size(); }
    // Makes the prepared texts now if no search has yet.
    void prepare() const { prepared(); }

    // The prepared texts; defined where they are used.
    struct Prepared;

  private:
    const Prepared& prepared() const;
    friend std::vector<std::size_t> rankByScore(const Query& query, const SearchIndex& items);

    std::vector<SearchTexts> m_items;
    mutable std::once_flag m_once;
    mutable std::unique_ptr<const Prepared> m_prepared;
};

// Indices of the items whose best score is above 0, highest score first, ties in list order.
// An empty query keeps every item in list order.
std::vector<std::size_t> rankByScore(const Query& query, const SearchIndex& items);
// The same for items prepared just for this call.
std::vector<std::size_t> rankByScore(const Query& query, const std::vector<SearchTexts>& items);

} // namespace zumo
