// The thin Qt layer of the tray: draws a menu value into a QMenu and a look into a
// QSystemTrayIcon (StatusNotifierItem or XEmbed, whichever Qt finds). The menu exists and can be
// read even where no tray does.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

#include "platform/Listeners.h"
#include "shell/TrayMenu.h"

class QLabel;
class QSystemTrayIcon;

namespace zumo {

class TrayIcon {
public:
    TrayIcon();
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Brings the menu up to date: items change in place, and the menu is rebuilt only when items
    // come or go (so an open menu is not torn down by a redraw).
    void drawMenu(const std::vector<MenuItem>& items);
    void drawLook(const TrayLook& look);
    // Shows the icon in the tray (a fresh icon each time it comes back) or removes it. Logs once
    // (per TrayIcon, and the program has one) when no tray is available; the menu stays usable.
    void setVisible(bool visible);
    bool visible() const { return m_tray != nullptr; }

    // A passing message from the icon (a balloon or a desktop notification); nothing without a tray.
    void showNotice(const QString& title, const QString& text);

    QMenu& menu() { return m_menu; }
    const TrayLook& look() const { return m_look; }
    // The status line in the header row.
    QString headerStatus() const;

    // A menu item was chosen.
    Notifier<TrayAction> chosen;
    // The menu is about to open: titles that depend on the moment are refreshed now.
    Notifier<> aboutToOpen;

private:
    void rebuild(QMenu& menu, const std::vector<MenuItem>& items);
    void update(const std::vector<MenuItem>& items, std::size_t& index);
    QAction* addHeader(QMenu& menu);

    QMenu m_menu;
    std::vector<QPointer<QAction>> m_actions;  // one per item, depth first, in menu order
    std::vector<QMenu*> m_submenus;
    QString m_shape;
    QLabel* m_status = nullptr;
    TrayLook m_look;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    bool m_loggedNoTray = false;
};

// The tray image for a look: Zumo's icon, with a pause sign while paused, today's count as a
// badge when asked, and dimmed while off or paused.
QIcon trayImage(const TrayLook& look);

} // namespace zumo
