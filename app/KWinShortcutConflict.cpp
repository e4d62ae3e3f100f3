// Telling about KWin's hold on the shortcut and taking it with consent.
#include "app/KWinShortcutConflict.h"

#include <cstdio>

#include "platform/KeyCodes.h"
#include "platform/Log.h"
#include "shell/TrayIcon.h"
#include "windows/AppWindows.h"

namespace zumo {

namespace {

std::vector<wayland::KWinShortcuts::Wanted> scriptKeys(const ActiveSlots& slots)
{
    std::vector<HookShortcut> shortcuts;
    for (const Slot& slot : slots.slots())
        shortcuts.push_back({slot.mask, slot.key});
    return wayland::KWinShortcuts::keysFor(shortcuts, true);
}

} // namespace

KWinShortcutConflict::KWinShortcutConflict(KWinShortcutConflictDeps deps) : d(std::move(deps))
{
    d.shortcuts.setWanted(scriptKeys(d.slots));
    m_slotsChanged = d.slots.changed.subscribe([this] { slotsChanged(); });
}

// A shortcut turned on or changed in Settings: what the old list took from KWin goes back
// first, then the script's actions get the new keys.
void KWinShortcutConflict::slotsChanged()
{
    d.shortcuts.giveBack();
    d.shortcuts.setWanted(scriptKeys(d.slots));
    m_advice = d.shortcuts.take().value_or(QString());
    d.windows.reloadSettings();
}

void KWinShortcutConflict::check()
{
    m_consented = d.shortcuts.consented();
    const std::optional<QString> advice = d.shortcuts.take();
    m_advice = advice.value_or(QString());
    if (!advice)
        return;
    appLog(*advice);
    std::fprintf(stderr, "zumo: %s\n", qPrintable(*advice));
    std::fflush(stderr);
    if (TrayIcon* tray = d.tray ? d.tray() : nullptr)
        tray->showNotice(QStringLiteral("Alt+Tab belongs to KWin"), *advice);
}

void KWinShortcutConflict::offer()
{
    if (m_advice.isEmpty() || d.shortcuts.asked())
        return;  // nothing to free, or the user said no once (Settings still tells how)
    d.windows.openSettings(SettingsTab::general);
    const QString holder = d.shortcuts.holder();
    const bool yes = d.ask(&d.windows.settingsWindow(),
                           {QStringLiteral("Take Alt+Tab from %1?").arg(holder),
                            m_advice + QStringLiteral("\n\nZumo can take it while it runs and give it back to KWin "
                                                     "when it quits."),
                            QStringLiteral("Take Alt+Tab")});
    d.shortcuts.setConsented(yes);
    consentChanged();
}

ShortcutHolding KWinShortcutConflict::holding() const
{
    if (m_advice.isEmpty())
        return {};
    return {d.shortcuts.holder(), m_advice, true};
}

std::vector<HookShortcut> KWinShortcutConflict::taken() const
{
    if (m_advice.isEmpty())
        return {};
    return {{keys::Option, keys::Tab}};
}

void KWinShortcutConflict::consentChanged()
{
    // Settings tells about every change of its values; only a change of this one counts.
    const bool consented = d.shortcuts.consented();
    if (consented == m_consented)
        return;
    m_consented = consented;
    if (!consented)
        d.shortcuts.giveBack();
    m_advice = d.shortcuts.take().value_or(QString());
    d.windows.reloadSettings();
}

} // namespace zumo
