// The first-run question: usage and diagnostic data are collected, Agree to go on or Disagree to
// quit. Built once and kept; closing the window without a decision quits like Disagree.
#pragma once

#include <QUrl>
#include <QWidget>

#include "platform/Listeners.h"
#include "windows/VendorPages.h"

class QLabel;
class QPushButton;

namespace zumo {

class SettingsStore;

class ConsentWindow : public QWidget {
public:
    // Agreeing writes "consentVersion" into store; privacy is the page the link opens.
    ConsentWindow(SettingsStore& store, QUrl privacy, UrlOpener open = openInBrowser);

    // True while "consentVersion" is missing, not a number, or below 1.
    static bool consentNeeded(const SettingsStore& store);

    // Shows the window centred on the primary screen, in front, with the keyboard focus.
    void present();
    void agree();
    void disagree();
    void openPolicy();

    // The user agreed; sent once per process, however often Agree is pressed.
    Notifier<> agreed;
    // The user declined or closed the window: the application should quit.
    Notifier<> quitRequested;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SettingsStore& m_store;
    QUrl m_privacy;
    UrlOpener m_open;
    bool m_decided = false;
    bool m_agreedOnce = false;
};

} // namespace zumo
