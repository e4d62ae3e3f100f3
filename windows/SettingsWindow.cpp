// Builds the Settings window and binds each control to its preference key.
#include "windows/SettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QJsonValue>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/Log.h"
#include "platform/LoginItem.h"
#include "platform/Permissions.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"
#include "windows/AppInfo.h"
#include "windows/Appearance.h"
#include "windows/Banner.h"
#include "windows/SettingsChoices.h"
#include "windows/WindowSupport.h"

namespace zumo {

namespace {

// A tab page that asks for height only while it is in front: QTabWidget sizes itself to the
// tallest page otherwise, and the window would not fit the tab shown. Its width always counts,
// so the window keeps one width across tabs.
class TabPage final : public QWidget {
  public:
    bool inFront = true;
    QSize sizeHint() const override { return fit(QWidget::sizeHint()); }
    QSize minimumSizeHint() const override { return fit(QWidget::minimumSizeHint()); }
    // Wrapping notes make pages height-for-width, which QTabWidget also takes the maximum of.
    int heightForWidth(int width) const override { return inFront ? QWidget::heightForWidth(width) : 0; }

  private:
    QSize fit(QSize size) const
    {
        if (!inFront)
            size.setHeight(0);
        return size;
    }
};

} // namespace

// One control and how it is set from the store.
struct SettingsWindow::Binding {
    QWidget* control;
    std::function<void()> load;
};

SettingsWindow::SettingsWindow(SettingsWindowDeps deps, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), d(std::move(deps))
{
    setWindowTitle(QStringLiteral("Zumo Settings"));
    setObjectName(QStringLiteral("settingsWindow"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 16, 20, 16);
    root->setSpacing(14);
    // The window takes the size its contents need, at every scale, and follows the note row.
    root->setSizeConstraint(QLayout::SetFixedSize);

    m_banner = new Banner(QStringLiteral("Zumo cannot watch the keyboard: it needs an X11 display."), this);
    root->addWidget(m_banner);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->addTab(buildSwitcherTab(), QStringLiteral("Switcher"));
    m_tabs->addTab(buildExtrasTab(), QStringLiteral("Extras"));
    m_tabs->addTab(buildGeneralTab(), QStringLiteral("General"));
    root->addWidget(m_tabs);
    root->addWidget(buildFooter());
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { fitTab(); });
    fitTab();
    load();
}

SettingsWindow::~SettingsWindow() = default;

QCheckBox* SettingsWindow::addCheck(const QString& key, bool fallback, const QString& text)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(key);
    connect(box, &QCheckBox::clicked, this, [this, key](bool on) {
        d.store.setValue(key, on);
        saved();
    });
    m_bindings.push_back(
        {box, [this, box, key, fallback] { box->setChecked(d.settings.boolean(key, fallback)); }});
    return box;
}

QComboBox* SettingsWindow::addPopup(const QString& key, const QStringList& items,
                                    std::function<int()> current, std::function<void(int)> write)
{
    auto* popup = new QComboBox(this);
    popup->setObjectName(key);
    popup->addItems(items);
    // activated comes from the user only, never from load().
    connect(popup, &QComboBox::activated, this, [this, write](int index) {
        write(std::max(index, 0));
        saved();
    });
    m_bindings.push_back({popup, [popup, current] { popup->setCurrentIndex(current()); }});
    return popup;
}

QComboBox* SettingsWindow::addIndexPopup(const QString& key, const QStringList& items,
                                         std::function<int()> current)
{
    return addPopup(key, items, std::move(current), [this, key](int index) { d.store.setValue(key, index); });
}

QWidget* SettingsWindow::buildSwitcherTab()
{
    auto* page = new TabPage;
    FormGrid form(page);
    const Settings& s = d.settings;
    form.addRow(QStringLiteral("Switcher:"),
                {addCheck(QStringLiteral("enabled"), true, QStringLiteral("Enable switcher"))});
    form.addRow(QStringLiteral("Shortcut:"),
                {addIndexPopup(QStringLiteral("trigger"),
                               {QStringLiteral("Alt + Tab"), QStringLiteral("Control + Tab")},
                               [&s] { return s.trigger() > 0 ? 1 : 0; })});
    form.addRow(QStringLiteral("List:"), {addCheck(QStringLiteral("perWindow"), true,
                                                   QStringLiteral("Every window (off: one per app)"))});
    form.addRow(
        {}, {addCheck(QStringLiteral("showWindowless"), false, QStringLiteral("Apps without open windows"))});
    form.addRow(
        QStringLiteral("Appears:"),
        {addPopup(
            QStringLiteral("showDelay"),
            {QStringLiteral("Instant"), QStringLiteral("Fast"), QStringLiteral("Normal"),
             QStringLiteral("Slow")},
            [&s] { return nearestDelayIndex(s.showDelay()); },
            [this](int i) { d.store.setValue(QStringLiteral("showDelay"), DelayChoices[std::size_t(i)]); })});
    form.addRow(QStringLiteral("Show on:"),
                {addIndexPopup(QStringLiteral("displayMode"),
                               {QStringLiteral("Display with pointer"), QStringLiteral("Main display"),
                                QStringLiteral("All displays")},
                               [&s] { return s.displayMode(); })});
    form.addRow(QStringLiteral("Appearance:"),
                {addPopup(
                    QStringLiteral("appearance"),
                    {QStringLiteral("Light"), QStringLiteral("Dark"), QStringLiteral("Match desktop")},
                    [&s] { return s.appearance(); },
                    [this](int i) {
                        d.store.setValue(QStringLiteral("appearance"), i);
                        applyAppearance(i);
                    })});
    form.addRow(QStringLiteral("Show:"),
                {addCheck(QStringLiteral("showNumbers"), true, QStringLiteral("Number badges"))});
    form.addRow({}, {addCheck(QStringLiteral("showHints"), true, QStringLiteral("Shortcut tips"))});
    auto* hidden = new QPushButton(QStringLiteral("Hidden Apps…"), page);
    hidden->setObjectName(QStringLiteral("hiddenButton"));
    connect(hidden, &QPushButton::clicked, this, [this] {
        if (onHidden)
            onHidden();
    });
    form.addRow(QStringLiteral("Apps:"), {hidden});
    return page;
}

QWidget* SettingsWindow::buildExtrasTab()
{
    auto* page = new TabPage;
    FormGrid form(page);
    form.addRow(QStringLiteral("Previews:"),
                {addCheck(QStringLiteral("previews"), false, QStringLiteral("Show window previews"))});
    m_captureStatus = new QLabel(page);
    m_captureStatus->setObjectName(QStringLiteral("captureStatus"));
    form.addRow(QStringLiteral("Window capture:"), {m_captureStatus});
    m_captureNote = form.addNote({});
    form.addRow(QStringLiteral("Desktops:"),
                {addCheck(QStringLiteral("otherSpaces"), false,
                          QStringLiteral("Include windows on other desktops"))});
    m_perAppBox = addCheck(QStringLiteral("perAppKey"), true, {});
    form.addRow(QStringLiteral("Current app:"), {m_perAppBox});
    form.addRow(QStringLiteral("Pointer:"), {addCheck(QStringLiteral("mouse"), true,
                                                      QStringLiteral("Click, hover and scroll to choose"))});
    form.addRow(QStringLiteral("Browser tabs:"),
                {addCheck(QStringLiteral("listTabs"), false, QStringLiteral("List browser tabs"))});
    addShortcutRows(form, 0);
    addShortcutRows(form, 1);
    m_slotNote = form.addNote(QStringLiteral(" "));
    m_slotNote->setObjectName(QStringLiteral("slotNote"));
    // A style sheet colour reaches the placeholder role at half strength; the warning is text.
    m_slotNote->setForegroundRole(QPalette::WindowText);
    m_slotNote->setStyleSheet(QStringLiteral("color: #d0342c;"));
    m_slotNote->hide();
    return page;
}

void SettingsWindow::addShortcutRows(FormGrid& form, int index)
{
    const QString name = QStringLiteral("Shortcut %1").arg(index + 3);
    const QString prefix = QStringLiteral("slot%1.").arg(index + 3);
    QWidget* page = form.grid()->parentWidget();
    auto* on = m_slotOn[index] = new QCheckBox(QStringLiteral("On"), page);
    auto* mod = m_slotMod[index] = new QComboBox(page);
    auto* key = m_slotKey[index] = new QComboBox(page);
    auto* filter = m_slotFilter[index] = new QComboBox(page);
    on->setObjectName(prefix + QStringLiteral("on"));
    mod->setObjectName(prefix + QStringLiteral("mod"));
    key->setObjectName(prefix + QStringLiteral("key"));
    filter->setObjectName(prefix + QStringLiteral("filter"));
    on->setAccessibleName(name + QStringLiteral(" on"));
    mod->setAccessibleName(name + QStringLiteral(" modifier"));
    key->setAccessibleName(name + QStringLiteral(" key"));
    filter->setAccessibleName(name + QStringLiteral(" shows"));
    for (int i = 0; i < 3; ++i)
        mod->addItem(modifierTitle(slotModifierMask(i)));
    for (int i = 0; i < 4; ++i)
        key->addItem(slotKeyTitle(i));
    filter->addItems({QStringLiteral("All windows"), QStringLiteral("Current app"),
                      QStringLiteral("Current desktop"), QStringLiteral("Browser tabs"),
                      QStringLiteral("Minimized")});
    connect(on, &QCheckBox::clicked, this, [this] { applyShortcuts(); });
    for (QComboBox* popup : {mod, key, filter})
        connect(popup, &QComboBox::activated, this, [this] { applyShortcuts(); });
    form.addRow(name + QLatin1Char(':'), {on, mod, key});
    auto* shows = new QLabel(QStringLiteral("Shows:"), page);
    shows->setBuddy(filter);
    form.addRow({}, {shows, filter});
}

QWidget* SettingsWindow::buildGeneralTab()
{
    auto* page = new TabPage;
    FormGrid form(page);
    m_keyboardStatus = new QLabel(page);
    m_keyboardStatus->setObjectName(QStringLiteral("keyboardStatus"));
    form.addRow(QStringLiteral("Keyboard:"), {m_keyboardStatus});
    m_keyboardNote = form.addNote({});
    m_keyboardNote->setTextInteractionFlags(Qt::TextSelectableByMouse);  // the command to copy
    m_freeBox = addCheck(QStringLiteral("freeShortcutsFromWindowManager"), false,
                         QStringLiteral("Take it from the window manager while Zumo runs"));
    form.addRow({}, {m_freeBox});
    if (d.loginItem) {
        m_loginBox = new QCheckBox(QStringLiteral("Launch at login"), page);
        m_loginBox->setObjectName(QStringLiteral("loginItem"));
        connect(m_loginBox, &QCheckBox::clicked, this, [this](bool on) { changeLoginItem(on); });
        form.addRow(QStringLiteral("Startup:"), {m_loginBox});
        m_loginNote = form.addNote({});
        m_loginNote->hide();
    }
    form.addRow(d.loginItem ? QString() : QStringLiteral("Startup:"),
                {addCheck(QStringLiteral("openAtLaunch"), true,
                          QStringLiteral("Open Settings when Zumo is opened"))});
    form.addRow(QStringLiteral("Tray:"), {addCheck(QStringLiteral("showMenuBar"), true,
                                                   QStringLiteral("Show icon in the system tray"))});
    m_counterBox =
        addCheck(QStringLiteral("menuCounter"), false, QStringLiteral("Show today's switch count on it"));
    form.addRow({}, {m_counterBox});
    form.addRow(QStringLiteral("Tile size:"),
                {addIndexPopup(QStringLiteral("tileSize"),
                               {QStringLiteral("Small"), QStringLiteral("Normal"), QStringLiteral("Large")},
                               [this] { return d.settings.tileSize(); })});
    form.addRow(QStringLiteral("Updates:"), {addCheck(QStringLiteral("autoUpdate"), true,
                                                      QStringLiteral("Check for updates automatically"))});
    auto* check = new QPushButton(QStringLiteral("Check for Updates…"), page);
    check->setObjectName(QStringLiteral("updateButton"));
    connect(check, &QPushButton::clicked, this, [this] { d.checkUpdates(); });
    check->setVisible(bool(d.checkUpdates));
    auto* version = makeNote(QStringLiteral("Version ") + appVersion(), page);
    version->setObjectName(QStringLiteral("version"));
    form.addRow({}, {check, version});
    return page;
}

QWidget* SettingsWindow::buildFooter()
{
    auto* footer = new QWidget(this);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto* stats = new QPushButton(QStringLiteral("Statistics…"), footer);
    stats->setObjectName(QStringLiteral("statsButton"));
    connect(stats, &QPushButton::clicked, this, [this] {
        if (onStats)
            onStats();
    });
    auto* reset = new QPushButton(QStringLiteral("Reset Settings…"), footer);
    reset->setObjectName(QStringLiteral("resetButton"));
    connect(reset, &QPushButton::clicked, this, [this] { resetDefaults(); });
    const QString address = vendorAddress();
    auto* maker = makeNote(QStringLiteral("Zumo by Pellwick · ") + address, footer);
    maker->setObjectName(QStringLiteral("maker"));
    maker->setWordWrap(false);
    maker->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(stats);
    row->addWidget(reset);
    row->addStretch(1);
    row->addWidget(maker);
    return footer;
}

void SettingsWindow::fitTab()
{
    for (int i = 0; i < m_tabs->count(); ++i) {
        auto* page = static_cast<TabPage*>(m_tabs->widget(i));
        page->inFront = i == m_tabs->currentIndex();
        page->updateGeometry();
    }
    // The tab widget lays out its pages by hand, so the window's layout must be told.
    m_tabs->updateGeometry();
}

void SettingsWindow::saved()
{
    appLog(QStringLiteral("settings changed"));
    d.slots.rebuildSlots(d.settings);
    load();
    changed.notify();
}

void SettingsWindow::changeLoginItem(bool on)
{
    QString error;
    const bool ok = d.loginItem->setEnabled(on, error);
    if (!ok)
        appLog(QStringLiteral("login item error: ") + error);
    m_loginNote->setText(ok ? QString() : QStringLiteral("Could not change it: ") + error);
    m_loginNote->setVisible(!ok);
    load();
    changed.notify();
}

void SettingsWindow::load()
{
    for (const Binding& binding : m_bindings)
        binding.load();
    if (d.loginItem)
        m_loginBox->setChecked(d.loginItem->enabled());
    m_counterBox->setEnabled(d.settings.showMenuBar());
    m_perAppBox->setText(QStringLiteral("%1+` cycles windows of the current app")
                             .arg(modifierTitle(d.settings.triggerMask())));
    loadShortcuts();
    loadStatus();
}

void SettingsWindow::loadStatus()
{
    const bool trusted = d.permissions.accessibilityTrusted();
    const bool watching = d.tapActive && d.tapActive();
    const std::vector<HookShortcut> taken =
        d.takenShortcuts ? d.takenShortcuts() : std::vector<HookShortcut>{};
    const ShortcutHolding holding = d.holding ? d.holding() : ShortcutHolding{};
    const StatusLine keyboard = keyboardStatus(trusted, watching, taken, taken.empty() ? ShortcutHolding{} : holding);
    m_freeBox->setVisible(holding.canFree);
    setStatus(m_keyboardStatus, keyboard);
    m_keyboardNote->setText(keyboard.note);
    m_keyboardNote->setVisible(!keyboard.note.isEmpty());
    m_banner->setVisible(!trusted);
    m_shownCapture = d.permissions.screenCaptureGranted();
    const StatusLine capture = captureStatus(*m_shownCapture);
    setStatus(m_captureStatus, capture);
    m_captureNote->setText(capture.note);
    m_captureNote->setVisible(!capture.note.isEmpty());
}

void SettingsWindow::openTab(SettingsTab tab)
{
    load();
    // Already open, it comes forward as the user left it, on the same tab.
    if (!isVisible())
        m_tabs->setCurrentIndex(int(tab));
    bringToFront(this);
}

void SettingsWindow::resetDefaults()
{
    const Question question{QStringLiteral("Reset all settings to defaults?"),
                            QStringLiteral("Statistics and hidden apps are kept."), QStringLiteral("Reset")};
    if (!d.ask(this, question))
        return;
    d.settings.resetToDefaults();
    if (d.loginItem) {
        QString ignored;
        d.loginItem->setEnabled(true, ignored);
    }
    applyAppearance(d.settings.appearance());
    // The shortcuts the removed keys described are gone too; the next key press must know it.
    d.slots.rebuildSlots(d.settings);
    m_slotConflict.clear();
    if (m_loginNote)
        m_loginNote->hide();
    load();
    changed.notify();
}

} // namespace zumo
