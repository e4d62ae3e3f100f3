// "Add App": a searchable list of the installed applications to choose one from.
#pragma once

#include <QDialog>
#include <vector>

#include "platform/AppCatalog.h"

class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zumo {

class AppPicker final : public QDialog {
  public:
    AppPicker(const std::vector<InstalledApp>& apps, QWidget* parent = nullptr);
    // The id of the chosen application; empty when none is chosen.
    QString chosenId() const;

  private:
    void filter(const QString& text);
    void updateButtons();

    QLineEdit* m_search;
    QListWidget* m_list;
    QDialogButtonBox* m_buttons;
    QPushButton* m_add = nullptr;
};

// The icon of an installed application: a theme name or a file path; a null icon when neither.
QIcon installedAppIcon(const QString& icon);

} // namespace zumo
