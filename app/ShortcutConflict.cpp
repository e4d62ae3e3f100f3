// Who holds the switcher's shortcut, told everywhere the user looks, and freeing it with consent.
#include "app/ShortcutConflict.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>

#include "desktop/x11/KeyTranslation.h"
#include "desktop/x11/X11Desktop.h"
#include "platform/KeyCodes.h"
#include "platform/Log.h"
#include "settings/SettingsStore.h"
#include "shell/TrayIcon.h"
#include "windows/AppWindows.h"

namespace zumo {

using namespace x11;

namespace {

bool kglobalaccelRunning()
{
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(QStringLiteral("org.kde.kglobalaccel"));
}

} // namespace

ShortcutConflict::ShortcutConflict(ShortcutConflictDeps deps)
    : d(std::move(deps)), m_release(d.store, d.gsettings)
{
    // Settings shows who holds what: it follows the keys changing hands.
    m_taken = d.x11.hook->takenChanged.subscribe([this] { d.windows.reloadSettings(); });
    // What a run that crashed took from KWin goes back before the hook grabs the keys, or
    // kglobalaccel could not grab them again. check() takes them anew where the user agreed.
    // Only a start that finds such a record asks the bus at all.
    if (wayland::KWinShortcuts::recorded(d.store) && kglobalaccelRunning()) {
        wayland::BusGlobalShortcuts accel;
        wayland::KWinShortcuts(d.store, accel, {}).giveBack();
    }
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
    m_kwinHolds = kwinHolds(holder, taken);
    const bool holds = !edits.empty() || m_kwinHolds;
    if (grabbed) {
        // kglobalaccel, when it answered, has said whether KWin holds the keys; else its file tells.
        if (!holds && (m_kwin || !kwinBindsMain(holder)))
            return;
        // Mutter and Muffin grab through XInput 2, which the server does not weigh against core
        // grabs: both hold the key, and which switcher answers is chance. KWin's grabs come from
        // a service it starts, often after ours. Until their settings free the keys, they are theirs.
        hook.setRetakeOnTimer(false);
        hook.letGo();
    }
    const ConflictAdvice advice = conflictAdvice(holder, taken.front(), edits, m_kwinHolds);
    m_holding = {advice.holder, advice.text};
    m_edits = edits;
    // The window manager holds it and keeps it: retrying would only win it at a moment it
    // regrabs, and its own switcher would stop without a word.
    if (holds)
        hook.setRetakeOnTimer(false);
    appLog(advice.text);
    std::fprintf(stderr, "zumo: %s%s\n", hook.mainShortcutHeld() ? "" : "waiting - ", qPrintable(advice.text));
    std::fflush(stderr);
    if (TrayIcon* tray = d.tray ? d.tray() : nullptr)
        tray->showNotice(QStringLiteral("Zumo is waiting for its shortcut"), advice.text);
    if (holds)
        offer(holder.name, advice.text);
}

// Asks kwin_x11's kglobalaccel, when it runs, whether one of KWin's own actions holds a key.
bool ShortcutConflict::kwinHolds(const ShortcutHolder& holder, const std::vector<HookShortcut>& shortcuts)
{
    if (holder.name != QLatin1String("KWin") || !kglobalaccelRunning())
        return false;
    if (!m_kwin) {
        m_accel = std::make_unique<wayland::BusGlobalShortcuts>();
        m_kwin = std::make_unique<wayland::KWinShortcuts>(d.store, *m_accel, wayland::KWinShortcuts::keysFor(shortcuts, false));
    }
    m_kwin->held();
    return m_kwin->heldByKWin();
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

void ShortcutConflict::offer(const QString& holder, const QString& advice)
{
    if (m_release.consented()) {
        unbindAndTake();
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
        unbindAndTake();
}

void ShortcutConflict::unbindAndTake()
{
    if (!m_edits.empty())
        m_release.unbind(m_edits);
    if (m_kwinHolds)
        m_kwin->take();
    // The window manager lets go once it has read its changed settings; no event says when.
    d.x11.hook->setRetakeOnTimer(true);
    d.x11.hook->retakeShortcuts();
}

bool ShortcutConflict::holdsFreed() const
{
    return m_release.holdsEdits() || (m_kwin && m_kwin->holdsKeys());
}

void ShortcutConflict::restore()
{
    m_release.restore();
    if (m_kwin)
        m_kwin->giveBack();
}

ShortcutHolding ShortcutConflict::holding() const
{
    ShortcutHolding holding = m_holding;
    holding.canFree = !m_edits.empty() || m_kwinHolds || holdsFreed();
    return holding;
}

void ShortcutConflict::consentChanged()
{
    X11KeyboardHook& hook = *d.x11.hook;
    const bool yes = m_release.consented();
    if (yes && !holdsFreed() && (!m_edits.empty() || m_kwinHolds)) {
        unbindAndTake();
        return;
    }
    if (yes || !holdsFreed())
        return;
    // Given back now: the key first (on the server before kglobalaccel grabs it again, or its
    // grab fails), then the binding, and no retry takes it again.
    hook.setRetakeOnTimer(false);
    hook.letGo();
    hook.sync();
    restore();
}

void ShortcutConflict::giveBack()
{
    if (!holdsFreed())
        return;
    // The key first, or the window manager could not take it back. Closing the connection would
    // end the grabs only once the server noticed; a round trip after letting go says it did.
    m_taken = {};
    d.x11.hook->setRetakeOnTimer(false);
    d.x11.hook->letGo();
    d.x11.hook->sync();
    d.x11.hook->destroy();
    restore();
}

} // namespace zumo
