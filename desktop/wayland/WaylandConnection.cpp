// The Wayland connection: registry, outputs, seat and keyboard, dispatched from Qt's loop.
#include "desktop/wayland/WaylandConnection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "platform/Log.h"
// The generated header names an argument "namespace", a C++ keyword.
#define namespace layerNamespace
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace

namespace zumo::wayland {

struct WaylandConnection::Impl {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    wl_surface* pointerSurface = nullptr;
    double pointerX = 0;
    double pointerY = 0;
    PointerListener* pointerListener = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    Global toplevelManager;
    std::vector<Output> outputs;
    QByteArray keymap;
    KeyboardListener* keyboardListener = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
    QMetaObject::Connection flushBeforeBlocking;
    std::function<void()> lost;
    WaylandConnection* owner = nullptr;

    void readEvents();
    void fail();
};

namespace {

using Impl = WaylandConnection::Impl;

// --- outputs -----------------------------------------------------------------------------

Output* outputOf(Impl* d, wl_output* output)
{
    auto it = std::find_if(d->outputs.begin(), d->outputs.end(), [output](const Output& o) { return o.output == output; });
    return it == d->outputs.end() ? nullptr : &*it;
}

void outputGeometry(void* data, wl_output* output, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                    const char*, int32_t)
{
    if (Output* o = outputOf(static_cast<Impl*>(data), output))
        o->frame.moveTopLeft(QPoint(x, y));
}

void outputMode(void* data, wl_output* output, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    Output* o = outputOf(static_cast<Impl*>(data), output);
    if (o && (flags & WL_OUTPUT_MODE_CURRENT))
        o->frame.setSize(QSize(width, height));
}

void outputDone(void* data, wl_output*)
{
    static_cast<Impl*>(data)->owner->outputsChanged.notify();
}

void outputScale(void*, wl_output*, int32_t) {}
void outputText(void*, wl_output*, const char*) {}

const wl_output_listener outputListener{outputGeometry, outputMode, outputDone, outputScale, outputText, outputText};

// --- keyboard ----------------------------------------------------------------------------

void keyboardKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
{
    auto* d = static_cast<Impl*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            // The text ends with a NUL the size counts.
            d->keymap = QByteArray(static_cast<const char*>(map), qsizetype(strnlen(static_cast<const char*>(map), size)));
            munmap(map, size);
            if (d->keyboardListener)
                d->keyboardListener->keymap(d->keymap);
        }
    }
    close(fd);
}

void keyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*)
{
    if (auto* listener = static_cast<Impl*>(data)->keyboardListener)
        listener->entered(surface);
}

void keyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface*)
{
    if (auto* listener = static_cast<Impl*>(data)->keyboardListener)
        listener->left();
}

void keyboardKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    if (auto* listener = static_cast<Impl*>(data)->keyboardListener)
        listener->key(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
}

void keyboardModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                       uint32_t group)
{
    if (auto* listener = static_cast<Impl*>(data)->keyboardListener)
        listener->modifiers(depressed, latched, locked, group);
}

void keyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener keyboardListener{keyboardKeymap, keyboardEnter, keyboardLeave,
                                            keyboardKey,    keyboardModifiers, keyboardRepeat};

// --- pointer -----------------------------------------------------------------------------

constexpr uint32_t LeftButton = 0x110;  // BTN_LEFT

void pointerEnter(void* data, wl_pointer*, uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
{
    auto* d = static_cast<Impl*>(data);
    // Entering is no motion of the user's: a panel appearing under a resting pointer must not
    // move the selection, so only the position is kept.
    d->pointerSurface = surface;
    d->pointerX = wl_fixed_to_double(x);
    d->pointerY = wl_fixed_to_double(y);
}

void pointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*)
{
    static_cast<Impl*>(data)->pointerSurface = nullptr;
}

void pointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    auto* d = static_cast<Impl*>(data);
    d->pointerX = wl_fixed_to_double(x);
    d->pointerY = wl_fixed_to_double(y);
    if (d->pointerListener && d->pointerSurface)
        d->pointerListener->pointerMoved(d->pointerSurface, d->pointerX, d->pointerY);
}

void pointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state)
{
    auto* d = static_cast<Impl*>(data);
    if (d->pointerListener && d->pointerSurface && button == LeftButton && state == WL_POINTER_BUTTON_STATE_PRESSED)
        d->pointerListener->pointerPressed(d->pointerSurface, d->pointerX, d->pointerY);
}

void pointerAxis(void* data, wl_pointer*, uint32_t, uint32_t axis, wl_fixed_t value)
{
    auto* d = static_cast<Impl*>(data);
    if (d->pointerListener && d->pointerSurface && axis == WL_POINTER_AXIS_VERTICAL_SCROLL)
        d->pointerListener->wheelTurned(wl_fixed_to_double(value));
}

void pointerFrame(void*, wl_pointer*) {}
void pointerAxisSource(void*, wl_pointer*, uint32_t) {}
void pointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void pointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener pointerListener{pointerEnter,        pointerLeave,    pointerMotion,
                                          pointerButton,       pointerAxis,     pointerFrame,
                                          pointerAxisSource,   pointerAxisStop, pointerAxisDiscrete,
                                          pointerAxisValue120};

void seatCapabilities(void* data, wl_seat* seat, uint32_t caps)
{
    auto* d = static_cast<Impl*>(data);
    const bool hasPointer = caps & WL_SEAT_CAPABILITY_POINTER;
    if (hasPointer && !d->pointer) {
        d->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(d->pointer, &pointerListener, d);
    } else if (!hasPointer && d->pointer) {
        wl_pointer_release(d->pointer);
        d->pointer = nullptr;
        d->pointerSurface = nullptr;
    }
    const bool hasKeyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasKeyboard && !d->keyboard) {
        d->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(d->keyboard, &keyboardListener, d);
    } else if (!hasKeyboard && d->keyboard) {
        wl_keyboard_release(d->keyboard);
        d->keyboard = nullptr;
    }
}

void seatName(void*, wl_seat*, const char*) {}

const wl_seat_listener seatListener{seatCapabilities, seatName};

// --- registry ----------------------------------------------------------------------------

void registryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* d = static_cast<Impl*>(data);
    const auto is = [interface](const wl_interface& i) { return std::strcmp(interface, i.name) == 0; };
    if (is(wl_compositor_interface)) {
        d->compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
    } else if (is(wl_shm_interface)) {
        d->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (is(wl_seat_interface) && !d->seat) {
        d->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
        wl_seat_add_listener(d->seat, &seatListener, d);
    } else if (is(wl_output_interface)) {
        auto* output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 2u)));
        d->outputs.push_back(Output{output, name, {}});
        wl_output_add_listener(output, &outputListener, d);
    } else if (is(zwlr_layer_shell_v1_interface)) {
        d->layerShell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, std::min(version, 4u)));
    } else if (std::strcmp(interface, "zwlr_foreign_toplevel_manager_v1") == 0) {
        d->toplevelManager = Global{name, version};
    }
}

void registryGlobalRemove(void* data, wl_registry*, uint32_t name)
{
    auto* d = static_cast<Impl*>(data);
    auto it = std::find_if(d->outputs.begin(), d->outputs.end(), [name](const Output& o) { return o.name == name; });
    if (it == d->outputs.end())
        return;
    wl_output_destroy(it->output);
    d->outputs.erase(it);
    d->owner->outputsChanged.notify();
}

const wl_registry_listener registryListener{registryGlobal, registryGlobalRemove};

} // namespace

void WaylandConnection::Impl::readEvents()
{
    // Reads only what is there. A round trip made earlier in the same turn of the loop (a
    // binding over D-Bus, a zumo --sync) may have read what woke the notifier already, and
    // wl_display_dispatch would then wait for the compositor's next word, with the main thread
    // stopped: with Alt held nothing more comes, and a --sync then hung until Alt went up.
    if (wl_display_prepare_read(display) == 0 && wl_display_read_events(display) < 0)
        return fail();
    if (wl_display_dispatch_pending(display) < 0)
        return fail();
    wl_display_flush(display);
}

void WaylandConnection::Impl::fail()
{
    notifier->setEnabled(false);
    appLog(QStringLiteral("the Wayland compositor went away (error %1)").arg(wl_display_get_error(display)));
    if (auto handler = std::exchange(lost, {}))
        handler();
}

WaylandConnection::WaylandConnection() : d(std::make_unique<Impl>())
{
    d->owner = this;
}

std::unique_ptr<WaylandConnection> WaylandConnection::open(QString& error)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        error = QStringLiteral("cannot connect to the Wayland compositor '%1'. Is it running, and may this user "
                               "use its socket?")
                    .arg(qEnvironmentVariable("WAYLAND_DISPLAY"));
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> c(new WaylandConnection);
    Impl& d = *c->d;
    d.display = display;
    d.registry = wl_display_get_registry(display);
    wl_registry_add_listener(d.registry, &registryListener, &d);
    // The first round trip announces the globals, the second the outputs' modes and the seat.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    d.notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    QObject::connect(d.notifier.get(), &QSocketNotifier::activated, [impl = &d] { impl->readEvents(); });
    // Requests made anywhere on the main thread leave before the loop waits.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        d.flushBeforeBlocking = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                                 [display] { wl_display_flush(display); });
    return c;
}

WaylandConnection::~WaylandConnection()
{
    QObject::disconnect(d->flushBeforeBlocking);
    d->notifier.reset();
    for (const Output& o : d->outputs)
        wl_output_destroy(o.output);
    if (d->keyboard)
        wl_keyboard_release(d->keyboard);
    if (d->pointer)
        wl_pointer_release(d->pointer);
    if (d->seat)
        wl_seat_destroy(d->seat);
    if (d->layerShell)
        zwlr_layer_shell_v1_destroy(d->layerShell);
    if (d->shm)
        wl_shm_destroy(d->shm);
    if (d->compositor)
        wl_compositor_destroy(d->compositor);
    wl_registry_destroy(d->registry);
    wl_display_disconnect(d->display);
}

wl_display* WaylandConnection::display() const { return d->display; }
wl_registry* WaylandConnection::registry() const { return d->registry; }
wl_compositor* WaylandConnection::compositor() const { return d->compositor; }
wl_shm* WaylandConnection::shm() const { return d->shm; }
wl_seat* WaylandConnection::seat() const { return d->seat; }
zwlr_layer_shell_v1* WaylandConnection::layerShell() const { return d->layerShell; }
const Global& WaylandConnection::toplevelManager() const { return d->toplevelManager; }
const std::vector<Output>& WaylandConnection::outputs() const { return d->outputs; }

void WaylandConnection::setKeyboardListener(KeyboardListener* listener)
{
    d->keyboardListener = listener;
    if (listener && !d->keymap.isEmpty())
        listener->keymap(d->keymap);
}

void WaylandConnection::setPointerListener(PointerListener* listener)
{
    d->pointerListener = listener;
}

void WaylandConnection::flush()
{
    wl_display_flush(d->display);
}

void WaylandConnection::roundTrip()
{
    if (wl_display_roundtrip(d->display) < 0)
        d->fail();
}

void WaylandConnection::setLostHandler(std::function<void()> lost)
{
    d->lost = std::move(lost);
}

} // namespace zumo::wayland
