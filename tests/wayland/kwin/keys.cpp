// Keys for the KWin end-to-end tests through KWin's fake-input protocol, from one device kept for
// the whole test (the seat has a keyboard only while one exists). Reads lines "press CODE" and
// "release CODE" (evdev codes) from standard input and answers each with "ok" once KWin has
// handled it; prints "ready" once bound, or a reason and exits 1 when KWin offers no fake input.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

namespace {

org_kde_kwin_fake_input* fakeInput = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fakeInput = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{global, globalRemove};

} // namespace

int main()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::puts("no Wayland display");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        std::puts("KWin offers no org_kde_kwin_fake_input version 4 to this client");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "zumo tests", "end-to-end keys");
    wl_display_roundtrip(display);
    std::puts("ready");
    std::fflush(stdout);
    std::string verb;
    unsigned code = 0;
    while (std::cin >> verb >> code) {
        const bool press = verb == "press";
        org_kde_kwin_fake_input_keyboard_key(fakeInput, code, press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        wl_display_roundtrip(display);
        std::puts("ok");
        std::fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
