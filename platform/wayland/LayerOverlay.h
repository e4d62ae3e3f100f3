// One layer-shell overlay surface on Zumo's own connection. While open it holds the keyboard
// (exclusive interactivity), so the release of Alt and the panel's keys reach Zumo; it shows
// the last frame painted, or nothing visible (one transparent pixel) before the first.
#pragma once

#include <QImage>
#include <QSize>
#include <memory>

#include "platform/Listeners.h"

struct wl_surface;

namespace zumo::wayland {

class WaylandConnection;

class LayerOverlay {
public:
    // connection must outlive the overlay and offer the layer shell. Main thread.
    explicit LayerOverlay(WaylandConnection& connection);
    ~LayerOverlay();
    LayerOverlay(const LayerOverlay&) = delete;
    LayerOverlay& operator=(const LayerOverlay&) = delete;

    // Makes the surface unless it exists; the compositor maps it and gives it the keyboard
    // after one configure round.
    void open();
    // Destroys the surface: the keyboard goes back to the window that had it.
    void close();
    bool isOpen() const;
    wl_surface* surface() const;

    // An image of size pixels to paint the next frame into (contents undefined), backed by
    // shared memory the compositor reads; present() shows it, centred on the output.
    QImage& beginFrame(QSize size);
    void present();
    // Shows nothing visible again, keeping the keyboard.
    void clearFrame();

    // A presented frame reached the screen (the compositor's frame callback). Main thread.
    Notifier<> framePresented;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace zumo::wayland
