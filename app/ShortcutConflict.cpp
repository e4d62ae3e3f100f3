// Who holds the switcher's shortcut, told everywhere the user looks, and freeing it with consent.
#include "app/ShortcutConflict.h"

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>

#include "desktop/x11/KeyTranslation.h"
#include "desktop/x11/X11Desktop.h"
#include "platform/Log.h"
#include "settings/SettingsStore.h"
#include "shell/TrayIcon.h"
#include "windows/AppWindows.h"

namespace zumo {

using namespace x11;

ShortcutConflict::ShortcutConflict(ShortcutConflictDeps deps)
    : d(std::move(deps)), m_release(d.store, d.gsettings)
{
    // Settings shows who holds what: it follows the keys changing hands.
    m_taken = d.x11.hook->takenChanged.subscribe([this] { d.windows.reloadSettings(); });
}

void ShortcutConflict::check()
{
    X11KeyboardHook& hook = *d.x11.hook;
    std::vector<HookShortcut> taken = hook.takenShortcuts();
    // Our grabs went through, yet the window manager may bind the keys too: it is then asked
    // about all of them.
    const bool grabbed = taken.empty();
    if (grabbed)
        taken = hook.shortcuts();
    if (taken.empty())
        return;
    const ShortcutHolder holder = shortcutHolder(d.x11.model->snapshot()->windowManagerName, taken.front());
    const std::vector<BindingEdit> edits = m_release.plan(holder, taken);
    if (grabbed) {
        if (edits.empty() && !kwinBindsMain(holder))
            return;
        // Mutter and Muffin grab through XInput 2, which the server does not weigh against core
        // grabs: both hold the key, and which switcher answers is chance. KWin's grabs come from
        // a service it starts, often after ours. Until their settings free the keys, they are theirs.
        hook.setRetakeOnTimer(false);
        hook.letGo();
    }
    const ConflictAdvice advice = conflictAdvice(holder, taken.front(), edits);
    m_holding = {advice.holder, advice.text};
    m_edits = edits;
    // The window manager holds it and keeps it: retrying would only win it at a moment it
    // regrabs, and its own switcher would stop without a word.
    if (!edits.empty())
        hook.setRetakeOnTimer(false);
    appLog(advice.text);
    std::fprintf(stderr, "zumo: %s%s\n", hook.mainShortcutHeld() ? "" : "waiting - ", qPrintable(advice.text));
    std::fflush(stderr);
    if (TrayIcon* tray = d.tray ? d.tray() : nullptr)
        tray->showNotice(QStringLiteral("Zumo is waiting for its shortcut"), advice.text);
    if (!edits.empty())
        offer(edits, holder.name, advice.text);
}

// KWin keeps its bindings in kglobalshortcutsrc, not GSettings.
bool ShortcutConflict::kwinBindsMain(const ShortcutHolder& holder) const
{
    if (holder.name != QLatin1String("KWin"))
        return false;
    QFile file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
               + QStringLiteral("/kglobalshortcutsrc"));
    const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    return kwinBinds(text, d.x11.hook->shortcuts().front());
}

void ShortcutConflict::offer(const std::vector<BindingEdit>& edits, const QString& holder, const QString& advice)
{
    if (m_release.consented()) {
        unbindAndTake(edits);
        return;
    }
    if (m_release.asked())
        return;  // the user said no once; the status in Settings still tells how
    d.windows.openSettings(SettingsTab::general);
    const QString name = shortcutName(d.x11.hook->takenShortcuts().front());
    const bool yes = d.ask(&d.windows.settingsWindow(),
                           {QStringLiteral("Take %1 from %2?").arg(name, holder),
                            advice + QStringLiteral("\n\nZumo can make this change while it runs and give %1 "
                                                    "back to %2 when it quits.")
                                         .arg(name, holder),
                            QStringLiteral("Take %1").arg(name)});
    m_release.setConsented(yes);
    if (yes)
        unbindAndTake(edits);
}

void ShortcutConflict::unbindAndTake(const std::vector<BindingEdit>& edits)
{
    m_release.unbind(edits);
    // The window manager lets go once it has read its changed settings; no event says when.
    d.x11.hook->setRetakeOnTimer(true);
    d.x11.hook->retakeShortcuts();
}

ShortcutHolding ShortcutConflict::holding() const
{
    ShortcutHolding holding = m_holding;
    holding.canFree = !m_edits.empty() || m_release.holdsEdits();
    return holding;
}

void ShortcutConflict::consentChanged()
{
    X11KeyboardHook& hook = *d.x11.hook;
    const bool yes = m_release.consented();
    if (yes && !m_release.holdsEdits() && !m_edits.empty()) {
        unbindAndTake(m_edits);
        return;
    }
    if (yes || !m_release.holdsEdits())
        return;
    // Given back now: the key first, then the binding, and no retry takes it again.
    hook.setRetakeOnTimer(false);
    hook.letGo();
    m_release.restore();
}

void ShortcutConflict::giveBack()
{
    if (!m_release.holdsEdits())
        return;
    // The key first, or the window manager could not take it back.
    d.x11.hook->destroy();
    m_release.restore();
}

} // namespace zumo
