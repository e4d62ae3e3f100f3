// The message-box form of a confirmation question.
#include "windows/Ask.h"

#include <QMessageBox>
#include <QPushButton>

namespace zumo {

bool askWithMessageBox(QWidget* parent, const Question& question)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Question);
    box.setText(question.text);
    box.setInformativeText(question.informative);
    QPushButton* confirm = box.addButton(question.confirm, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    // Going ahead must be a deliberate choice: Return alone cancels.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == confirm;
}

} // namespace zumo
