// The application menu's key equivalents. Linux has no global menu bar for them to live in, so
// they work in every window of Zumo's own: Ctrl+, opens Settings, Ctrl+W closes the window,
// Ctrl+Q quits.
#pragma once

#include <QObject>

#include "platform/Listeners.h"

namespace zumo {

enum class MainMenuAction { openSettings, quit };

// Watches the key presses of the whole application (the switcher panel never has the keyboard
// focus: its keys arrive through the key grab, not through Qt). Main thread, after QApplication.
class MainMenuKeys : public QObject {
public:
    MainMenuKeys();
    ~MainMenuKeys() override;

    // Settings and Quit go to the delegate; closing a window needs no one else.
    Notifier<MainMenuAction> triggered;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace zumo
