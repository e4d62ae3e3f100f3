// What a switcher run shows: one value, owned by the Switcher and handed to the panels to draw.
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "inventory/Entry.h"

namespace zumo {

struct RunView {
    std::vector<Entry> entries;    // the tiles, in display order
    int selected = 0;              // index of the highlighted tile (may be out of range: none)
    std::optional<QString> query;  // present, possibly empty, only in search mode
    std::optional<QString> hint;   // the bottom line
    bool previewMode = false;      // window previews instead of large icons
    // With more rows than fit on the screen only maxRows of them are shown (0: no limit),
    // starting at row firstRow.
    int maxRows = 0;
    int firstRow = 0;
};

// Tiles per row: 5 with previews, 8 with icons; also the step of an Up or Down move.
inline int gridColumns(bool previewMode)
{
    return previewMode ? 5 : 8;
}

// The first row shown after the smallest scroll that shows the selected tile's row: the view's
// firstRow when that row is already shown or nothing is selected, clamped so the last shown row
// is never past the last row. 0 without a row limit.
int firstRowShowing(const RunView& view);

// The indices [first, last) of the tiles shown from firstRow on, maxRows rows of them (all
// without a row limit).
std::pair<int, int> shownTiles(const RunView& view);

} // namespace zumo
