// The pure rules of a switcher run: start index, wrap-around, filters, hint line, displays.
#include <algorithm>

#include "switcher/Switcher.h"

namespace zumo {
namespace {

// Half-open, so a pointer on the border between two displays belongs to exactly one.
bool contains(const QRectF& frame, QPointF point)
{
    return point.x() >= frame.left() && point.x() < frame.left() + frame.width() && point.y() >= frame.top()
        && point.y() < frame.top() + frame.height();
}

int pointerScreen(const std::vector<Screen>& screens, std::optional<int> mainScreen, QPointF pointer)
{
    for (std::size_t i = 0; i < screens.size(); ++i) {
        if (contains(screens[i].frame, pointer))
            return int(i);
    }
    if (mainScreen && *mainScreen >= 0 && std::size_t(*mainScreen) < screens.size())
        return *mainScreen;
    return 0;
}

} // namespace

int startIndex(int n, bool backward, std::optional<Pid> frontPid, Pid firstEntryPid)
{
    if (n <= 0)
        return 0;
    if (backward)
        return n - 1;
    if (!frontPid || firstEntryPid != *frontPid)
        return 0;
    // The front app's own window is first: preselect the one used before it.
    return std::min(n, 2) - 1;
}

int wrapIndex(long long index, int n)
{
    if (n <= 0)
        return 0;
    return int(((index % n) + n) % n);
}

std::vector<Entry> keepForFilter(std::vector<Entry> entries, SlotFilter filter)
{
    auto drop = [filter](const Entry& e) {
        switch (filter) {
        case SlotFilter::currentSpace: return e.otherSpace;
        case SlotFilter::minimized: return !e.minimized;
        case SlotFilter::tabs: return !e.tab.has_value();
        case SlotFilter::all:
        case SlotFilter::currentApp: return false;
        }
        return false;
    };
    entries.erase(std::remove_if(entries.begin(), entries.end(), drop), entries.end());
    return entries;
}

std::optional<QString> hintLine(bool searching, const std::optional<QString>& notice, bool showHints)
{
    if (searching)
        return QString::fromUtf8(SearchHint);
    if (notice)
        return notice;
    if (showHints)
        return QString::fromUtf8(KeyHint);
    return std::nullopt;
}

std::vector<int> targetScreenIndices(const std::vector<Screen>& screens, std::optional<int> mainScreen,
                                     QPointF pointer, int displayMode)
{
    if (screens.empty())
        return {};
    const int pointerIndex = pointerScreen(screens, mainScreen, pointer);
    if (displayMode <= 0)
        return {pointerIndex};
    if (displayMode == 1)
        return {0};
    std::vector<int> order{pointerIndex};
    for (int i = 0; i < int(screens.size()); ++i) {
        if (i != pointerIndex)
            order.push_back(i);
    }
    return order;
}

} // namespace zumo
