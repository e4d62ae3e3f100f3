// The program's own light or dark look, or the desktop's.
#pragma once

#include <QPalette>

namespace zumo {

enum class AppearanceChoice { Light, Dark, System };

// The stored "appearance": 0 or below light, 1 dark, 2 or more follow the desktop.
AppearanceChoice appearanceChoice(int setting);
QPalette lightPalette();
QPalette darkPalette();
// Gives the application the palette of the choice. Following the desktop restores the palette
// the platform theme gave at start (and, with Qt 6.5 or later, its colour scheme), so it is
// light or dark as the desktop is, where Qt can read it. Main thread, after QApplication exists.
void applyAppearance(int setting);

} // namespace zumo
