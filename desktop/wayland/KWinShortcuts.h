// The switcher's shortcuts on KWin. KWin's own task switcher holds Alt+Tab in the user's global
// shortcuts, and a key can have only one holder: with the user's consent (the setting that also
// frees the shortcuts from an X11 window manager) Zumo moves the key to its script's action,
// records what it changed in the settings store, and puts it back at quit, or at the next start
// after a crash.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace zumo {
class SettingsStore;
}

namespace zumo::wayland {

// The kglobalaccel calls this needs; tests give their own.
class GlobalShortcuts {
public:
    virtual ~GlobalShortcuts() = default;
    // The action holding key (Qt key code with modifiers): component, action and their
    // friendly names; empty when none does.
    virtual QStringList holder(int key) = 0;
    virtual std::vector<int> keys(const QStringList& action) = 0;
    virtual bool setKeys(const QStringList& action, const std::vector<int>& keys) = 0;
};

// kglobalaccel on the session bus (inside kwin_wayland on Plasma).
class BusGlobalShortcuts final : public GlobalShortcuts {
public:
    QStringList holder(int key) override;
    std::vector<int> keys(const QStringList& action) override;
    bool setKeys(const QStringList& action, const std::vector<int>& keys) override;
};

class KWinShortcuts {
public:
    KWinShortcuts(SettingsStore& store, GlobalShortcuts& shortcuts);
    ~KWinShortcuts() { giveBack(); }
    KWinShortcuts(const KWinShortcuts&) = delete;
    KWinShortcuts& operator=(const KWinShortcuts&) = delete;

    // Gives each of the script's actions its key: a free key at once; one held by KWin's own
    // action only with consent, recording the change. Returns a sentence for the user naming
    // what still holds a key and how to free it; nothing when every key is Zumo's.
    std::optional<QString> take();
    // Puts back every recorded key whose action the user has not given another key since, and
    // takes the keys from the script's actions. At quit, and at start for a run that crashed.
    void giveBack();

    // What the last take() left to KWin: the action holding Alt+Tab (empty when none).
    QString holder() const { return m_holder; }
    // The consent take() follows, and whether the user was asked at all.
    bool consented() const;
    bool asked() const;
    void setConsented(bool yes);

private:
    SettingsStore& m_store;
    GlobalShortcuts& m_shortcuts;
    QString m_holder;
};

} // namespace zumo::wayland
