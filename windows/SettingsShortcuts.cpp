// The Settings window's extra shortcuts: a combination another shortcut already uses is
// explained and not stored, and the controls spring back to what is stored; one left without
// effect by a later change elsewhere (the main shortcut) is explained too.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "platform/Log.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"
#include "windows/SettingsChoices.h"
#include "windows/SettingsWindow.h"

namespace zumo {

void SettingsWindow::applyShortcuts()
{
    QString message;
    for (int i = 0; i < 2; ++i) {
        const int n = i + 3;
        const QString prefix = QStringLiteral("slot%1.").arg(n);
        const bool on = m_slotOn[i]->isChecked();
        const int mod = std::clamp(m_slotMod[i]->currentIndex(), 0, 2);
        const int key = std::clamp(m_slotKey[i]->currentIndex(), 0, 3);
        const int filter = std::clamp(m_slotFilter[i]->currentIndex(), 0, 4);
        const std::optional<int> conflict =
            on ? shortcutConflict(d.settings, n, slotModifierMask(mod), slotKeyCode(key)) : std::nullopt;
        d.store.setValue(prefix + QStringLiteral("filter"), filter);
        if (conflict) {
            message = conflictMessage(*conflict);
            continue;
        }
        d.store.setValue(prefix + QStringLiteral("on"), on);
        d.store.setValue(prefix + QStringLiteral("mod"), mod);
        d.store.setValue(prefix + QStringLiteral("key"), key);
    }
    m_slotConflict = message;
    appLog(QStringLiteral("settings changed"));
    d.slots.rebuildSlots(d.settings);
    loadShortcuts();
    changed.notify();
}

void SettingsWindow::loadShortcuts()
{
    for (int i = 0; i < 2; ++i) {
        const int n = i + 3;
        m_slotOn[i]->setChecked(d.settings.slotOn(n));
        m_slotMod[i]->setCurrentIndex(d.settings.slotMod(n));
        m_slotKey[i]->setCurrentIndex(d.settings.slotKey(n));
        m_slotFilter[i]->setCurrentIndex(int(d.settings.slotFilter(n)));
    }
    const QString shadowed = shadowedShortcutMessage(d.settings);
    const QString message = shadowed.isEmpty() ? m_slotConflict : shadowed;
    m_slotNote->setText(message.isEmpty() ? QStringLiteral(" ") : message);
    m_slotNote->setVisible(!message.isEmpty());
}

} // namespace zumo
