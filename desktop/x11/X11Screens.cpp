// Displays from QGuiApplication, converted to the X pixels window frames are measured in.
#include "desktop/x11/X11Screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "desktop/x11/X11WindowModel.h"

namespace zumo::x11 {

namespace {

// Qt scales a screen's size by its device pixel ratio but keeps its top-left in X pixels, and
// scales positions inside it relative to that corner.
QRect nativeRect(const QScreen* screen, const QRect& logical)
{
    const qreal ratio = screen->devicePixelRatio();
    const QPoint origin = screen->geometry().topLeft();
    QPointF topLeft = QPointF(origin) + QPointF(logical.topLeft() - origin) * ratio;
    return QRectF(topLeft, QSizeF(logical.size()) * ratio).toRect();
}

std::vector<QScreen*> orderedScreens()
{
    std::vector<QScreen*> result;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        result.push_back(primary);
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            result.push_back(screen);
    return result;
}

} // namespace

QRect visibleArea(const QRect& frame, const QRect& available, std::optional<QRect> workArea)
{
    if (available != frame && !available.isEmpty())
        return available;
    if (!workArea)
        return frame;
    QRect clipped = frame.intersected(*workArea);
    return clipped.isEmpty() ? frame : clipped;
}

X11Screens::X11Screens(X11WindowModel& model) : m_model(model)
{
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    auto* app = qGuiApp;
    if (!app)
        return;
    QObject::connect(app, &QGuiApplication::screenAdded, &m_context, [this](QScreen* screen) {
        watch(screen);
        changed.notify();
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, &m_context, [this] { changed.notify(); });
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, &m_context, [this] { changed.notify(); });
}

void X11Screens::watch(QScreen* screen)
{
    QObject::connect(screen, &QScreen::geometryChanged, &m_context, [this] { changed.notify(); });
    QObject::connect(screen, &QScreen::availableGeometryChanged, &m_context, [this] { changed.notify(); });
}

std::vector<Screen> X11Screens::screens() const
{
    auto snapshot = m_model.snapshot();
    std::optional<QRect> area = workArea(snapshot->workareas, snapshot->currentDesktop);
    std::vector<Screen> result;
    for (QScreen* screen : orderedScreens()) {
        QRect frame = nativeRect(screen, screen->geometry());
        QRect available = nativeRect(screen, screen->availableGeometry());
        result.push_back({QRectF(frame), QRectF(visibleArea(frame, available, area))});
    }
    return result;
}

std::optional<int> X11Screens::mainScreen() const
{
    std::vector<Screen> list = screens();
    if (list.empty())
        return std::nullopt;
    auto snapshot = m_model.snapshot();
    const X11Window* active = snapshot->find(snapshot->active);
    QPointF point = active ? QPointF(active->frame().center()) : pointerLocation();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].frame.contains(point))
            return int(i);
    return 0;
}

QPointF X11Screens::pointerLocation() const
{
    QPoint logical = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(logical);
    if (!screen)
        return QPointF(logical);
    return QPointF(nativeRect(screen, QRect(logical, QSize(1, 1))).topLeft());
}

} // namespace zumo::x11
