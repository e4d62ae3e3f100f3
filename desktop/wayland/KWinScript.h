// Zumo's script inside KWin, loaded at start through KWin's D-Bus scripting interface and
// unloaded at quit (which also drops the shortcuts it registered).
#pragma once

#include <QString>

namespace zumo::wayland {

// Whether KWin runs on the session bus (org.kde.KWin is owned).
bool kwinRunning();

// The script file shipped with Zumo: share/zumo/kwin/ beside the program's bin/ (installed, and
// the build tree's copy); empty when it is missing.
QString kwinScriptPath();

class KWinScript {
public:
    // Loads and runs the script (a copy left by a Zumo that crashed is unloaded first). On
    // failure returns false with error set to a sentence the user can act on.
    bool load(QString& error);
    // Unloads it when loaded here. Also on destruction.
    void unload();
    ~KWinScript();

private:
    bool m_loaded = false;
};

} // namespace zumo::wayland
