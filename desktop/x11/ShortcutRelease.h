// Frees the switcher's shortcuts from a window manager that keeps its key bindings in GSettings,
// with the user's consent, and puts the bindings back. What was changed is kept in the settings
// store, so a run that ended without putting them back (a crash) does so at the next start.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "desktop/x11/ShortcutHolders.h"

namespace zumo {
class SettingsStore;
}

namespace zumo::x11 {

class ShortcutRelease {
public:
    // Runs `gsettings ARGS`, returning what it printed; none when it failed. Tests give their own.
    using GSettings = std::function<std::optional<QString>(const QStringList& args)>;

    explicit ShortcutRelease(SettingsStore& store, GSettings gsettings = runGSettings);

    // The edits that would free `shortcuts` from `holder`; empty when it keeps its bindings
    // elsewhere, gsettings cannot be run, or nothing of it binds them.
    std::vector<BindingEdit> plan(const ShortcutHolder& holder, const std::vector<HookShortcut>& shortcuts) const;
    // Makes the edits and records them for restore(); false when one failed (those made stay
    // recorded, so restore() still puts them back).
    bool unbind(const std::vector<BindingEdit>& edits);
    // Puts back every recorded binding the user has not changed since, and forgets the record.
    // Returns how many were put back.
    int restore();
    // Whether bindings unbound here wait to be put back.
    bool holdsEdits() const;
    // Whether the user agreed to free the shortcuts from window managers while Zumo runs, and
    // whether they were asked at all.
    bool consented() const;
    bool asked() const;
    void setConsented(bool yes);

    static std::optional<QString> runGSettings(const QStringList& args);

private:
    std::vector<BindingEdit> recorded() const;
    void record(const std::vector<BindingEdit>& edits);

    SettingsStore& m_store;
    GSettings m_gsettings;
};

} // namespace zumo::x11
