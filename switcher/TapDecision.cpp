// The pure per-event decision of the key handler.
#include "switcher/TapDecision.h"

#include <QString>

#include "platform/KeyCodes.h"

namespace zumo {
namespace {

TapAction swallow(TapVerb verb = TapVerb::none, int amount = 0)
{
    TapAction action;
    action.passOn = false;
    action.verb = verb;
    action.amount = amount;
    return action;
}

bool released(const TapContext& context, std::uint64_t flags)
{
    return (context.activeMask & ~flags) != 0;
}

TapAction decideClosed(const KeyEvent& event, const std::vector<Slot>& slots)
{
    if (event.flags & keys::Command)
        return {};
    const Slot* slot = matchSlot(slots, event.keyCode, event.flags);
    if (!slot)
        return {};
    TapAction action = swallow(TapVerb::open);
    action.mask = event.flags & keys::ShortcutMask;
    action.key = event.keyCode;
    action.filter = slot->filter;
    action.backward = (event.flags & keys::Shift) != 0;
    return action;
}

// Keys that act by their code, whatever the layout; none when the key is not one of them.
TapAction decideByCode(const KeyEvent& event, const TapContext& context)
{
    const int step = (event.flags & keys::Shift) ? -1 : 1;
    const std::int64_t code = event.keyCode;
    if (code == keys::Grave && !context.searching)
        return swallow(TapVerb::move, step);
    if (code == keys::Tab)
        return swallow(TapVerb::move, step);
    if (code == context.activeKey && !context.searching)
        return swallow(TapVerb::move, step);
    switch (code) {
    case keys::Return:
        return swallow(TapVerb::commit);
    case keys::Escape:
        return swallow(context.searching ? TapVerb::leaveSearch : TapVerb::cancel);
    case keys::Left:
        return swallow(TapVerb::move, -1);
    case keys::Right:
        return swallow(TapVerb::move, 1);
    case keys::Down:
        return swallow(TapVerb::moveRow, 1);
    case keys::Up:
        return swallow(TapVerb::moveRow, -1);
    default:
        return {};
    }
}

TapAction snapTo(SnapTo target)
{
    TapAction action = swallow(TapVerb::snap);
    action.snap = target;
    return action;
}

TapAction decideCommand(const QString& typed, const TapContext& context)
{
    if (typed.size() != 1)
        return swallow();
    const char16_t c = typed.front().unicode();
    switch (c) {
    case u'q': return swallow(TapVerb::quit);
    case u'w': return swallow(TapVerb::close);
    case u'm': return swallow(TapVerb::minimize);
    case u'h': return swallow(TapVerb::hide);
    case u'l': return snapTo(SnapTo::left);
    case u'r': return snapTo(SnapTo::right);
    case u't': return snapTo(SnapTo::top);
    case u'b': return snapTo(SnapTo::bottom);
    case u'f': return snapTo(SnapTo::full);
    case u'c': return snapTo(SnapTo::center);
    case u'/': return swallow(TapVerb::beginSearch);
    default: break;
    }
    if (c < u'1' || c > u'9')
        return swallow();
    // While loading the switcher keeps the jump, and checks it, until the entries are in.
    const int index = int(c - u'1');
    return index < context.shown || context.loading ? swallow(TapVerb::jump, index) : swallow();
}

TapAction decideSearchInput(const KeyEvent& event, const QString& typed)
{
    if (event.keyCode == keys::Delete)
        return swallow(TapVerb::backspace);
    if (typed.isEmpty())
        return swallow();
    const QChar first = typed.front();
    if (!isSearchCharacter(first))
        return swallow();
    TapAction action = swallow(TapVerb::type);
    action.character = first;
    return action;
}

TapAction decideOpen(const KeyEvent& event, const TapContext& context)
{
    TapAction action = decideByCode(event, context);
    if (action.verb != TapVerb::none)
        return action;
    // Only keys that get this far need their text, so the lower-casing is paid for here.
    const QString typed = event.characters.toLower();
    return context.searching ? decideSearchInput(event, typed) : decideCommand(typed, context);
}

TapAction decideKeyDown(const KeyEvent& event, const TapContext& context, const std::vector<Slot>& slots)
{
    if (!context.enabled || context.paused)
        return {};
    if (!context.open)
        return decideClosed(event, slots);
    if (!released(context, event.flags))
        return decideOpen(event, context);
    // The modifier went up without a flags event reaching us: commit first. A loading run
    // keeps going (its commit waits for the entries); any other run is over.
    TapAction action = context.loading ? decideOpen(event, context) : decideClosed(event, slots);
    action.commitFirst = true;
    return action;
}

} // namespace

const Slot* matchSlot(const std::vector<Slot>& slots, std::int64_t keyCode, std::uint64_t flags)
{
    const std::uint64_t mods = flags & keys::ShortcutMask;
    for (const Slot& slot : slots) {
        if (slot.key == keyCode && slot.mask == mods)
            return &slot;
    }
    return nullptr;
}

bool isSearchCharacter(QChar character)
{
    return character.isLetter() || character.isNumber() || character.isPunct() || character == u' ';
}

TapAction decideTap(const KeyEvent& event, const TapContext& context, const std::vector<Slot>& slots)
{
    switch (event.type) {
    case KeyEventType::DisabledByTimeout:
    case KeyEventType::DisabledByUserInput: {
        TapAction action;
        action.reenable = true;
        action.verb = context.open ? TapVerb::cancel : TapVerb::none;
        return action;
    }
    case KeyEventType::KeyUp: {
        TapAction action;
        action.passOn = !context.open;
        return action;
    }
    case KeyEventType::FlagsChanged: {
        TapAction action;
        if (context.open && released(context, event.flags))
            action.verb = TapVerb::commit;
        return action;
    }
    case KeyEventType::KeyDown:
        return decideKeyDown(event, context, slots);
    }
    return {};
}

} // namespace zumo
