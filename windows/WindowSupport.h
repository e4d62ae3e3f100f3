// What the application's windows share: bringing one to the front, form rows with labels and
// notes, and the tones of status text.
#pragma once

#include <QString>
#include <initializer_list>

#include "windows/SettingsChoices.h"

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QWidget;

namespace zumo {

// Shows the window centred on the screen under the pointer, raised and given the keyboard, at
// the size its contents ask for the first time and at the size the user left it later. A window
// already open (minimised too) only comes to the front, where it is and as it is.
void bringToFront(QWidget* window);

// A label column (right aligned) and a column of controls; rows are added top to bottom.
class FormGrid {
  public:
    explicit FormGrid(QWidget* page);
    // A row: label (may be empty) and the controls side by side. The label names the first
    // control for screen readers and keyboard mnemonics. Returns the controls' row layout.
    QHBoxLayout* addRow(const QString& label, std::initializer_list<QWidget*> controls);
    // A secondary note under the controls column, wrapping.
    QLabel* addNote(const QString& text);
    QGridLayout* grid() const { return m_grid; }

  private:
    QWidget* m_page;
    QGridLayout* m_grid;
    int m_rows = 0;
};

// A small, wrapping label in the secondary text colour.
QLabel* makeNote(const QString& text, QWidget* parent = nullptr);
// Colours a status label by its tone, from the current palette for the neutral one.
void setStatus(QLabel* label, const StatusLine& status);

} // namespace zumo
