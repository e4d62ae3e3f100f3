// The About window: icon, name, version, maker, the product page link and "Copy Share Link".
// Built once and kept; closing only hides it.
#pragma once

#include <QUrl>
#include <QWidget>

#include "windows/VendorPages.h"

class QPushButton;

namespace zumo {

class Dispatcher;

class AboutWindow : public QWidget {
public:
    static constexpr double CopiedSeconds = 1.5;

    // version is the program's version text ("1.0" is shown when it is empty); page is the
    // product page; dispatcher times the return of the button's title.
    AboutWindow(const QString& version, QUrl page, Dispatcher& dispatcher, UrlOpener open = openInBrowser);

    static QString versionLine(const QString& version);

    void present();
    void openSite();
    // Puts the page's address on the clipboard and says "Copied ✓" for CopiedSeconds.
    void copyShare();

    QPushButton& shareButton() { return *m_share; }

private:
    QUrl m_page;
    Dispatcher& m_dispatcher;
    UrlOpener m_open;
    QPushButton* m_share = nullptr;
};

} // namespace zumo
