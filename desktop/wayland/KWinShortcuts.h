// The switcher's shortcuts on KWin. KWin's own task switcher holds Alt+Tab in the user's global
// shortcuts, and a key can have only one holder: with the user's consent (the setting that also
// frees the shortcuts from an X11 window manager) Zumo takes the key from KWin's action, records
// what it changed in the settings store, and puts it back at quit, or at the next start after a
// crash. On Wayland the key goes to the script's action; on X11 (kwin_x11, whose kglobalaccel
// grabs the keys) it is only freed, and Zumo grabs it itself.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "desktop/wayland/KWinMessages.h"
#include "platform/KeyCodes.h"
#include "platform/KeyboardHook.h"

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
    // A key Zumo wants (Qt key code with modifiers) and the script's action it goes to; none
    // when Zumo grabs it itself.
    struct Wanted {
        int key = 0;
        QString text;  // "Alt+Tab", for the user
        QString action;
    };
    // The keys kglobalaccel knows for the switcher's shortcuts, each with its Shift variant (the
    // reverse direction, which KWin binds as Alt+Shift+Backtab and Alt+~). toScript gives each
    // the script's action for it (registerShortcut in zumo-bridge.js): "Zumo next" and "Zumo
    // prev" for the first, "Zumo next 1" and "Zumo prev 1" for the second, and so on.
    static std::vector<Wanted> keysFor(const std::vector<HookShortcut>& shortcuts, bool toScript);

    // Until setWanted, only Alt+Tab and Alt+Shift+Tab, to the script.
    KWinShortcuts(SettingsStore& store, GlobalShortcuts& shortcuts,
                  std::vector<Wanted> wanted = keysFor({{keys::Option, keys::Tab}}, true));
    ~KWinShortcuts() { giveBack(); }
    KWinShortcuts(const KWinShortcuts&) = delete;
    KWinShortcuts& operator=(const KWinShortcuts&) = delete;

    // Gives each of the script's actions its key (a key Zumo grabs itself is only freed): a free
    // key at once; one held by KWin's own action only with consent, recording the change.
    // Returns a sentence for the user naming what still holds a key and how to free it; nothing
    // when every key is Zumo's.
    std::optional<QString> take() { return pass(true); }
    // What take() would say without consent, changing nothing.
    std::optional<QString> held() { return pass(false); }
    // Puts back every recorded key whose action the user has not given another key since, and
    // takes the keys from every action of the script's. At quit, at start for a run that
    // crashed, and before the shortcuts change.
    void giveBack();
    // The keys take() gives; what the last take() gave stays until giveBack().
    void setWanted(std::vector<Wanted> wanted) { m_wanted = std::move(wanted); }

    // Whether keys taken from KWin wait to be given back.
    bool holdsKeys() const { return recorded(m_store); }
    // Whether a run left keys taken from KWin to give back, without asking the bus.
    static bool recorded(const SettingsStore& store);
    // What the last take() or held() left to KWin: the action holding Alt+Tab (empty when none).
    QString holder() const { return m_holder; }
    // Whether one of KWin's own actions holds a key, which take() frees with consent.
    bool heldByKWin() const { return m_kwinHolds; }
    // The consent take() follows, and whether the user was asked at all.
    bool consented() const;
    bool asked() const;
    void setConsented(bool yes);

private:
    std::optional<QString> pass(bool change);

    SettingsStore& m_store;
    GlobalShortcuts& m_shortcuts;
    std::vector<Wanted> m_wanted;
    QString m_holder;
    bool m_kwinHolds = false;
};

} // namespace zumo::wayland
