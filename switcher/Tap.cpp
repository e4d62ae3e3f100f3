// Carries out the key handler's decisions on the switcher, the hook and the counters.
#include "switcher/Tap.h"

#include "platform/Clock.h"
#include "platform/Permissions.h"
#include "settings/Settings.h"
#include "settings/Slots.h"
#include "stats/Counters.h"
#include "switcher/Switcher.h"
#include "platform/Log.h"

namespace zumo {
namespace {

// The refusal is the same on every poll; one log line per process says it all.
bool s_tapFailLogged = false;

} // namespace

Tap::Tap(Switcher& sw, KeyboardHook& hook, ActiveSlots& slots, const Settings& settings, Counters& counters,
         Permissions& permissions, const Clock& clock)
    : m_sw(sw)
    , m_hook(hook)
    , m_slots(slots)
    , m_settings(settings)
    , m_counters(counters)
    , m_permissions(permissions)
    , m_clock(clock)
{
    m_slotsChanged = m_slots.changed.subscribe([this] { registerShortcuts(); });
    // On X11 the hook sees keys other than the shortcuts only while it holds a grab.
    m_openChanged = m_sw.openChanged.subscribe([this](bool open) { m_hook.setCapturing(open); });
    registerShortcuts();
}

Tap::~Tap()
{
    if (m_hook.exists())
        m_hook.destroy();
}

void Tap::registerShortcuts()
{
    std::vector<HookShortcut> shortcuts;
    for (const Slot& slot : m_slots.slots())
        shortcuts.push_back(HookShortcut{slot.mask, slot.key});
    m_hook.setShortcuts(shortcuts);
}

bool Tap::start()
{
    if (m_hook.exists())
        return true;
    if (!m_permissions.accessibilityTrusted())
        return false;
    if (!m_hook.create([this](const KeyEvent& event) { return handle(event); })) {
        if (!s_tapFailLogged) {
            s_tapFailLogged = true;
            appLog(QStringLiteral("event tap creation failed (Input Monitoring may be needed)"));
        }
        if (!m_hook.listenAccessGranted())
            m_hook.requestListenAccess();
        return false;
    }
    registerShortcuts();
    m_hook.enable();
    return true;
}

void Tap::stop()
{
    m_sw.finish(false);
    m_hook.destroy();
}

TapContext Tap::context(const KeyEvent& event) const
{
    TapContext c;
    // A run waiting only for its entries to commit, once the trigger was pressed again, takes
    // no more keys: a shortcut opens the next run.
    c.open = m_sw.isOpen() && !(m_sw.isCommitPending() && m_reheld);
    c.loading = m_sw.isLoading();
    c.searching = m_sw.isSearching();
    c.activeMask = m_activeMask;
    c.activeKey = m_activeKey;
    if (c.open && !c.loading)
        c.shown = int(m_sw.content().entries.size());
    if (event.type != KeyEventType::KeyDown)
        return c;
    c.enabled = m_settings.enabled();
    const double pauseUntil = m_settings.pauseUntil();
    c.paused = pauseUntil > 0 && m_clock.nowSeconds() < pauseUntil;
    return c;
}

bool Tap::handle(const KeyEvent& event)
{
    if (!m_sw.isCommitPending())
        m_reheld = false;
    else if (event.type == KeyEventType::FlagsChanged && m_activeMask &&
             (event.flags & m_activeMask) == m_activeMask)
        m_reheld = true;
    const TapAction action = decideTap(event, context(event), m_slots.slots());
    apply(action);
    return action.passOn;
}

void Tap::apply(const TapAction& action)
{
    if (action.commitFirst)
        m_sw.finish(true);
    switch (action.verb) {
    case TapVerb::none:
        break;
    case TapVerb::open:
        if (m_sw.isOpen() && !(m_sw.isCommitPending() && m_reheld))
            break;
        m_activeMask = action.mask;
        m_activeKey = action.key;
        if (action.filter == SlotFilter::currentApp)
            m_counters.bumpCounter(QStringLiteral("perapp"));
        m_sw.open(action.backward, action.filter);
        break;
    default:
        applyOpenRun(action);
        break;
    }
    if (action.reenable)
        m_hook.enable();
}

void Tap::applyOpenRun(const TapAction& action)
{
    switch (action.verb) {
    case TapVerb::commit: m_sw.finish(true); break;
    case TapVerb::cancel: m_sw.finish(false); break;
    case TapVerb::move: m_sw.move(action.amount); break;
    case TapVerb::moveRow: m_sw.moveRow(action.amount); break;
    case TapVerb::leaveSearch: m_sw.leaveSearch(); break;
    case TapVerb::backspace: m_sw.backspace(); break;
    case TapVerb::type: m_sw.typeText(QString(action.character)); break;
    case TapVerb::jump: m_sw.jump(action.amount); break;
    case TapVerb::quit: m_sw.quitSelected(); break;
    case TapVerb::close: m_sw.closeSelected(); break;
    case TapVerb::minimize: m_sw.minimizeSelected(); break;
    case TapVerb::hide: m_sw.hideSelected(); break;
    case TapVerb::snap: m_sw.snapSelected(action.snap); break;
    case TapVerb::beginSearch: m_sw.beginSearch(); break;
    case TapVerb::none:
    case TapVerb::open: break;
    }
}

} // namespace zumo
