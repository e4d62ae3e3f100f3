// The Settings window: one control per preference, written to the store the moment it changes,
// the keyboard and window-capture status, the two extra shortcuts and the reset. Built once and
// shown again on request.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "platform/KeyboardHook.h"
#include "platform/Listeners.h"
#include "windows/Ask.h"
#include "windows/SettingsChoices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace zumo {

class ActiveSlots;
class Banner;
class FormGrid;
class LoginItem;
class Permissions;
class Settings;
class SettingsStore;

enum class SettingsTab { switcher = 0, extras = 1, general = 2 };

struct SettingsWindowDeps {
    SettingsStore& store;
    Settings& settings;
    ActiveSlots& slots; // rebuilt after every change, so the next key press uses it
    const Permissions& permissions;
    LoginItem* loginItem = nullptr;                            // "Launch at login" is left out without one
    std::function<bool()> tapActive;                           // the keyboard hook is installed
    std::function<std::vector<HookShortcut>()> takenShortcuts; // shortcuts another program holds
    std::function<void()> checkUpdates; // "Check for Updates…" is left out without one
    Ask ask = askWithMessageBox;
    std::function<ShortcutHolding()> holding; // who holds the taken shortcuts; unknown without one
};

class SettingsWindow final : public QWidget {
  public:
    explicit SettingsWindow(SettingsWindowDeps deps, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // Sets every control and status line from the store and the platform.
    void load();
    // Loads, selects the tab (unless the window is open already) and brings the window to the front.
    void openTab(SettingsTab tab);
    // Whether the status line last showed screen capture as granted; nothing before the first load.
    std::optional<bool> shownCapture() const { return m_shownCapture; }
    // Asks, then removes every preference (statistics and hidden apps stay) and applies the
    // defaults: login item on, appearance, shortcuts.
    void resetDefaults();

    // After every save, change of the extra shortcuts and reset.
    Notifier<> changed;
    // The "Hidden Apps…" and "Statistics…" buttons.
    std::function<void()> onHidden;
    std::function<void()> onStats;

  private:
    struct Binding;
    QWidget* buildSwitcherTab();
    QWidget* buildExtrasTab();
    QWidget* buildGeneralTab();
    QWidget* buildFooter();
    void addShortcutRows(FormGrid& form, int index);
    QCheckBox* addCheck(const QString& key, bool fallback, const QString& text);
    QComboBox* addPopup(const QString& key, const QStringList& items, std::function<int()> current,
                        std::function<void(int)> write);
    QComboBox* addIndexPopup(const QString& key, const QStringList& items, std::function<int()> current);
    void fitTab();
    void saved();
    void changeLoginItem(bool on);
    void applyShortcuts();
    void loadShortcuts();
    void loadStatus();

    SettingsWindowDeps d;
    std::vector<Binding> m_bindings;
    Banner* m_banner = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_keyboardStatus = nullptr;
    QLabel* m_keyboardNote = nullptr;
    QCheckBox* m_freeBox = nullptr;  // shown where the window manager holds a shortcut Zumo can free
    QLabel* m_captureStatus = nullptr;
    QLabel* m_captureNote = nullptr;
    std::optional<bool> m_shownCapture;
    QCheckBox* m_loginBox = nullptr;
    QLabel* m_loginNote = nullptr;
    QCheckBox* m_perAppBox = nullptr;
    QCheckBox* m_counterBox = nullptr;
    std::array<QCheckBox*, 2> m_slotOn{};
    std::array<QComboBox*, 2> m_slotMod{};
    std::array<QComboBox*, 2> m_slotKey{};
    std::array<QComboBox*, 2> m_slotFilter{};
    QLabel* m_slotNote = nullptr;
    QString m_slotConflict; // the last combination refused, until the next change of the shortcuts
};

} // namespace zumo
