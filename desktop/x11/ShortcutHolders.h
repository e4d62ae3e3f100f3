// Which window manager holds a shortcut on an X11 desktop and how the user frees it there: a
// table by the window manager's name, and the key binding edits for those that keep their key
// bindings in GSettings. Pure: no process runs here.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/KeyboardHook.h"

namespace zumo::x11 {

struct ShortcutHolder {
    QString name;         // as the user knows it ("Marco"); the _NET_WM_NAME as given when unknown
    QStringList schemas;  // the GSettings schemas of its key bindings; empty when it keeps none there
    QString howToFree;    // for the others: what to change, in its own words, and how to reload it
    bool known = true;    // a window manager that binds the switcher's keys by default
};

// The window manager named `wmName` (_NET_WM_NAME, any case); the advice for `shortcut` and its
// Shift variant (the reverse direction). An unknown or missing name gets general advice.
ShortcutHolder shortcutHolder(const QString& wmName, const HookShortcut& shortcut);

// One key binding setting, as it was and as freeing the shortcut leaves it.
struct BindingEdit {
    QString schema, key, before, after;  // values in GVariant text, as gsettings prints them
    bool operator==(const BindingEdit&) const = default;
};

// The edits that take `shortcut` and its Shift variant out of every binding in `listing` (what
// `gsettings list-recursively SCHEMA` prints): lists lose those accelerators, a single one
// becomes 'disabled'. Other accelerators of a binding stay.
std::vector<BindingEdit> freeingEdits(const QString& listing, const HookShortcut& shortcut);

// Whether KWin's global shortcuts (`kglobalshortcutsrc`, its text; empty when there is none) bind
// `shortcut` or its Shift variant to one of KWin's window switchers; KWin's defaults where the
// file says nothing.
bool kwinBinds(const QString& globalShortcuts, const HookShortcut& shortcut);

// What the user reads while `shortcut` is taken under the window manager `holder`.
struct ConflictAdvice {
    QString holder;  // the window manager's name where its settings show it holds the shortcut, else
                     // "another program"
    QString text;    // who holds it (or most likely does), and the exact commands or settings that free it
};
// `edits` are those planned from the window manager's settings: some means it is the holder, as
// does `holds` (KWin's global shortcuts, asked live, name one of its actions).
ConflictAdvice conflictAdvice(const ShortcutHolder& holder, const HookShortcut& shortcut,
                              const std::vector<BindingEdit>& edits, bool holds = false);

// The command a user types for each edit (`gsettings set SCHEMA KEY "VALUE"`), or for its undo.
QStringList editCommands(const std::vector<BindingEdit>& edits, bool undo = false);

} // namespace zumo::x11
