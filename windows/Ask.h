// Confirmation questions of the windows, behind a function so tests can answer them.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zumo {

struct Question {
    QString text;        // the question, e.g. "Reset all settings to defaults?"
    QString informative; // a second line; may be empty
    QString confirm;     // the title of the button that goes ahead; the other one is "Cancel"
};

// True only when the user chose the confirming button.
using Ask = std::function<bool(QWidget* parent, const Question& question)>;

// Asks with a modal message box; Escape and closing the box count as "Cancel".
bool askWithMessageBox(QWidget* parent, const Question& question);

} // namespace zumo
