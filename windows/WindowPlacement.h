// How the shell's small fixed windows are laid out and presented.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace zumo {

// A child frame given from the bottom-left corner of a content area of the given height (the
// way these windows' layouts are written down), as a Qt rectangle from the top left.
QRect fromBottomLeft(int x, int y, int width, int height, int contentHeight);
// A label of the given pixel size and weight, centred or left-aligned, at frame.
QLabel* addLabel(QWidget* parent, const QString& text, int pixelSize, QFont::Weight weight, QRect frame,
                 bool centred = true);
// Shows the window centred on the primary screen, raised and given the keyboard focus; a window
// shown before comes back centred again.
void presentCentred(QWidget& window);

} // namespace zumo
