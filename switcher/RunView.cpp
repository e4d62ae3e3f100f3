// Which rows of a run's tiles are shown when there are more than fit.
#include "switcher/RunView.h"

#include <algorithm>

namespace zumo {

int firstRowShowing(const RunView& view)
{
    if (view.maxRows <= 0)
        return 0;
    const int columns = gridColumns(view.previewMode);
    const int count = int(view.entries.size());
    const int rows = std::max(1, (count + columns - 1) / columns);
    const int shown = std::min(rows, view.maxRows);
    int first = std::clamp(view.firstRow, 0, rows - shown);
    if (view.selected >= 0 && view.selected < count) {
        const int row = view.selected / columns;
        if (row < first)
            first = row;
        else if (row >= first + shown)
            first = row - shown + 1;
    }
    return first;
}

std::pair<int, int> shownTiles(const RunView& view)
{
    const int count = int(view.entries.size());
    if (view.maxRows <= 0)
        return {0, count};
    const int columns = gridColumns(view.previewMode);
    const int first = std::clamp(view.firstRow * columns, 0, count);
    return {first, std::clamp(first + view.maxRows * columns, first, count)};
}

} // namespace zumo
