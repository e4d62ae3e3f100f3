// A transient notice near the middle of the screen ("Zumo updated to 2.4.1"): never takes the
// focus, lets clicks through, and goes away by itself. A new toast replaces the one showing.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/Dispatch.h"

namespace zumo {

class Toast {
public:
    // translucent: round corners over the desktop; only with a compositor, else black shows.
    explicit Toast(Dispatcher& dispatcher, bool translucent = true);
    ~Toast();
    Toast(const Toast&) = delete;
    Toast& operator=(const Toast&) = delete;

    // Shows text for duration seconds, replacing the toast showing now.
    void showToast(const QString& text, double duration);
    // The toast on screen; nullptr when none.
    QWidget* current() const { return m_panel; }

private:
    void dismiss();

    Dispatcher& m_dispatcher;
    bool m_translucent;
    QPointer<QWidget> m_panel;
    Dispatcher::TimerId m_timer = 0;
};

// The toast's panel, built for text; exposed for the screenshot tool.
QWidget* makeToastPanel(const QString& text, bool translucent);
// Where a toast of the given size goes on a screen area: centred across, its bottom edge 28
// pixels below the middle.
QPoint toastPosition(const QSize& size, const QRect& screen);

} // namespace zumo
