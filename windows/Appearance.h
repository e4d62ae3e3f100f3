// The program's own look: light, dark, or whatever the desktop uses ("appearance" 0, 1, 2).
#pragma once

class QPalette;

namespace zumo {

// 0 or less: light; 1: dark; above 1: the desktop's own style and colours, as Qt found them at
// the first call. Light and dark use the Fusion style, which honours a palette everywhere.
// Main thread, after the QApplication exists; cheap when nothing changes.
void applyAppearance(int appearance);

QPalette lightPalette();
QPalette darkPalette();

} // namespace zumo
