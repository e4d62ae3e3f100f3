// The top-level window of the switcher: frameless, on top, never focused; draws the background
// and holds the SwitcherView.
#include "panel/SwitcherPanel.h"

#include <QBackingStore>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <utility>

#include "panel/PanelBackground.h"
#include "panel/PanelPainter.h"
#include "panel/SwitcherView.h"

namespace zumo {

namespace {

// Bypassing the window manager keeps it from placing, decorating or focusing the panel, and
// from animating it in.
constexpr Qt::WindowFlags PanelFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                       Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint;

// On X11 a window the window manager bypasses is stacked by its own raise, and a stays-on-top
// state is only a property nobody reads, which Qt reads back after every show: one round trip
// more before the first paint.
Qt::WindowFlags panelFlags()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return PanelFlags & ~Qt::WindowStaysOnTopHint;
    return PanelFlags;
}

// Gives up waiting for the warm-up frame after this long (an unmapped or never-exposed window).
constexpr int WarmUpTimeoutMs = 2000;
// Start waits at most this long for that frame.
constexpr int WarmUpWaitMs = 500;
// A shown panel lets the pointer through this long: well before anyone could aim at a tile.
constexpr int PointerPassMs = 50;
// A panel hidden this long lets go of its window image (about 3 MB at 200 windows). Making it
// again costs the next show about a millisecond, so switches in quick succession keep it.
constexpr int ReleaseImageAfterMs = 5 * 1000;

} // namespace

SwitcherPanel::SwitcherPanel(const Settings& settings) : QWidget(nullptr, panelFlags())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground, m_translucent);
    setFocusPolicy(Qt::NoFocus);
    m_view = new SwitcherView(settings, this);
    m_pointerTimer = new QTimer(this);
    m_pointerTimer->setSingleShot(true);
    m_pointerTimer->setInterval(PointerPassMs);
    connect(m_pointerTimer, &QTimer::timeout, this, [this] { takePointer(); });
    m_releaseTimer = new QTimer(this);
    m_releaseTimer->setSingleShot(true);
    m_releaseTimer->setInterval(ReleaseImageAfterMs);
    connect(m_releaseTimer, &QTimer::timeout, this, [this] { releaseImage(); });
}

void SwitcherPanel::setTranslucent(bool on)
{
    if (on == m_translucent)
        return;
    m_translucent = on;
    // The window's visual (with or without alpha) is fixed when the native window is made.
    const bool hadWindow = testAttribute(Qt::WA_WState_Created);
    const bool wasVisible = isVisible();
    if (hadWindow)
        destroy(true, true);
    setAttribute(Qt::WA_TranslucentBackground, on);
    applyShape();
    if (wasVisible)
        show();
    update();
}

void SwitcherPanel::showCentered(const QRect& screenFrame, QSize size)
{
    // A real show during the warm-up takes the window over as it is, and start waits no longer.
    m_warming = false;
    endOffscreenDrawing();
    if (m_warmWait)
        m_warmWait->quit();
    const QSize panelSize = size.expandedTo(QSize(1, 1));
    const QPoint origin(screenFrame.x() + (screenFrame.width() - panelSize.width()) / 2,
                        screenFrame.y() + (screenFrame.height() - panelSize.height()) / 2);
    setGeometry(QRect(origin, panelSize));
    m_view->setGeometry(QRect(QPoint(0, 0), panelSize));
    m_releaseTimer->stop();
    if (!isVisible()) {
        passPointerForAMoment();
        show();
    }
    raise();
}

void SwitcherPanel::hidePanel()
{
    m_warming = false;
    hide();
    endOffscreenDrawing();
    m_releaseTimer->start();
}

void SwitcherPanel::releaseImage()
{
    if (QBackingStore* store = backingStore(); store && !isVisible())
        store->resize(QSize(1, 1));
}

void SwitcherPanel::warmUp(const RunView& view)
{
    warmViewCaches();
    m_view->draw(view);
    // Mapped beyond the top-left of every screen: the window is real but nobody can see it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->virtualGeometry() : QRect();
    const QSize size = m_view->preferredSize().expandedTo(QSize(1, 1));
    setGeometry(QRect(desktop.topLeft() - QPoint(size.width() + 200, size.height() + 200), size));
    m_view->setGeometry(QRect(QPoint(0, 0), size));
    m_warming = true;
    if (m_controls.drawOffscreen) {
        m_drawnOffscreen = winId();
        m_controls.drawOffscreen(m_drawnOffscreen, true);
    }
    show();
    QTimer::singleShot(WarmUpTimeoutMs, this, [this] { endWarmUp(); });
    // Drawn later, this frame (glyphs rasterised, the window's image memory first touched) would
    // hold up the first key press; drawn now it delays only the start, before the shortcut is taken.
    QEventLoop frameDrawn;
    m_warmWait = &frameDrawn;
    QTimer::singleShot(WarmUpWaitMs, &frameDrawn, &QEventLoop::quit);
    frameDrawn.exec(QEventLoop::ExcludeUserInputEvents);
    m_warmWait = nullptr;
}

void SwitcherPanel::warmViewCaches()
{
    RunView saved = m_view->content();
    m_view->draw(warmUpView());
    m_view->resize(m_view->preferredSize());
    m_view->grab();
    m_view->draw(std::move(saved));
}

void SwitcherPanel::endWarmUp()
{
    if (!m_warming)
        return;
    hidePanel();
    // The warmed image waits for the first switch, however late it comes.
    m_releaseTimer->stop();
    // Let go of the warm-up's entries now: freed at the first show instead, long after they were
    // made and no longer in the cache, they cost that show a fifth of a millisecond at 200 windows.
    m_view->draw(RunView());
    if (m_warmWait)
        m_warmWait->quit();
}

void SwitcherPanel::setNativeControls(NativeControls controls)
{
    m_controls = std::move(controls);
    if (m_controls.paintOnceAtMap && testAttribute(Qt::WA_WState_Created))
        m_controls.paintOnceAtMap(winId(), true);
}

void SwitcherPanel::endOffscreenDrawing()
{
    if (m_drawnOffscreen)
        m_controls.drawOffscreen(std::exchange(m_drawnOffscreen, 0), false);
}

void SwitcherPanel::passPointerForAMoment()
{
    if (!m_controls.passPointer)
        return;
    // Left on while hidden, so most shows need no request for it.
    if (!m_passingPointer)
        m_controls.passPointer(winId(), true);
    m_passingPointer = true;
    m_pointerTimer->start();
}

void SwitcherPanel::takePointer()
{
    if (!m_passingPointer || !isVisible())
        return;
    m_passingPointer = false;
    m_controls.passPointer(winId(), false);
}

void SwitcherPanel::applyShape()
{
    // Set on the native window, not the widget: a widget's mask also clips all its painting,
    // and a clip of thirty rectangles made every fill and image of a show go the slow way.
    QWindow* window = windowHandle();
    if (!window)
        return;  // the window is made later, and shaped then
    if (m_translucent) {
        window->setMask(QRegion());
        return;
    }
    // Without a compositor the corners cannot be transparent; cut them with a window shape.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), PanelStyle::CornerRadius, PanelStyle::CornerRadius);
    window->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void SwitcherPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyShape();
}

bool SwitcherPanel::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WinIdChange) {
        applyShape();
        m_passingPointer = false;  // a window made afresh takes the pointer
        if (m_controls.paintOnceAtMap)
            m_controls.paintOnceAtMap(winId(), true);
    }
    return handled;
}

void SwitcherPanel::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    paintPanelBackground(painter, QRectF(rect()), m_translucent);
    if (m_warming) {
        // Hide once this first frame has reached the window.
        QTimer::singleShot(0, this, [this] { endWarmUp(); });
    }
}

} // namespace zumo
