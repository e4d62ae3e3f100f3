// Drawing the tray menu value into Qt: QMenu items, the header row and the tray image.
#include "shell/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QWidgetAction>

#include "platform/Log.h"
#include "windows/AppIcon.h"
#include "windows/WindowPlacement.h"

namespace zumo {
namespace {

// The kinds and actions of every item, depth first: equal shapes can be updated in place.
QString shapeOf(const std::vector<MenuItem>& items)
{
    QString shape;
    for (const MenuItem& item : items) {
        shape += QString::number(int(item.kind)) + QLatin1Char(':') + QString::number(int(item.action)) + QLatin1Char(' ');
        if (!item.children.empty())
            shape += QLatin1Char('[') + shapeOf(item.children) + QLatin1Char(']');
    }
    return shape;
}

void paintPauseSign(QPainter& p, int size)
{
    const double d = size * 0.5;
    const QRectF badge(size - d, size - d, d, d);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawEllipse(badge);
    p.setBrush(Qt::white);
    const double barW = d * 0.16, barH = d * 0.5;
    p.drawRect(QRectF(badge.center().x() - barW * 1.6, badge.center().y() - barH / 2, barW, barH));
    p.drawRect(QRectF(badge.center().x() + barW * 0.6, badge.center().y() - barH / 2, barW, barH));
}

void paintCounter(QPainter& p, int size, const QString& counter)
{
    QFont font = QApplication::font();
    font.setPixelSize(std::max(7, int(size * 0.42)));
    font.setBold(true);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int h = metrics.height();
    const int w = std::min(size, metrics.horizontalAdvance(counter) + h / 2);
    const QRectF badge(size - w, 0, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0x3a, 0x2b));
    p.drawRoundedRect(badge, h / 2.0, h / 2.0);
    p.setPen(Qt::white);
    p.drawText(badge, Qt::AlignCenter, counter);
}

QPixmap trayPixmap(const TrayLook& look, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(look.opacity);
    p.drawImage(0, 0, appIconImage(size));
    if (look.paused)
        paintPauseSign(p, size);
    p.setOpacity(1.0);
    if (!look.counter.isEmpty())
        paintCounter(p, size, look.counter);
    return pixmap;
}

// The header row is disabled yet must not look greyed out in the menu drawn here: its disabled
// colours are the normal ones of the current look (taken afresh at each redraw, so a change
// between light and dark follows).
void keepNormalLook(QWidget& view)
{
    QPalette palette = QApplication::palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::PlaceholderText})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    view.setPalette(palette);
}

} // namespace

QIcon trayImage(const TrayLook& look)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(trayPixmap(look, size));
    return icon;
}

TrayIcon::TrayIcon()
{
    QObject::connect(&m_menu, &QMenu::aboutToShow, [this] { aboutToOpen.notify(); });
}

TrayIcon::~TrayIcon() = default;

QString TrayIcon::headerStatus() const
{
    return m_status ? m_status->text() : QString();
}

void TrayIcon::drawMenu(const std::vector<MenuItem>& items)
{
    const QString shape = shapeOf(items);
    if (shape != m_shape) {
        for (QMenu* submenu : m_submenus)
            submenu->deleteLater();
        m_submenus.clear();
        m_actions.clear();
        m_menu.clear();
        m_status = nullptr;
        rebuild(m_menu, items);
        m_shape = shape;
    }
    std::size_t index = 0;
    update(items, index);
}

QAction* TrayIcon::addHeader(QMenu& menu)
{
    auto* view = new QWidget;
    view->setFixedSize(260, 52);
    auto* image = new QLabel(view);
    image->setPixmap(appIconPixmap(32, menu.devicePixelRatioF()));
    image->setGeometry(14, 10, 32, 32);
    addLabel(view, QStringLiteral("Zumo"), 13, QFont::DemiBold, QRect(54, 8, 196, 17), false);
    m_status = addLabel(view, QString(), 11, QFont::Normal, QRect(54, 28, 196, 15), false);
    m_status->setForegroundRole(QPalette::PlaceholderText);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(view);
    menu.addAction(action);
    return action;
}

void TrayIcon::rebuild(QMenu& menu, const std::vector<MenuItem>& items)
{
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case MenuItem::Kind::Separator:
            m_actions.emplace_back(menu.addSeparator());
            break;
        case MenuItem::Kind::Header:
            m_actions.emplace_back(addHeader(menu));
            break;
        case MenuItem::Kind::Submenu: {
            QMenu* submenu = menu.addMenu(item.title);
            m_submenus.push_back(submenu);
            m_actions.emplace_back(submenu->menuAction());
            rebuild(*submenu, item.children);
            break;
        }
        case MenuItem::Kind::Action: {
            QAction* action = menu.addAction(item.title);
            QObject::connect(action, &QAction::triggered, [this, what = item.action] { chosen.notify(what); });
            m_actions.emplace_back(action);
            break;
        }
        }
    }
}

void TrayIcon::update(const std::vector<MenuItem>& items, std::size_t& index)
{
    for (const MenuItem& item : items) {
        QAction* action = m_actions[index++];
        if (item.kind == MenuItem::Kind::Header && m_status) {
            m_status->setText(item.title);
            // Trays that export the menu over D-Bus show no custom rows; they show this text.
            action->setText(QStringLiteral("Zumo \u2014 ") + item.title);
            keepNormalLook(*m_status->parentWidget());
        } else if (item.kind != MenuItem::Kind::Separator) {
            action->setText(item.title);
        }
        // Disabled, the header is plain text in a tray that exports the menu, not an item to click.
        action->setEnabled(item.enabled);
        action->setCheckable(item.checkable);
        action->setChecked(item.checked);
        if (!item.shortcut.isEmpty())
            action->setShortcut(QKeySequence(item.shortcut));
        update(item.children, index);
    }
}

void TrayIcon::drawLook(const TrayLook& look)
{
    const bool changed = !(look == m_look);
    m_look = look;
    if (m_tray && changed) {
        m_tray->setIcon(trayImage(look));
        m_tray->setToolTip(look.tooltip);
    }
}

void TrayIcon::setVisible(bool visible)
{
    if (!visible) {
        m_tray.reset();
        return;
    }
    if (m_tray)
        return;
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (!available && !std::exchange(m_loggedNoTray, true))
        appLog(QStringLiteral("no system tray is available: Zumo's icon is not shown until one starts; "
                              "starting zumo again opens its Settings"));
    // Without a StatusNotifier host Qt falls back to X11 tray embedding, which only its xcb
    // platform has (elsewhere it warns of a missing signal and never shows): the icon is made
    // at a later update, once a host is there.
    if (!available && QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    m_tray = std::make_unique<QSystemTrayIcon>(trayImage(m_look));
    m_tray->setToolTip(m_look.tooltip);
    m_tray->setContextMenu(&m_menu);
    // A left click opens the menu too, as the menu is the whole interface of the icon. A click
    // within the double-click time of the one that opened the menu just chosen from comes as a
    // double click, and no press: it must open the menu all the same.
    QObject::connect(m_tray.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            m_menu.popup(QCursor::pos());
    });
    m_tray->show();
}

} // namespace zumo

namespace zumo {

void TrayIcon::showNotice(const QString& title, const QString& text)
{
    if (m_tray)
        m_tray->showMessage(title, text, QSystemTrayIcon::Warning);
}

} // namespace zumo
