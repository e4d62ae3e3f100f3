// Zumo's own connection to the Wayland compositor: the globals the backend needs, the outputs
// and the seat's keyboard, read on Qt's event loop through a socket notifier.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Listeners.h"

struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;

namespace zumo::wayland {

struct Output {
    wl_output* output = nullptr;
    std::uint32_t name = 0;  // the registry's name of the global
    QRect frame;             // position and current mode, in pixels
};

// A global the connection saw but does not bind itself: its user binds it and sets its
// listener in one go, so none of its events is dispatched without a listener.
struct Global {
    std::uint32_t name = 0;
    std::uint32_t version = 0;
};

// What the seat's keyboard reports, untranslated. Main thread.
class KeyboardListener {
public:
    virtual ~KeyboardListener() = default;
    // A keymap in the xkb text format; the text is given, not the file it came in.
    virtual void keymap(const QByteArray& text) = 0;
    virtual void entered(wl_surface* surface) = 0;
    virtual void left() = 0;
    // key is the evdev code (xkb's keycode minus 8).
    virtual void key(std::uint32_t key, bool pressed) = 0;
    virtual void modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                           std::uint32_t group) = 0;
};

// What the seat's pointer reports over Zumo's own surfaces, in surface coordinates. Main thread.
class PointerListener {
public:
    virtual ~PointerListener() = default;
    virtual void pointerMoved(wl_surface* surface, double x, double y) = 0;
    virtual void pointerPressed(wl_surface* surface, double x, double y) = 0;  // the left button
    virtual void wheelTurned(double distance) = 0;                   // vertical, down positive
};

class WaylandConnection {
public:
    // Connects to $WAYLAND_DISPLAY and learns the globals and outputs (two round trips). Null,
    // with error set to a sentence the user can act on, when no compositor answers.
    static std::unique_ptr<WaylandConnection> open(QString& error);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const;
    wl_registry* registry() const;
    wl_compositor* compositor() const;
    wl_shm* shm() const;
    wl_seat* seat() const;
    zwlr_layer_shell_v1* layerShell() const;  // null when the compositor has no layer shell
    const Global& toplevelManager() const;    // name 0 when the compositor does not offer it
    const std::vector<Output>& outputs() const;

    // Keyboard events go to listener from now on; a keymap already received is given at once.
    void setKeyboardListener(KeyboardListener* listener);
    // Pointer events go to listener from now on.
    void setPointerListener(PointerListener* listener);
    // Sends every request made so far.
    void flush();
    // Returns once the compositor has handled every request sent before and its answers have
    // been dispatched.
    void roundTrip();
    // Called once when the compositor goes away.
    void setLostHandler(std::function<void()> lost);

    // Outputs came, went or changed their mode. Main thread.
    Notifier<> outputsChanged;

    struct Impl;

private:
    WaylandConnection();
    std::unique_ptr<Impl> d;
};

} // namespace zumo::wayland
