// A frameless, always-on-top window holding one SwitcherView; it never takes the keyboard
// focus from the user's application. Translucent and rounded where a compositor runs.
#pragma once

#include <QRect>
#include <QWidget>

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
    // Shows and hides the panel once, off-screen, so the first real show is fast.
    void warmUp();
    // A translucent rounded panel needs a compositor; without one it would show black corners,
    // so the panel is opaque with its corners cut by a window shape. Opaque until told otherwise.
    // Changing it after the native window exists recreates that window.
    void setTranslucent(bool on);
    bool translucent() const { return m_translucent; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyShape();
    void warmViewCaches();
    void endWarmUp();

    SwitcherView* m_view;
    bool m_translucent = false;
    bool m_warming = false;
};

} // namespace zumo
