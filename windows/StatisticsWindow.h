// The Statistics window: today, this period and all time for each metric, when the period and
// all-time counting began, the automatic new-period rule, a new period by hand, and a copy as
// text. Refreshes once a second while shown; no timer runs while it is hidden.
#pragma once

#include <QTimeZone>
#include <QWidget>
#include <array>
#include <vector>

#include "platform/Dispatch.h"
#include "windows/Ask.h"
#include "windows/StatsText.h"

class QComboBox;
class QLabel;
class QLayout;

namespace zumo {

class Clock;
class Counters;
class Settings;
class SettingsStore;

struct StatisticsWindowDeps {
    Counters& counters;
    SettingsStore& store; // "stats.auto"
    const Settings& settings;
    Dispatcher& dispatcher; // the refresh timer
    const Clock& clock;
    Ask ask = askWithMessageBox;
    QTimeZone zone = QTimeZone::systemTimeZone(); // of the dates shown
};

class StatisticsWindow final : public QWidget {
  public:
    explicit StatisticsWindow(StatisticsWindowDeps deps, QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    // Refreshes, starts the one-second refresh and brings the window to the front.
    void showWindow();
    // Reloads every number and text from the counters.
    void refresh();
    // Asks, then starts a new period.
    void resetPeriod();
    // Puts the statistics on the clipboard as plain text.
    void copyStats();
    // The rows as shown (for the copy).
    std::vector<StatsRow> rows() const;

  protected:
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    struct Cells {
        QString metric;
        std::array<QLabel*, 3> values;
    };
    QLayout* buildGrid();
    QLayout* buildAutoRow();
    QLayout* buildButtons();
    void scheduleTick();
    void stopTimer();

    StatisticsWindowDeps d;
    std::vector<Cells> m_cells;
    QLabel* m_periodInfo = nullptr;
    QLabel* m_allInfo = nullptr;
    QComboBox* m_autoBox = nullptr;
    Dispatcher::TimerId m_timer = 0;
};

} // namespace zumo
