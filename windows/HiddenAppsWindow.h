// The Hidden Apps window: one row per application with a popup "Show in switcher" / "Hide from
// switcher", and "Add App…" to hide an installed application that is not running. Every choice
// is written to "appModes" at once; the switcher reads it on its next run.
#pragma once

#include <QWidget>
#include <functional>

#include "windows/HiddenAppRows.h"

class QGridLayout;
class QLabel;
class QPushButton;

namespace zumo {

class AppPicker;
class Settings;
class SettingsStore;

struct HiddenAppsDeps {
    SettingsStore& store;
    const Settings& settings;
    const Workspace& workspace;
    const AppCatalog& catalog;
};

class HiddenAppsWindow final : public QWidget {
  public:
    explicit HiddenAppsWindow(HiddenAppsDeps deps, QWidget* parent = nullptr);

    // Rebuilds the rows and brings the window to the front.
    void showWindow();
    // Rebuilds the rows from the running applications and the stored rules.
    void rebuildRows();
    // Opens the list of installed applications; the chosen one is hidden.
    void addApp();
    // Hides the application (gives it the added mode) and rebuilds the rows.
    void addRule(const QString& id);

  private:
    AppRules rules() const;
    void setRules(const AppRules& rules);
    void pick(const QString& id, int index);
    QWidget* addRow(int row, const HiddenAppRow& app); // returns the row's popup

    HiddenAppsDeps d;
    QWidget* m_rowsWidget = nullptr;
    QGridLayout* m_rows = nullptr;
    QLabel* m_empty = nullptr;
    QPushButton* m_addButton = nullptr;
};

} // namespace zumo
