// The extra-shortcut tables, the shortcut list built from the settings and the active list.
#include "settings/Slots.h"

#include <algorithm>
#include <array>

#include "settings/Settings.h"

namespace zumo {
namespace {

constexpr std::uint64_t OptionMask = 0x80000;
constexpr std::uint64_t ControlMask = 0x40000;
constexpr std::int64_t TabKey = 48;
constexpr std::int64_t GraveKey = 50;

constexpr std::array<std::uint64_t, 3> ModifierMasks = {OptionMask, ControlMask, OptionMask | ControlMask};
constexpr std::array<std::int64_t, 4> KeyCodes = {TabKey, GraveKey, 10, 49};

// Indexes outside a table are clamped, the same rule the stored indexes follow.
template <typename Table>
std::size_t tableIndex(const Table& table, int index)
{
    return std::size_t(std::clamp(index, 0, int(table.size()) - 1));
}

bool hasShortcut(const std::vector<Slot>& slots, const Slot& slot)
{
    return std::any_of(slots.begin(), slots.end(),
                       [&](const Slot& s) { return s.mask == slot.mask && s.key == slot.key; });
}

} // namespace

std::optional<SlotFilter> slotFilterFromRaw(std::int64_t raw)
{
    if (raw < 0 || raw > 4)
        return std::nullopt;
    return SlotFilter(int(raw));
}

std::uint64_t slotModifierMask(int index)
{
    return ModifierMasks[tableIndex(ModifierMasks, index)];
}

std::int64_t slotKeyCode(int index)
{
    return KeyCodes[tableIndex(KeyCodes, index)];
}

QString slotKeyTitle(int index)
{
    static const std::array<QString, 4> titles = {
        QStringLiteral("Tab"), QStringLiteral("`"), QStringLiteral("§"), QStringLiteral("Space")};
    return titles[tableIndex(titles, index)];
}

std::vector<Slot> buildSlots(const Settings& settings)
{
    const std::uint64_t trigger = settings.triggerMask();
    std::vector<Slot> slots{{trigger, TabKey, SlotFilter::all}};
    if (settings.perAppKey())
        slots.push_back({trigger, GraveKey, SlotFilter::currentApp});
    for (int n : {3, 4}) {
        if (!settings.slotOn(n))
            continue;
        const Slot extra{slotModifierMask(settings.slotMod(n)), slotKeyCode(settings.slotKey(n)), settings.slotFilter(n)};
        // The earlier entry wins, whatever its filter.
        if (!hasShortcut(slots, extra))
            slots.push_back(extra);
    }
    return slots;
}

ActiveSlots::ActiveSlots() : m_slots{{OptionMask, TabKey, SlotFilter::all}} {}

bool ActiveSlots::rebuildSlots(const Settings& settings)
{
    std::vector<Slot> fresh = buildSlots(settings);
    if (fresh == m_slots)
        return false;
    m_slots = std::move(fresh);
    changed.notify();
    return true;
}

} // namespace zumo
