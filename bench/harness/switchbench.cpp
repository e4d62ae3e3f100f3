// Side-by-side switch timings on a real X server for any switcher bound to Alt+Tab: key press to
// panel painted, quick taps, release to activation, idle CPU and memory. It opens its own client
// windows, injects keys with XTEST and watches the server (Damage for painting), so every switcher
// is measured from the outside in the same way. Beside each switcher's release->active it times
// the window manager alone: the harness sends the same activation request a pager would.
//
//   zumo-switchbench --name NAME [--windows 10,50,200] [--trials 15] [--taps 20] [--switches 100]
//                    [--idle 60] [--starts 1] [--second] [--json FILE] -- COMMAND [ARGS...]
//
// --starts N starts the switcher N times afresh at each size and reports the median first switch.
// --second times, in each trial, an Alt+Tab sent right after a quick one (a switch back and forth).
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

struct Options {
    std::string name = "switcher";
    std::vector<int> windowCounts{10, 50, 200};
    int trials = 15;
    int taps = 20;
    int switches = 100;
    int idleSeconds = 60;
    int starts = 1;
    bool second = false;  // time a second Alt+Tab sent right after a quick first one
    std::string json;
    std::vector<std::string> command;
};

struct SizeResult {
    int windows = 0;
    std::vector<double> paintMs;      // press of Tab to the panel's first paint
    std::vector<double> activateMs;   // release of Alt to the active window changing
    std::vector<double> floorMs;      // the harness's own activation request to the change
    std::vector<double> firstPaintMs; // the first switch after each fresh start, not in the medians
    int missedPanels = 0;
};

struct Result {
    std::vector<SizeResult> sizes;
    int tapsSwitched = 0;
    int tapsShown = 0;
    int taps = 0;
    double idleCpuPercent = -1;
    double rssMb = -1;
    double pssMb = -1;
    double rssRestMb = -1;  // the same after the idle period
    double pssRestMb = -1;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One connection that owns the test windows, injects keys and watches the root.
class Desk {
public:
    Desk()
    {
        m_conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_conn)) {
            std::fprintf(stderr, "switchbench: cannot open the X display (is DISPLAY set?)\n");
            std::exit(2);
        }
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data;
        m_root = m_screen->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        m_activeAtom = atom("_NET_ACTIVE_WINDOW");
        m_clientList = atom("_NET_CLIENT_LIST");
        m_keysyms = xcb_key_symbols_alloc(m_conn);
        initDamage();
        for (xcb_window_t w : rootChildren())
            watch(w, overrideRedirect(w));
        xcb_flush(m_conn);
    }
    ~Desk()
    {
        xcb_key_symbols_free(m_keysyms);
        xcb_disconnect(m_conn);
    }

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(m_conn, xcb_intern_atom(m_conn, 0, strlen(name), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : XCB_NONE;
        free(reply);
        return a;
    }

    std::vector<xcb_window_t> openWindows(int count)
    {
        std::vector<xcb_window_t> made;
        const xcb_atom_t netName = atom("_NET_WM_NAME"), utf8 = atom("UTF8_STRING"), pidAtom = atom("_NET_WM_PID");
        const uint32_t pid = uint32_t(getpid());
        for (int i = 0; i < count; ++i) {
            const xcb_window_t w = xcb_generate_id(m_conn);
            const uint32_t values[] = {m_screen->white_pixel};
            xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, w, m_root, 40 + (i % 20) * 20, 40 + (i % 15) * 20, 400,
                              300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual, XCB_CW_BACK_PIXEL, values);
            const std::string title = "Bench window " + std::to_string(i + 1);
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, title.size(),
                                title.data());
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, netName, utf8, 8, title.size(), title.data());
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
            const char cls[] = "switchbench\0Switchbench";
            xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof cls,
                                cls);
            xcb_map_window(m_conn, w);
            made.push_back(w);
            m_ours.insert(w);
        }
        xcb_flush(m_conn);
        // The window manager lists each window once it manages it.
        waitUntil(Clock::now() + std::chrono::seconds(20), [&] { return clientCount() >= size_t(count); });
        return made;
    }

    void closeWindows(const std::vector<xcb_window_t>& windows)
    {
        for (xcb_window_t w : windows) {
            xcb_destroy_window(m_conn, w);
            m_ours.erase(w);
        }
        xcb_flush(m_conn);
        waitUntil(Clock::now() + std::chrono::seconds(10), [&] { return clientCount() == 0; });
    }

    size_t clientCount()
    {
        auto* reply = xcb_get_property_reply(
            m_conn, xcb_get_property(m_conn, 0, m_root, m_clientList, XCB_ATOM_WINDOW, 0, 4096), nullptr);
        size_t n = 0;
        if (reply) {
            auto* ids = static_cast<xcb_window_t*>(xcb_get_property_value(reply));
            const int len = xcb_get_property_value_length(reply) / 4;
            for (int i = 0; i < len; ++i)
                n += m_ours.count(ids[i]);
        }
        free(reply);
        return n;
    }

    xcb_window_t activeWindow()
    {
        auto* reply = xcb_get_property_reply(
            m_conn, xcb_get_property(m_conn, 0, m_root, m_activeAtom, XCB_ATOM_WINDOW, 0, 1), nullptr);
        xcb_window_t w = XCB_NONE;
        if (reply && xcb_get_property_value_length(reply) == 4)
            w = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
        free(reply);
        return w;
    }

    // Asks the window manager to activate w, as a pager would (source indication 2); the time
    // until the root's _NET_ACTIVE_WINDOW changed, or nothing when it was active already or did not
    // change within 2 s.
    std::optional<double> activate(xcb_window_t w)
    {
        if (activeWindow() == w)
            return std::nullopt;  // the window manager may not announce a change that is none
        resetSeen();
        const auto sent = Clock::now();
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = w;
        ev.type = m_activeAtom;
        ev.data.data32[0] = 2;
        ev.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_conn, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&ev));
        xcb_flush(m_conn);
        if (!waitUntil(sent + std::chrono::seconds(2), [&] { return bool(m_seen.activeChanged); }))
            return std::nullopt;
        const double ms = msSince(sent, *m_seen.activeChanged);
        waitUntil(sent + std::chrono::seconds(2), [&] { return activeWindow() == w; });
        return ms;
    }

    // Presses (true) or releases a key given by keysym.
    void key(xcb_keysym_t sym, bool press)
    {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_keysyms, sym);
        if (!codes)
            return;
        xcb_test_fake_input(m_conn, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, codes[0], XCB_CURRENT_TIME, m_root, 0, 0,
                            0);
        free(codes);
    }
    void flush() { xcb_flush(m_conn); }

    // True when some client holds a passive grab of Alt+Tab (the switcher is ready).
    bool altTabTaken()
    {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_keysyms, 0xff09);
        if (!codes)
            return false;
        // The ungrab goes out with the grab, so a probe that succeeds holds the key for one request
        // only; an ungrab never touches another client's grab.
        auto cookie = xcb_grab_key_checked(m_conn, 1, m_root, XCB_MOD_MASK_1, codes[0], XCB_GRAB_MODE_ASYNC,
                                           XCB_GRAB_MODE_ASYNC);
        xcb_ungrab_key(m_conn, codes[0], m_root, XCB_MOD_MASK_1);
        free(codes);
        xcb_generic_error_t* error = xcb_request_check(m_conn, cookie);
        const bool taken = error != nullptr;
        free(error);
        return taken;
    }

    // What happened on the server since the last call (or during a wait).
    struct Seen {
        std::optional<Clock::time_point> painted;  // first paint of a foreign override-redirect window
        std::optional<Clock::time_point> mapped;   // a foreign override-redirect window appeared
        std::optional<Clock::time_point> activeChanged;
    };
    void resetSeen() { m_seen = Seen{}; }
    const Seen& seen() const { return m_seen; }

    // Handles events until pred() holds or the deadline passes; true when pred() held.
    template <typename Pred> bool waitUntil(Clock::time_point deadline, Pred pred)
    {
        for (;;) {
            pump();
            if (pred())
                return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd fd{xcb_get_file_descriptor(m_conn), POLLIN, 0};
            poll(&fd, 1, int(std::min<long long>(left, 50)));
        }
    }

private:
    void initDamage()
    {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(m_conn, &xcb_damage_id);
        if (!ext || !ext->present) {
            std::fprintf(stderr, "switchbench: the X server has no DAMAGE extension\n");
            std::exit(2);
        }
        m_damageEvent = ext->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_conn, xcb_damage_query_version(m_conn, 1, 1), nullptr));
    }

    std::vector<xcb_window_t> rootChildren()
    {
        std::vector<xcb_window_t> out;
        auto* reply = xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, m_root), nullptr);
        if (!reply)
            return out;
        xcb_window_t* kids = xcb_query_tree_children(reply);
        out.assign(kids, kids + xcb_query_tree_children_length(reply));
        free(reply);
        return out;
    }

    bool overrideRedirect(xcb_window_t w)
    {
        auto* reply = xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, w), nullptr);
        const bool result = reply && reply->override_redirect;
        free(reply);
        return result;
    }

    // Every override-redirect window (a switcher panel) gets a damage watch, made before it is
    // mapped whenever possible so its first paint cannot be missed.
    void watch(xcb_window_t w, bool isOverride)
    {
        if (!isOverride || m_ours.count(w) || m_damage.count(w))
            return;
        const xcb_damage_damage_t d = xcb_generate_id(m_conn);
        xcb_damage_create(m_conn, d, w, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        m_damage[w] = d;
    }

    void pump()
    {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(m_conn)) {
            handle(ev);
            free(ev);
        }
    }

    void handle(xcb_generic_event_t* ev)
    {
        const uint8_t type = ev->response_type & 0x7f;
        const auto now = Clock::now();
        if (type == XCB_CREATE_NOTIFY) {
            auto* e = reinterpret_cast<xcb_create_notify_event_t*>(ev);
            watch(e->window, e->override_redirect);
            xcb_flush(m_conn);
        } else if (type == XCB_MAP_NOTIFY) {
            auto* e = reinterpret_cast<xcb_map_notify_event_t*>(ev);
            if (e->override_redirect && m_damage.count(e->window)) {
                m_viewable.insert(e->window);
                if (!m_seen.mapped)
                    m_seen.mapped = now;
            }
        } else if (type == XCB_UNMAP_NOTIFY) {
            m_viewable.erase(reinterpret_cast<xcb_unmap_notify_event_t*>(ev)->window);
        } else if (type == XCB_DESTROY_NOTIFY) {
            auto* e = reinterpret_cast<xcb_destroy_notify_event_t*>(ev);
            m_damage.erase(e->window);
            m_viewable.erase(e->window);
        } else if (type == XCB_PROPERTY_NOTIFY) {
            auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
            if (e->window == m_root && e->atom == m_activeAtom && !m_seen.activeChanged)
                m_seen.activeChanged = now;
        } else if (type == m_damageEvent) {
            auto* e = reinterpret_cast<xcb_damage_notify_event_t*>(ev);
            xcb_damage_subtract(m_conn, e->damage, XCB_NONE, XCB_NONE);
            xcb_flush(m_conn);
            if (m_viewable.count(e->drawable) && !m_seen.painted)
                m_seen.painted = now;
        }
    }

    xcb_connection_t* m_conn = nullptr;
    xcb_screen_t* m_screen = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_activeAtom = 0;
    xcb_atom_t m_clientList = 0;
    xcb_key_symbols_t* m_keysyms = nullptr;
    uint8_t m_damageEvent = 0;
    std::set<xcb_window_t> m_ours;
    std::map<xcb_window_t, xcb_damage_damage_t> m_damage;
    std::set<xcb_window_t> m_viewable;
    Seen m_seen;
};

constexpr xcb_keysym_t AltL = 0xffe9;
constexpr xcb_keysym_t Tab = 0xff09;

pid_t startCompetitor(const std::vector<std::string>& command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        std::vector<char*> argv;
        for (const auto& a : command)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        std::perror("switchbench: exec");
        _exit(127);
    }
    return pid;
}

void stopCompetitor(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(20000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// One held Alt+Tab: times the panel's first paint after Tab and the activation after Alt goes up.
// With `second`, a quick Alt+Tab goes first, so the timed one comes while the first one's list
// is still being built.
void timedSwitch(Desk& desk, SizeResult& out, bool second = false)
{
    desk.waitUntil(Clock::now() + std::chrono::milliseconds(30), [] { return false; });
    if (second) {
        desk.key(AltL, true);
        desk.key(Tab, true);
        desk.key(Tab, false);
        desk.key(AltL, false);
    }
    desk.key(AltL, true);
    desk.flush();
    desk.resetSeen();
    const auto pressed = Clock::now();
    desk.key(Tab, true);
    desk.flush();
    const bool painted = desk.waitUntil(pressed + std::chrono::seconds(2), [&] { return bool(desk.seen().painted); });
    if (painted)
        out.paintMs.push_back(msSince(pressed, *desk.seen().painted));
    else
        ++out.missedPanels;
    desk.key(Tab, false);
    desk.flush();
    desk.resetSeen();
    const auto released = Clock::now();
    desk.key(AltL, false);
    desk.flush();
    if (desk.waitUntil(released + std::chrono::seconds(2), [&] { return bool(desk.seen().activeChanged); }))
        out.activateMs.push_back(msSince(released, *desk.seen().activeChanged));
}

// Alt+Tab pressed and released back to back: did it switch, and did a panel flash?
void tap(Desk& desk, Result& out)
{
    desk.waitUntil(Clock::now() + std::chrono::milliseconds(50), [] { return false; });
    desk.resetSeen();
    desk.key(AltL, true);
    desk.key(Tab, true);
    desk.key(Tab, false);
    desk.key(AltL, false);
    desk.flush();
    const auto sent = Clock::now();
    desk.waitUntil(sent + std::chrono::milliseconds(600), [&] { return bool(desk.seen().activeChanged); });
    // Give a late panel the chance to show itself before judging.
    desk.waitUntil(Clock::now() + std::chrono::milliseconds(150), [] { return false; });
    ++out.taps;
    out.tapsSwitched += desk.seen().activeChanged ? 1 : 0;
    out.tapsShown += desk.seen().mapped ? 1 : 0;
}

long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

// One "Name:   N kB" line of a /proc file of pid, in MB; -1 when it cannot be read.
double procMb(pid_t pid, const char* file, const std::string& name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name, 0) == 0)
            return std::stod(line.substr(name.size())) / 1024.0;
    return -1;
}

double rssMb(pid_t pid)
{
    return procMb(pid, "status", "VmRSS:");
}

// The proportional share: shared libraries count once per process that maps them, so a
// Qt program is not charged the whole of Qt that others also use.
double pssMb(pid_t pid)
{
    return procMb(pid, "smaps_rollup", "Pss:");
}

bool waitReady(Desk& desk, pid_t pid)
{
    return desk.waitUntil(Clock::now() + std::chrono::seconds(20), [&] {
        return waitpid(pid, nullptr, WNOHANG) == 0 && desk.altTabTaken();
    });
}

Options parse(int argc, char** argv)
{
    Options o;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--name") o.name = value, ++i;
        else if (arg == "--trials") o.trials = std::atoi(value), ++i;
        else if (arg == "--taps") o.taps = std::atoi(value), ++i;
        else if (arg == "--switches") o.switches = std::atoi(value), ++i;
        else if (arg == "--idle") o.idleSeconds = std::atoi(value), ++i;
        else if (arg == "--starts") o.starts = std::max(1, std::atoi(value)), ++i;
        else if (arg == "--json") o.json = value, ++i;
        else if (arg == "--second") o.second = true;
        else if (arg == "--windows") {
            o.windowCounts.clear();
            std::stringstream list(value);
            for (std::string n; std::getline(list, n, ',');)
                o.windowCounts.push_back(std::atoi(n.c_str()));
            ++i;
        } else {
            std::fprintf(stderr, "switchbench: unknown option %s\n", arg.c_str());
            std::exit(2);
        }
    }
    for (++i; i < argc; ++i)
        o.command.emplace_back(argv[i]);
    if (o.command.empty()) {
        std::fprintf(stderr, "usage: zumo-switchbench --name NAME [options] -- COMMAND [ARGS...]\n");
        std::exit(2);
    }
    return o;
}

// The window manager's own share of release->active: the harness asks it, as a pager would,
// to activate one of the two windows Alt+Tab goes back and forth between, with no switcher
// running.
void measureFloor(Desk& desk, const std::vector<xcb_window_t>& windows, int trials, SizeResult& size)
{
    if (windows.size() < 2)
        return;
    desk.activate(windows[0]);
    for (int i = 0; i < trials; ++i)
        if (auto ms = desk.activate(windows[(i + 1) % 2]))
            size.floorMs.push_back(*ms);
}

// Starts the switcher afresh, waits until it holds Alt+Tab and times its first switch; the
// process is left running, or nothing when it never took the shortcut.
std::optional<pid_t> freshStart(Desk& desk, const Options& o, const std::vector<xcb_window_t>& windows,
                                SizeResult& size)
{
    const pid_t pid = startCompetitor(o.command);
    if (!waitReady(desk, pid)) {
        std::fprintf(stderr, "switchbench: %s did not take Alt+Tab\n", o.name.c_str());
        stopCompetitor(pid);
        return std::nullopt;
    }
    desk.activate(windows.front());
    SizeResult first;
    timedSwitch(desk, first);
    if (!first.paintMs.empty())
        size.firstPaintMs.push_back(first.paintMs.front());
    return pid;
}

void measureSize(Desk& desk, const Options& o, int count, Result& result)
{
    SizeResult size;
    size.windows = count;
    const auto windows = desk.openWindows(count);
    measureFloor(desk, windows, o.trials, size);
    std::optional<pid_t> started;
    for (int i = 0; i < o.starts; ++i) {
        if (started)
            stopCompetitor(*started);
        started = freshStart(desk, o, windows, size);
        if (!started)
            break;
    }
    if (!started) {
        desk.closeWindows(windows);
        result.sizes.push_back(size);
        return;
    }
    const pid_t pid = *started;
    SizeResult ignored;
    timedSwitch(desk, ignored);  // one more warm-up, not in the medians
    for (int i = 0; i < o.trials; ++i)
        timedSwitch(desk, size, o.second);
    const double slowest = size.paintMs.empty() ? 0.0 : *std::max_element(size.paintMs.begin(), size.paintMs.end());
    std::printf("%-8s %4d windows: press->painted median %.1f ms (slowest %.1f), release->active median %.1f ms "
                "(window manager alone %.1f ms), missed %d, first switch after start %.1f ms (median of %zu)\n",
                o.name.c_str(), count, median(size.paintMs), slowest, median(size.activateMs), median(size.floorMs),
                size.missedPanels, median(size.firstPaintMs), size.firstPaintMs.size());
    std::fflush(stdout);
    result.sizes.push_back(size);

    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        std::printf("%-8s exited during the run (%s %d)\n", o.name.c_str(), WIFSIGNALED(status) ? "signal" : "status",
                    WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
        desk.closeWindows(windows);
        return;
    }
    if (count == o.windowCounts.back()) {
        for (int i = 0; i < o.taps; ++i)
            tap(desk, result);
        std::printf("%-8s taps: switched %d of %d, panel shown %d\n", o.name.c_str(), result.tapsSwitched,
                    result.taps, result.tapsShown);
        for (int i = 0; i < o.switches; ++i) {
            SizeResult ignored;
            timedSwitch(desk, ignored);
        }
        result.rssMb = rssMb(pid);
        result.pssMb = pssMb(pid);
        if (o.idleSeconds > 0) {
            const long before = cpuTicks(pid);
            desk.waitUntil(Clock::now() + std::chrono::seconds(o.idleSeconds), [] { return false; });
            const long after = cpuTicks(pid);
            result.idleCpuPercent = 100.0 * double(after - before) / double(sysconf(_SC_CLK_TCK)) / o.idleSeconds;
        }
        // The last panel is still on screen at its activation; what stays is read after the rest.
        result.rssRestMb = rssMb(pid);
        result.pssRestMb = pssMb(pid);
        std::printf("%-8s resident after %d switches: %.1f MB (proportional %.1f MB), after %d s at rest %.1f MB "
                    "(%.1f MB), idle CPU over %d s: %.3f %%\n",
                    o.name.c_str(), o.switches, result.rssMb, result.pssMb, o.idleSeconds, result.rssRestMb, result.pssRestMb,
                    o.idleSeconds, result.idleCpuPercent);
    }
    stopCompetitor(pid);
    desk.closeWindows(windows);
}

void writeJson(const Options& o, const Result& r)
{
    if (o.json.empty())
        return;
    std::ofstream out(o.json);
    out << "{\n  \"name\": \"" << o.name << "\",\n  \"sizes\": [\n";
    for (size_t i = 0; i < r.sizes.size(); ++i) {
        const auto& s = r.sizes[i];
        out << "    {\"windows\": " << s.windows << ", \"press_to_painted_median_ms\": " << median(s.paintMs)
            << ", \"release_to_active_median_ms\": " << median(s.activateMs)
            << ", \"wm_alone_release_to_active_median_ms\": " << median(s.floorMs) << ", \"samples\": " << s.paintMs.size()
            << ", \"missed_panels\": " << s.missedPanels << ", \"first_press_to_painted_ms\": " << median(s.firstPaintMs)
            << ", \"fresh_starts\": " << s.firstPaintMs.size() << "}" << (i + 1 < r.sizes.size() ? "," : "") << "\n";
    }
    out << "  ],\n  \"taps\": " << r.taps << ", \"taps_switched\": " << r.tapsSwitched
        << ", \"taps_panel_shown\": " << r.tapsShown << ",\n  \"idle_cpu_percent\": " << r.idleCpuPercent
        << ", \"rss_mb_after_switches\": " << r.rssMb << ", \"pss_mb_after_switches\": " << r.pssMb
        << ", \"rss_mb_at_rest\": " << r.rssRestMb << ", \"pss_mb_at_rest\": " << r.pssRestMb << "\n}\n";
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    Desk desk;
    // The first XTEST key of a session makes the server switch the core keyboard over to the
    // XTEST device, and every client holding the keymap reloads it: a cost of this harness, not
    // of any switcher's first switch, so it is paid here.
    desk.key(0xffe1, true);  // Shift_L
    desk.key(0xffe1, false);
    desk.flush();
    desk.waitUntil(Clock::now() + std::chrono::milliseconds(200), [] { return false; });
    Result result;
    for (int count : options.windowCounts)
        measureSize(desk, options, count, result);
    writeJson(options, result);
    return 0;
}
