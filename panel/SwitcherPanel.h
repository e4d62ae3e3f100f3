// A frameless, always-on-top window holding one SwitcherView; it never takes the keyboard
// focus from the user's application. Translucent and rounded where a compositor runs.
#pragma once

#include <QRect>
#include <QWidget>
#include <functional>

#include "switcher/RunView.h"

class QEventLoop;

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
    // Turns on (true) and off drawing the window whole while it is off the screen; the warm-up
    // uses it, when given, so that its frame also prepares what the windowing system keeps of
    // the window's image.
    using OffscreenDrawing = std::function<void(WId window, bool on)>;
    void setOffscreenDrawing(OffscreenDrawing drawing) { m_offscreenDrawing = std::move(drawing); }
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

    SwitcherView* m_view;
    bool m_translucent = false;
    bool m_warming = false;
    QEventLoop* m_warmWait = nullptr;  // set while warmUp waits for its frame
    OffscreenDrawing m_offscreenDrawing;
    WId m_drawnOffscreen = 0;  // the window while it is drawn off-screen
};

} // namespace zumo
