// The frame-accurate eye and hand of wayland-switchbench, one Wayland client:
// - every new frame of the middle of the first output (half its width and height, where the
//   panel shows), copied when the compositor has damage there, printed as "FRAME <ns> <samples>"
//   with the compositor's presentation time and 64 pixels sampled over it (hex), so the first
//   frame with the panel can be told; copying only the middle keeps the compositor's own work
//   per frame small;
// - every toplevel that becomes activated, "ACTIVE <ns> <title>", when its "done" is read;
// - keys from a virtual keyboard: stdin lines "key CODE 1|0" (evdev code, pressed or not) and
//   "alt 1|0" (the Alt key with its modifier state); each answered "SENT <ns>" once flushed.
// Times are CLOCK_MONOTONIC nanoseconds, the clock the compositor stamps frames with.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"
#include "wlr-screencopy-unstable-v1-client.h"

namespace {

std::int64_t now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Client {
    wl_display* display = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_output* output = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevels = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    std::uint32_t altMask = 0;
    // The one buffer frames are copied into.
    wl_buffer* buffer = nullptr;
    void* pixels = nullptr;
    std::uint32_t width = 0, height = 0, stride = 0;
    int outputWidth = 0, outputHeight = 0;
    struct Toplevel {
        std::string title;
        bool activated = false, wasActivated = false;
    };
    std::map<zwlr_foreign_toplevel_handle_v1*, Toplevel> windows;

    void capture();
};

void outputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {}
void outputDone(void*, wl_output*) {}
void outputScale(void*, wl_output*, int32_t) {}
void outputText(void*, wl_output*, const char*) {}

void outputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    auto* c = static_cast<Client*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT)
        c->outputWidth = width, c->outputHeight = height;
}

const wl_output_listener outputListener{outputGeometry, outputMode, outputDone, outputScale, outputText, outputText};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* c = static_cast<Client*>(data);
    const auto bind = [&](const wl_interface& i, uint32_t most) { return wl_registry_bind(registry, name, &i, std::min(version, most)); };
    if (!std::strcmp(interface, wl_shm_interface.name))
        c->shm = static_cast<wl_shm*>(bind(wl_shm_interface, 1));
    else if (!std::strcmp(interface, wl_seat_interface.name) && !c->seat)
        c->seat = static_cast<wl_seat*>(bind(wl_seat_interface, 1));
    else if (!std::strcmp(interface, wl_output_interface.name) && !c->output) {
        c->output = static_cast<wl_output*>(bind(wl_output_interface, 2));
        wl_output_add_listener(c->output, &outputListener, c);
    }
    else if (!std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name))
        c->screencopy = static_cast<zwlr_screencopy_manager_v1*>(bind(zwlr_screencopy_manager_v1_interface, 2));
    else if (!std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name))
        c->keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(bind(zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (!std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name))
        c->toplevels = static_cast<zwlr_foreign_toplevel_manager_v1*>(bind(zwlr_foreign_toplevel_manager_v1_interface, 1));
}

void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{global, globalRemove};

// --- frames ------------------------------------------------------------------------------

void frameBuffer(void* data, zwlr_screencopy_frame_v1* frame, uint32_t format, uint32_t width, uint32_t height, uint32_t stride)
{
    auto* c = static_cast<Client*>(data);
    if (!c->buffer) {
        const int fd = memfd_create("frames", MFD_CLOEXEC);
        const std::size_t bytes = std::size_t(stride) * height;
        if (fd < 0 || ftruncate(fd, off_t(bytes)) != 0)
            return std::perror("wayland-frames: memfd");
        c->pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        wl_shm_pool* pool = wl_shm_create_pool(c->shm, fd, int(bytes));
        c->buffer = wl_shm_pool_create_buffer(pool, 0, int(width), int(height), int(stride), format);
        wl_shm_pool_destroy(pool);
        close(fd);
        c->width = width, c->height = height, c->stride = stride;
    }
    // Only frames with something new are copied, each at the compositor's next frame.
    zwlr_screencopy_frame_v1_copy_with_damage(frame, c->buffer);
}

void frameFlags(void*, zwlr_screencopy_frame_v1*, uint32_t) {}
void frameDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void frameDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void frameBufferDone(void*, zwlr_screencopy_frame_v1*) {}

void frameReady(void* data, zwlr_screencopy_frame_v1* frame, uint32_t secHi, uint32_t secLo, uint32_t nsec)
{
    auto* c = static_cast<Client*>(data);
    const std::int64_t presented = std::int64_t((std::uint64_t(secHi) << 32) | secLo) * 1000000000 + nsec;
    std::string samples;
    char hex[9];
    for (std::uint32_t row = 0; row < 8; ++row)
        for (std::uint32_t col = 0; col < 8; ++col) {
            const std::uint32_t x = col * c->width / 8 + c->width / 16, y = row * c->height / 8 + c->height / 16;
            std::uint32_t pixel = 0;
            std::memcpy(&pixel, static_cast<const char*>(c->pixels) + y * c->stride + x * 4, 4);
            std::snprintf(hex, sizeof hex, "%08x", pixel & 0xffffff);
            samples += hex;
        }
    std::printf("FRAME %lld %s\n", static_cast<long long>(presented), samples.c_str());
    std::fflush(stdout);
    zwlr_screencopy_frame_v1_destroy(frame);
    c->capture();
}

void frameFailed(void* data, zwlr_screencopy_frame_v1* frame)
{
    zwlr_screencopy_frame_v1_destroy(frame);
    static_cast<Client*>(data)->capture();
}

const zwlr_screencopy_frame_v1_listener frameListener{frameBuffer, frameFlags,  frameReady,     frameFailed,
                                                      frameDamage, frameDmabuf, frameBufferDone};

void Client::capture()
{
    zwlr_screencopy_frame_v1* frame = zwlr_screencopy_manager_v1_capture_output_region(
        screencopy, 0, output, outputWidth / 4, outputHeight / 4, outputWidth / 2, outputHeight / 2);
    zwlr_screencopy_frame_v1_add_listener(frame, &frameListener, this);
}

// --- toplevels ---------------------------------------------------------------------------

Client::Toplevel& toplevelOf(void* data, zwlr_foreign_toplevel_handle_v1* handle)
{
    return static_cast<Client*>(data)->windows[handle];
}

void onTitle(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* title) { toplevelOf(data, h).title = title; }
void onAppId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void onOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

void onState(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_array* states)
{
    Client::Toplevel& t = toplevelOf(data, h);
    t.activated = false;
    const auto* s = static_cast<const uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
        t.activated |= s[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
}

void onDone(void* data, zwlr_foreign_toplevel_handle_v1* h)
{
    Client::Toplevel& t = toplevelOf(data, h);
    if (t.activated && !t.wasActivated) {
        std::printf("ACTIVE %lld %s\n", static_cast<long long>(now()), t.title.c_str());
        std::fflush(stdout);
    }
    t.wasActivated = t.activated;
}

void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* h)
{
    static_cast<Client*>(data)->windows.erase(h);
    zwlr_foreign_toplevel_handle_v1_destroy(h);
}

const zwlr_foreign_toplevel_handle_v1_listener handleListener{onTitle, onAppId, onOutput, onOutput,
                                                              onState, onDone,  onClosed, onParent};

void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle)
{
    toplevelOf(data, handle);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, data);
}

void onFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}
const zwlr_foreign_toplevel_manager_v1_listener managerListener{onToplevel, onFinished};

// --- keys --------------------------------------------------------------------------------

bool makeKeyboard(Client& c)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = context ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    if (!keymap)
        return false;
    c.altMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_ALT);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const std::size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && write(fd, text, size) == ssize_t(size);
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    if (!written)
        return false;
    c.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(c.keyboards, c.seat);
    zwp_virtual_keyboard_v1_keymap(c.keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    close(fd);
    return true;
}

constexpr uint32_t LeftAlt = 56;  // KEY_LEFTALT

void command(Client& c, const char* line)
{
    unsigned code = 0, pressed = 0;
    const uint32_t time = uint32_t(now() / 1000000);
    if (std::sscanf(line, "key %u %u", &code, &pressed) == 2) {
        zwp_virtual_keyboard_v1_key(c.keyboard, time, code, pressed);
    } else if (std::sscanf(line, "alt %u", &pressed) == 1) {
        zwp_virtual_keyboard_v1_key(c.keyboard, time, LeftAlt, pressed);
        zwp_virtual_keyboard_v1_modifiers(c.keyboard, pressed ? c.altMask : 0, 0, 0, 0);
    } else {
        return;
    }
    wl_display_flush(c.display);
    std::printf("SENT %lld\n", static_cast<long long>(now()));
    std::fflush(stdout);
}

} // namespace

int main()
{
    Client c;
    c.display = wl_display_connect(nullptr);
    if (!c.display)
        return std::fprintf(stderr, "wayland-frames: no Wayland display\n"), 1;
    wl_registry_add_listener(wl_display_get_registry(c.display), &registryListener, &c);
    wl_display_roundtrip(c.display);
    if (!c.shm || !c.seat || !c.output || !c.screencopy || !c.keyboards || !c.toplevels)
        return std::fprintf(stderr, "wayland-frames: the compositor lacks screencopy, virtual keyboards or toplevels\n"), 1;
    if (!makeKeyboard(c))
        return std::fprintf(stderr, "wayland-frames: no keymap\n"), 1;
    zwlr_foreign_toplevel_manager_v1_add_listener(c.toplevels, &managerListener, &c);
    wl_display_roundtrip(c.display);  // the output's mode
    c.capture();
    wl_display_roundtrip(c.display);
    std::printf("READY\n");
    std::fflush(stdout);

    std::string input;
    pollfd fds[2]{{wl_display_get_fd(c.display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    while (true) {
        wl_display_flush(c.display);
        if (poll(fds, 2, -1) < 0)
            return 1;
        if ((fds[0].revents & POLLIN) && wl_display_dispatch(c.display) < 0)
            return 1;
        if (fds[0].revents & (POLLERR | POLLHUP))
            return 1;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char chunk[256];
            const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0)
                return 0;
            input.append(chunk, std::size_t(got));
            for (std::size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1))
                command(c, input.substr(0, end).c_str());
        }
    }
}
