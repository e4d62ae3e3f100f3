// A frameless, always-on-top window holding one SwitcherView; it never takes the keyboard
// focus from the user's application. Translucent and rounded where a compositor runs.
#pragma once

#include <QRect>
#include <QWidget>
#include <functional>

#include "switcher/RunView.h"

class QEventLoop;
class QTimer;

namespace zumo {

class Settings;
class SwitcherView;

class SwitcherPanel : public QWidget {
    Q_OBJECT
public:
    explicit SwitcherPanel(const Settings& settings);
    SwitcherView* view() const { return m_view; }
    // Sizes the panel to size, centres it on screenFrame (global top-left coordinates) and shows it.
    void showCentered(const QRect& screenFrame, QSize size);
    // Hides the panel (it stays made for the next run).
    void hidePanel();
    // Draws view, then shows and hides the panel once at that size, off-screen, and returns once
    // that frame is drawn (or after half a second), so the first real show is fast: the window's
    // image memory is made at the size a run will need (the windowing layer keeps it for any later
    // size between half and all of it) and the glyphs are rasterised.
    void warmUp(const RunView& view);
    // States of the native window the windowing system offers beyond Qt, each turned on (true)
    // or off for the window given; any may be null.
    using WindowSwitch = std::function<void(WId window, bool on)>;
    struct NativeControls {
        // Drawn whole while off the screen: the warm-up's frame then also prepares what the
        // windowing system keeps of the window's image.
        WindowSwitch drawOffscreen;
        // The pointer goes through the window. A show starts with it on, so the panel appears
        // without pointer crossings to work out first, and takes the pointer a moment later.
        WindowSwitch passPointer;
        // Painted once when shown: what the windowing system asks for again with the show's
        // own exposure is already on the screen.
        WindowSwitch paintOnceAtMap;
    };
    void setNativeControls(NativeControls controls);
    // A translucent rounded panel needs a compositor; without one it would show black corners,
    // so the panel is opaque with its corners cut by a window shape. Opaque until told otherwise.
    // Changing it after the native window exists recreates that window.
    void setTranslucent(bool on);
    bool translucent() const { return m_translucent; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void applyShape();
    void warmViewCaches();
    void endWarmUp();
    void endOffscreenDrawing();
    void passPointerForAMoment();
    void takePointer();
    void releaseImage();

    SwitcherView* m_view;
    bool m_translucent = false;
    bool m_warming = false;
    QEventLoop* m_warmWait = nullptr;  // set while warmUp waits for its frame
    NativeControls m_controls;
    WId m_drawnOffscreen = 0;     // the window while it is drawn off-screen
    bool m_passingPointer = false;
    QTimer* m_pointerTimer;       // ends the pass-through a moment after a show
    QTimer* m_releaseTimer;       // lets go of the image of a panel hidden a while
};

} // namespace zumo
