// Builds the Statistics window and keeps its numbers current while it is shown.
#include "windows/StatisticsWindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Clock.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "windows/WindowSupport.h"
#include "stats/Counters.h"

namespace zumo {

namespace {

const QString AppName = QStringLiteral("Zumo");
const QString AutoKey = QStringLiteral("stats.auto");
const QString AllSinceKey = QStringLiteral("stats.allSince");
const QString PeriodSinceKey = QStringLiteral("stats.periodSince");
const std::array<const char*, 3> Columns{"Today", "This period", "All time"};
const std::array<const char*, 3> ColumnNames{"today", "period", "all"};

QLabel* headerLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    font.setPointSizeF(font.pointSizeF() * 0.92);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* valueLabel(QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("0"), parent);
    QFont font = label->font();
    font.setWeight(QFont::Medium);
    font.setPointSizeF(font.pointSizeF() * 1.08);
    label->setFont(font);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* infoLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

StatisticsWindow::StatisticsWindow(StatisticsWindowDeps deps, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), d(std::move(deps))
{
    setWindowTitle(AppName + QStringLiteral(" Statistics"));
    setObjectName(QStringLiteral("statisticsWindow"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(24, 20, 24, 20);
    root->setSpacing(14);
    root->setSizeConstraint(QLayout::SetFixedSize);

    root->addLayout(buildGrid());

    m_periodInfo = infoLabel(QStringLiteral("periodInfo"), this);
    m_allInfo = infoLabel(QStringLiteral("allInfo"), this);
    root->addWidget(m_periodInfo);
    root->addWidget(m_allInfo);

    root->addLayout(buildAutoRow());
    root->addLayout(buildButtons());

    // The info lines change length every second; a fixed width keeps the window from jittering.
    const int infoWidth =
        fontMetrics().horizontalAdvance(QStringLiteral("Counting all-time since 28 Sep 2026, 23:59:59 ")) +
        24;
    m_periodInfo->setMinimumWidth(infoWidth);
    m_allInfo->setMinimumWidth(infoWidth);
    refresh();
}

QLayout* StatisticsWindow::buildGrid()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(26);
    grid->setVerticalSpacing(9);
    grid->setColumnStretch(0, 1);
    for (int c = 0; c < 3; ++c)
        grid->addWidget(headerLabel(QString::fromLatin1(Columns[c]), this), 0, c + 1);
    int row = 1;
    for (const MetricTitle& metric : StatsMetrics) {
        const QString title = QString::fromUtf8(metric.title);
        grid->addWidget(new QLabel(title, this), row, 0);
        Cells cells{QString::fromLatin1(metric.metric), {}};
        for (int c = 0; c < 3; ++c) {
            QLabel* value = cells.values[c] = valueLabel(this);
            value->setObjectName(cells.metric + QLatin1Char('.') + QLatin1String(ColumnNames[c]));
            value->setAccessibleName(title + QStringLiteral(", ") +
                                     QString::fromLatin1(Columns[c]).toLower());
            grid->addWidget(value, row, c + 1);
        }
        m_cells.push_back(cells);
        ++row;
    }
    return grid;
}

QLayout* StatisticsWindow::buildAutoRow()
{
    auto* autoRow = new QHBoxLayout;
    autoRow->setSpacing(8);
    auto* autoLabel = new QLabel(QStringLiteral("Start a new period automatically:"), this);
    m_autoBox = new QComboBox(this);
    m_autoBox->setObjectName(QStringLiteral("autoBox"));
    for (const AutoPeriod& period : AutoPeriods)
        m_autoBox->addItem(QString::fromLatin1(period.title));
    autoLabel->setBuddy(m_autoBox);
    connect(m_autoBox, &QComboBox::activated, this,
            [this](int index) { d.store.setValue(AutoKey, std::max(index, 0)); });
    autoRow->addWidget(autoLabel);
    autoRow->addWidget(m_autoBox);
    autoRow->addStretch(1);
    return autoRow;
}

QLayout* StatisticsWindow::buildButtons()
{
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    auto* reset = new QPushButton(QStringLiteral("Start New Period…"), this);
    reset->setObjectName(QStringLiteral("resetPeriod"));
    auto* copy = new QPushButton(QStringLiteral("Copy Stats"), this);
    copy->setObjectName(QStringLiteral("copyStats"));
    connect(reset, &QPushButton::clicked, this, [this] { resetPeriod(); });
    connect(copy, &QPushButton::clicked, this, [this] { copyStats(); });
    buttons->addWidget(reset);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    return buttons;
}

StatisticsWindow::~StatisticsWindow()
{
    stopTimer();
}

std::vector<StatsRow> StatisticsWindow::rows() const
{
    std::vector<StatsRow> rows;
    for (const MetricTitle& metric : StatsMetrics) {
        const QString key = QString::fromLatin1(metric.metric);
        rows.push_back({QString::fromUtf8(metric.title), d.counters.todayCount(key),
                        d.counters.periodCount(key), d.counters.allCount(key)});
    }
    return rows;
}

void StatisticsWindow::refresh()
{
    const std::vector<StatsRow> values = rows();
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        m_cells[i].values[0]->setText(QString::number(values[i].today));
        m_cells[i].values[1]->setText(QString::number(values[i].period));
        m_cells[i].values[2]->setText(QString::number(values[i].allTime));
    }
    const QDateTime periodStart = d.counters.sinceDate(PeriodSinceKey);
    const QDateTime allStart = d.counters.sinceDate(AllSinceKey);
    m_periodInfo->setText(
        periodText(formatMoment(periodStart, d.zone), d.counters.formatElapsed(periodStart)));
    m_allInfo->setText(allTimeText(formatMoment(allStart, d.zone), d.counters.formatElapsed(allStart)));
    m_autoBox->setCurrentIndex(int(d.settings.integer(AutoKey, 0, 0, 3)));
}

void StatisticsWindow::showWindow()
{
    refresh();
    stopTimer();
    scheduleTick();
    bringToFront(this);
}

void StatisticsWindow::scheduleTick()
{
    // A one-shot timer set again after each tick: nothing is left behind once the window hides.
    m_timer = d.dispatcher.after(1.0, [self = QPointer<StatisticsWindow>(this)] {
        if (!self)
            return;
        self->m_timer = 0;
        self->refresh();
        if (self->isVisible())
            self->scheduleTick();
    });
}

void StatisticsWindow::stopTimer()
{
    if (m_timer)
        d.dispatcher.cancel(std::exchange(m_timer, 0));
}

void StatisticsWindow::hideEvent(QHideEvent* event)
{
    stopTimer();
    QWidget::hideEvent(event);
}

// A window minimised gets a hide and, restored, a show: the refresh stops and starts with them.
void StatisticsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_timer != 0)
        return;
    refresh();
    scheduleTick();
}

void StatisticsWindow::resetPeriod()
{
    if (!d.ask(this, {QStringLiteral("Start a new period?"), {}, QStringLiteral("Start New Period")}))
        return;
    d.counters.startNewPeriod();
    refresh();
}

void StatisticsWindow::copyStats()
{
    const QString now = formatMoment(d.clock.now(), d.zone);
    const QString text =
        statsCopyText(AppName, now, formatMoment(d.counters.sinceDate(PeriodSinceKey), d.zone),
                      formatMoment(d.counters.sinceDate(AllSinceKey), d.zone), rows());
    QGuiApplication::clipboard()->setText(text);
}

} // namespace zumo
