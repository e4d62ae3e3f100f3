// One layer-shell overlay surface on Zumo's own connection, made at start and kept mapped,
// covering its output: idle it shows one transparent pixel, takes no pointer and no keyboard.
// A run only changes its contents and its keyboard interactivity, so showing the panel needs no
// configure round with the compositor (unless the run is on another output than the last).
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>

struct wl_output;
struct wl_surface;

namespace zumo::wayland {

class WaylandConnection;

class LayerOverlay {
public:
    // connection must outlive the overlay. Makes the surface when the compositor offers the
    // layer shell, on the output the compositor chooses; its first configure arrives with the
    // next dispatch. focusedOutput tells the output a run's panel belongs on (null: unknown).
    // Main thread.
    LayerOverlay(WaylandConnection& connection, std::function<wl_output*()> focusedOutput);
    ~LayerOverlay();
    LayerOverlay(const LayerOverlay&) = delete;
    LayerOverlay& operator=(const LayerOverlay&) = delete;

    // Exclusive keyboard while held: the compositor gives the surface the keyboard at once (the
    // modifiers held come with it) and gives it back to the window that had it on release.
    // Taking it on another output than the surface's makes a new surface there first.
    void holdKeyboard(bool hold);
    bool holdsKeyboard() const;
    wl_surface* surface() const;

    // An image the size of the output to paint the next frame into, with area (size pixels,
    // centred) cleared to transparent; nothing outside area may be painted. present() shows it.
    struct Frame {
        QImage& image;
        QRect area;
    };
    Frame beginFrame(QSize size);
    void present();
    // Shows nothing visible again.
    void clearFrame();
    // Where the frame shown sits on the output, empty when nothing is shown.
    QRect shownArea() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace zumo::wayland
