// The key handler's decision for one keyboard event, as a pure function of the event, what the
// switcher looks like at that moment and the active shortcuts. The Tap carries the result out.
#pragma once

#include <QChar>
#include <cstdint>
#include <vector>

#include "platform/KeyboardHook.h"
#include "settings/Slots.h"
#include "inventory/Entry.h"

namespace zumo {

// What the handler knows when an event arrives.
struct TapContext {
    bool open = false;       // a switcher run is in progress
    bool loading = false;    // its entries are still being built
    bool searching = false;  // search mode is on
    int shown = 0;           // entries shown in the panel (0 while loading)
    std::uint64_t activeMask = 0;  // Control/Option bits held when the run was opened
    std::int64_t activeKey = 0;    // key code of the shortcut that opened it
    // Read for key-downs only: the switch is on, and no pause is running.
    bool enabled = true;
    bool paused = false;
};

enum class TapVerb {
    none,
    open,         // open(backward, filter); remember mask and key
    commit,       // finish(commit: true)
    cancel,       // finish(commit: false)
    move,         // move(by: amount)
    moveRow,      // moveRow(by: amount)
    leaveSearch,  // searching off, query emptied, refilter()
    backspace,
    type,         // append character to the query and refilter()
    jump,         // select index amount, bump "jumps", commit
    quit,
    close,
    minimize,
    hide,
    snap,         // snapSelected(to: snap)
    beginSearch,
};

struct TapAction {
    bool passOn = true;        // hand the event on to the focused application
    bool reenable = false;     // the system switched the hook off: switch it back on
    bool commitFirst = false;  // the trigger modifier went up before this key-down
    TapVerb verb = TapVerb::none;
    int amount = 0;
    SnapTo snap = SnapTo::left;
    QChar character;
    bool backward = false;              // open: Shift was held
    SlotFilter filter = SlotFilter::all;  // open: the slot's filter
    std::uint64_t mask = 0;             // open: the shortcut modifiers
    std::int64_t key = 0;               // open: the key code
};

// The first slot whose key equals keyCode and whose mask equals the shortcut bits of flags
// exactly; nullptr when none does.
const Slot* matchSlot(const std::vector<Slot>& slots, std::int64_t keyCode, std::uint64_t flags);

// The whole decision for one event. With commitFirst set, the verb is the one that applies
// after that commit: a run that was still loading stays open (its commit is deferred), any
// other run is closed, so the key is then matched against the shortcuts.
// Every key-down while a run stays open is swallowed; modifier changes always pass on.
TapAction decideTap(const KeyEvent& event, const TapContext& context, const std::vector<Slot>& slots);

// Whether a character may be typed into the search: a letter, a number, punctuation or U+0020.
bool isSearchCharacter(QChar character);

} // namespace zumo
