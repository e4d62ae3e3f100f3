// zumo-testclient: opens titled top-level windows for the end-to-end tests and keeps them open.
//   zumo-testclient [--class NAME] [--no-pid] TITLE...
// Each window carries a 16 and a 32 pixel icon; --no-pid leaves out _NET_WM_PID. Prints
// "<window id> <title>" for each window once it is mapped, honours WM_DELETE_WINDOW
// (destroying that window, exiting when none remain) and otherwise serves until killed.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    std::string className = "ZumoTest";
    bool pid = true;
    std::vector<std::string> titles;
};

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

struct Atoms {
    xcb_atom_t protocols, deleteWindow, netWmName, utf8, netWmPid, windowType, typeNormal, netWmIcon;
    explicit Atoms(xcb_connection_t* c)
        : protocols(intern(c, "WM_PROTOCOLS")), deleteWindow(intern(c, "WM_DELETE_WINDOW")),
          netWmName(intern(c, "_NET_WM_NAME")), utf8(intern(c, "UTF8_STRING")),
          netWmPid(intern(c, "_NET_WM_PID")), windowType(intern(c, "_NET_WM_WINDOW_TYPE")),
          typeNormal(intern(c, "_NET_WM_WINDOW_TYPE_NORMAL")), netWmIcon(intern(c, "_NET_WM_ICON"))
    {
    }
};

void setProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type, int format,
                 size_t count, const void* data)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, format, count, data);
}

// Each window gets its own background colour so captures of different windows differ.
xcb_window_t openWindow(xcb_connection_t* c, xcb_screen_t* screen, const Atoms& atoms, const Options& options,
                        const std::string& title, size_t index)
{
    const uint32_t colours[] = {0x3366cc, 0xcc6633, 0x33aa55, 0xaa3388, 0x888822};
    xcb_window_t w = xcb_generate_id(c);
    uint32_t values[] = {colours[index % 5], XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE};
    int16_t offset = int16_t(40 + 30 * (index % 10));
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, offset, offset, 400, 300, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                      values);
    setProperty(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, title.size(), title.data());
    setProperty(c, w, atoms.netWmName, atoms.utf8, 8, title.size(), title.data());
    uint32_t pid = uint32_t(getpid());
    if (options.pid)
        setProperty(c, w, atoms.netWmPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
    std::vector<uint32_t> icon;
    for (uint32_t side : {16u, 32u}) {
        icon.insert(icon.end(), {side, side});
        icon.insert(icon.end(), side * side, 0xFF000000 | colours[index % 5]);
    }
    setProperty(c, w, atoms.netWmIcon, XCB_ATOM_CARDINAL, 32, icon.size(), icon.data());
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        setProperty(c, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8, std::strlen(host), host);
    const std::string wmClass = "zumo-testclient" + std::string(1, '\0') + options.className + std::string(1, '\0');
    setProperty(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, wmClass.size(), wmClass.data());
    setProperty(c, w, atoms.protocols, XCB_ATOM_ATOM, 32, 1, &atoms.deleteWindow);
    setProperty(c, w, atoms.windowType, XCB_ATOM_ATOM, 32, 1, &atoms.typeNormal);
    xcb_map_window(c, w);
    return w;
}

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--class") && i + 1 < argc)
            options.className = argv[++i];
        else if (!std::strcmp(argv[i], "--no-pid"))
            options.pid = false;
        else
            options.titles.emplace_back(argv[i]);
    }
    return !options.titles.empty();
}

struct Client {
    xcb_window_t window;
    std::string title;
};

// Returns true when the event closed the last window.
bool handle(xcb_connection_t* c, const Atoms& atoms, std::vector<Client>& open, xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
        for (auto& client : open)
            if (client.window == map->window && !client.title.empty()) {
                std::printf("%u %s\n", map->window, client.title.c_str());
                std::fflush(stdout);
                client.title.clear();  // printed once, even when mapped again later
            }
        return false;
    }
    case XCB_CLIENT_MESSAGE: {
        auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (message->type != atoms.protocols || message->data.data32[0] != atoms.deleteWindow)
            return false;
        xcb_destroy_window(c, message->window);
        xcb_flush(c);
        std::erase_if(open, [&](const Client& client) { return client.window == message->window; });
        return open.empty();
    }
    default:
        return false;
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: zumo-testclient [--class NAME] [--no-pid] TITLE...\n");
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "zumo-testclient: cannot open the display (is DISPLAY set?)\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    Atoms atoms(c);
    std::vector<Client> open;
    for (size_t i = 0; i < options.titles.size(); ++i)
        open.push_back({openWindow(c, it.data, atoms, options, options.titles[i], i), options.titles[i]});
    xcb_flush(c);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        bool done = handle(c, atoms, open, event);
        std::free(event);
        if (done)
            break;
    }
    xcb_disconnect(c);
    return 0;
}
