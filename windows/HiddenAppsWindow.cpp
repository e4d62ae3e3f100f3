// Builds the Hidden Apps rows and writes each choice to "appModes".
#include "windows/HiddenAppsWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <array>

#include "panel/PanelPainter.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "windows/AppPicker.h"
#include "windows/WindowSupport.h"

namespace zumo {

namespace {

struct Choice {
    const char* raw;
    const char* title;
};
// The first is the default: it is never stored.
constexpr std::array<Choice, 2> Choices{{{"show", "Show in switcher"}, {"hide", "Hide from switcher"}}};
const QString DefaultRaw = QStringLiteral("show");
const QString AddRaw = QStringLiteral("hide");
const QString RulesKey = QStringLiteral("appModes");
constexpr int IconSize = 24;

int choiceIndex(const AppRules& rules, const QString& id)
{
    const QString raw = rules.value(id, DefaultRaw);
    for (std::size_t i = 0; i < Choices.size(); ++i)
        if (raw == QLatin1String(Choices[i].raw))
            return int(i);
    return 0;
}

QPixmap rowIcon(const HiddenAppRow& app, qreal scale)
{
    const int pixels = int(IconSize * scale);
    QPixmap pixmap;
    if (!app.icon.isNull())
        pixmap = QPixmap::fromImage(
            app.icon.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        pixmap = installedAppIcon(app.iconName).pixmap(QSize(IconSize, IconSize), scale);
    if (pixmap.isNull())
        pixmap = QPixmap::fromImage(letterTile(app.name, pixels));
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

// A row's popup takes the wheel only once the user has put the focus on it: turned over a row
// while scrolling the list, the wheel scrolls the list and changes no rule.
class RowPopup final : public QComboBox {
  public:
    explicit RowPopup(QWidget* parent) : QComboBox(parent) { setFocusPolicy(Qt::StrongFocus); }

  protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (!hasFocus())
            return event->ignore();
        QComboBox::wheelEvent(event);
    }
};

} // namespace

HiddenAppsWindow::HiddenAppsWindow(HiddenAppsDeps deps, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), d(std::move(deps))
{
    setWindowTitle(QStringLiteral("Zumo Hidden Apps"));
    setObjectName(QStringLiteral("hiddenAppsWindow"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 16);
    root->setSpacing(12);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::StyledPanel);
    m_rowsWidget = new QWidget(scroll);
    m_rows = new QGridLayout(m_rowsWidget);
    m_rows->setHorizontalSpacing(10);
    m_rows->setVerticalSpacing(6);
    m_rows->setColumnStretch(1, 1);
    m_rows->setAlignment(Qt::AlignTop);
    scroll->setWidget(m_rowsWidget);
    m_empty = new QLabel(
        QStringLiteral("No applications to list. Use “Add App…” to hide one that is not running."), this);
    m_empty->setWordWrap(true);
    m_empty->setForegroundRole(QPalette::PlaceholderText);

    m_addButton = new QPushButton(QStringLiteral("Add App…"), this);
    m_addButton->setObjectName(QStringLiteral("addApp"));
    connect(m_addButton, &QPushButton::clicked, this, [this] { addApp(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_addButton);
    buttons->addStretch(1);

    root->addWidget(scroll, 1);
    root->addWidget(m_empty);
    root->addLayout(buttons);
    setMinimumSize(470, 430);
    rebuildRows();
}

AppRules HiddenAppsWindow::rules() const
{
    return d.settings.appModes().value_or(AppRules());
}

void HiddenAppsWindow::setRules(const AppRules& rules)
{
    // Entries this window cannot read (a mode that is not a string) stay as they were stored.
    QJsonObject object;
    const QJsonObject stored = d.store.value(RulesKey).toObject();
    for (auto it = stored.begin(); it != stored.end(); ++it)
        if (!it.value().isString())
            object.insert(it.key(), it.value());
    for (auto it = rules.begin(); it != rules.end(); ++it)
        object.insert(it.key(), it.value());
    d.store.setValue(RulesKey, object);
}

void HiddenAppsWindow::showWindow()
{
    rebuildRows();
    bringToFront(this);
}

void HiddenAppsWindow::rebuildRows()
{
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const std::vector<HiddenAppRow> apps =
        hiddenAppRows(d.workspace.runningApplications(), d.workspace.ownBundleId(), rules(), d.catalog);
    QWidget* previous = nullptr;
    for (std::size_t i = 0; i < apps.size(); ++i) {
        QWidget* popup = addRow(int(i), apps[i]);
        // Rows are made after the button; Tab should still go down the rows, then to the button.
        if (previous)
            setTabOrder(previous, popup);
        previous = popup;
    }
    if (previous)
        setTabOrder(previous, m_addButton);
    m_empty->setVisible(apps.empty());
}

QWidget* HiddenAppsWindow::addRow(int row, const HiddenAppRow& app)
{
    auto* icon = new QLabel(m_rowsWidget);
    icon->setPixmap(rowIcon(app, devicePixelRatioF()));
    icon->setFixedSize(IconSize, IconSize);
    auto* name = new QLabel(m_rowsWidget);
    name->setText(name->fontMetrics().elidedText(app.name, Qt::ElideRight,
                                                 name->fontMetrics().averageCharWidth() * 32));
    name->setToolTip(app.id);
    auto* popup = new RowPopup(m_rowsWidget);
    popup->setObjectName(app.id);
    popup->setAccessibleName(app.name);
    for (const Choice& choice : Choices)
        popup->addItem(QString::fromUtf8(choice.title));
    popup->setCurrentIndex(choiceIndex(rules(), app.id));
    name->setBuddy(popup);
    connect(popup, &QComboBox::activated, this, [this, id = app.id](int index) { pick(id, index); });
    m_rows->addWidget(icon, row, 0);
    m_rows->addWidget(name, row, 1);
    m_rows->addWidget(popup, row, 2);
    return popup;
}

void HiddenAppsWindow::pick(const QString& id, int index)
{
    if (id.isEmpty())
        return;
    const Choice& choice = Choices[std::size_t(std::clamp(index, 0, int(Choices.size()) - 1))];
    // The rows keep their order until the window is shown again, so the row under the pointer
    // does not jump away.
    setRules(withMode(rules(), id, QString::fromLatin1(choice.raw), DefaultRaw));
}

void HiddenAppsWindow::addApp()
{
    auto* picker = new AppPicker(d.catalog.installedApps(), this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setWindowModality(Qt::WindowModal);
    connect(picker, &QDialog::accepted, this, [this, picker] {
        const QString id = picker->chosenId();
        if (!id.isEmpty())
            addRule(id);
    });
    picker->open();
}

void HiddenAppsWindow::addRule(const QString& id)
{
    AppRules updated = rules();
    updated.insert(id, AddRaw);
    setRules(updated);
    rebuildRows();
}

} // namespace zumo
