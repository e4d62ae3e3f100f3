// The displays of an X11 session from Qt's screens, in X pixel coordinates, with work areas.
#pragma once

#include <QObject>
#include <QRect>
#include <optional>

#include "platform/Screens.h"

class QScreen;

namespace zumo::x11 {

class X11WindowModel;

// The work area of a screen: Qt's available geometry when it differs from the whole screen, else
// the screen clipped to the window manager's work area (Qt leaves every screen but the primary whole).
QRect visibleArea(const QRect& frame, const QRect& available, std::optional<QRect> workArea);

class X11Screens final : public Screens {
public:
    // Main thread; the model must outlive this. Watches screens being added, removed and moved.
    explicit X11Screens(X11WindowModel& model);

    std::vector<Screen> screens() const override;
    // The display holding the centre of the active window, else the one under the pointer.
    std::optional<int> mainScreen() const override;
    QPointF pointerLocation() const override;

private:
    void watch(QScreen* screen);

    X11WindowModel& m_model;
    QObject m_context;
};

} // namespace zumo::x11
