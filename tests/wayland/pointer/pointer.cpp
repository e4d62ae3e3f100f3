// A pointer for the headless compositor, which has none of its own: kept alive while it runs
// (the seat has a pointer only while a pointer device exists), it reads "X Y WIDTH HEIGHT" lines
// and clicks the left button at X,Y of an output WIDTH×HEIGHT, printing "clicked" once the
// compositor has handled the click.
#include <cstdio>
#include <cstring>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client.h"

namespace {

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        *static_cast<void**>(data) = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{global, globalRemove};

constexpr uint32_t LeftButton = 0x110;  // BTN_LEFT

} // namespace

int main()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return std::fprintf(stderr, "no Wayland display\n"), 1;
    void* manager = nullptr;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &manager);
    wl_display_roundtrip(display);
    if (!manager)
        return std::fprintf(stderr, "the compositor offers no virtual pointer\n"), 1;
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(
        static_cast<zwlr_virtual_pointer_manager_v1*>(manager), nullptr);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
    unsigned x = 0, y = 0, width = 0, height = 0;
    while (std::scanf("%u %u %u %u", &x, &y, &width, &height) == 4) {
        zwlr_virtual_pointer_v1_motion_absolute(pointer, 0, x, y, width, height);
        zwlr_virtual_pointer_v1_frame(pointer);
        zwlr_virtual_pointer_v1_button(pointer, 0, LeftButton, WL_POINTER_BUTTON_STATE_PRESSED);
        zwlr_virtual_pointer_v1_frame(pointer);
        zwlr_virtual_pointer_v1_button(pointer, 0, LeftButton, WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(pointer);
        wl_display_roundtrip(display);
        std::printf("clicked\n");
        std::fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
