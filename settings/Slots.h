// The shortcuts that open the switcher, and the list of those currently active.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Listeners.h"

namespace zumo {

class Settings;

enum class SlotFilter { all = 0, currentApp = 1, currentSpace = 2, tabs = 3, minimized = 4 };

// A filter from its stored number; nothing outside 0...4.
std::optional<SlotFilter> slotFilterFromRaw(std::int64_t raw);

struct Slot {
    std::uint64_t mask = 0;  // Control/Option bits only
    std::int64_t key = 0;    // virtual key code
    SlotFilter filter = SlotFilter::all;
    bool operator==(const Slot&) const = default;
};

// Modifier and key tables of the extra shortcuts, by stored index.
std::uint64_t slotModifierMask(int index);
std::int64_t slotKeyCode(int index);
QString slotKeyTitle(int index);

// The shortcut list the settings describe, in match order (pure).
std::vector<Slot> buildSlots(const Settings& settings);

// The process-wide list matched first-wins by the key handler.
class ActiveSlots {
public:
    ActiveSlots();
    const std::vector<Slot>& slots() const { return m_slots; }
    // Recomputes from the settings; replaces the list (and notifies changed) only when it differs.
    bool rebuildSlots(const Settings& settings);
    // The list was replaced. Main thread.
    Notifier<> changed;

private:
    std::vector<Slot> m_slots;
};

} // namespace zumo
