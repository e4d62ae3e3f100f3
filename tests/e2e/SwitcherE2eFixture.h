// The switcher's end-to-end fixture: client windows of their own applications, the real zumo
// started with its own settings, the keys a user presses, and zumo's panel as the X server sees it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <QJsonObject>
#include <map>
#include <optional>
#include <csignal>
#include <memory>
#include <xcb/xtest.h>

#include "tests/e2e/E2eSupport.h"

namespace zumo::e2e {

// Follows the override-redirect children of the root (zumo's panel is one) through their create,
// configure, map and unmap events, and counts each time one becomes visible on the screen. The
// panel is warmed up once mapped outside the screen; that never counts as shown.
class PanelWatch {
  public:
    explicit PanelWatch(XHelper& x) : m_x(x)
    {
        x.onEvent = [this](const xcb_generic_event_t& event) { handle(event); };
    }
    ~PanelWatch() { m_x.onEvent = nullptr; }
    PanelWatch(const PanelWatch&) = delete;
    PanelWatch& operator=(const PanelWatch&) = delete;

    // How many times a panel became visible since this watch began.
    int showings() const { return m_showings; }
    std::optional<xcb_window_t> visiblePanel() const
    {
        for (const auto& [window, state] : m_windows)
            if (visible(state))
                return window;
        return std::nullopt;
    }
    std::optional<QRect> geometry(xcb_window_t window) const
    {
        auto it = m_windows.find(window);
        return it == m_windows.end() ? std::nullopt : std::optional<QRect>(it->second.geometry);
    }

  private:
    struct State {
        QRect geometry;
        bool mapped = false;
    };

    bool visible(const State& state) const { return state.mapped && state.geometry.intersects(m_screen); }

    void handle(const xcb_generic_event_t& event)
    {
        switch (event.response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            const auto& e = reinterpret_cast<const xcb_create_notify_event_t&>(event);
            if (e.parent == m_x.root() && e.override_redirect)
                m_windows[e.window] = {QRect(e.x, e.y, e.width, e.height), false};
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            update(e.window, [&](State& s) { s.geometry = QRect(e.x, e.y, e.width, e.height); });
            break;
        }
        case XCB_MAP_NOTIFY:
            update(reinterpret_cast<const xcb_map_notify_event_t&>(event).window, [](State& s) { s.mapped = true; });
            break;
        case XCB_UNMAP_NOTIFY:
            update(reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window, [](State& s) { s.mapped = false; });
            break;
        case XCB_DESTROY_NOTIFY:
            m_windows.erase(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
            break;
        default:
            break;
        }
    }

    template <typename Change> void update(xcb_window_t window, Change change)
    {
        auto it = m_windows.find(window);
        if (it == m_windows.end())
            return;
        const bool before = visible(it->second);
        change(it->second);
        if (!before && visible(it->second))
            ++m_showings;
    }

    XHelper& m_x;
    const QRect m_screen{0, 0, 1440, 900};  // the virtual desktop's, as x11-session makes it
    std::map<xcb_window_t, State> m_windows;
    int m_showings = 0;
};

// Titles with letters of their own, so a short search picks exactly one.
inline const QString Alpha = QStringLiteral("Alpha notes");
inline const QString Bravo = QStringLiteral("Bravo mail");
inline const QString Charlie = QStringLiteral("Charlie shell");
inline const QString Delta = QStringLiteral("Delta music");
inline const QString Zulu = QStringLiteral("Zulu radio");

inline const QJsonObject ShowAtOnce{{QStringLiteral("showDelay"), 0}};

class SwitcherE2e : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ZUMO_REQUIRE_SESSION();
        x = std::make_unique<XHelper>();
        ASSERT_TRUE(x->ok());
        panels = std::make_unique<PanelWatch>(*x);
        // An earlier test may have left the desktop on the second workspace.
        if (x->currentDesktop().value_or(0) != 0) {
            x->setCurrentDesktop(0);
            ASSERT_TRUE(waitUntil([&] { return x->currentDesktop() == 0u; }));
        }
    }

    void TearDown() override
    {
        // A key left down would spoil every later test on the shared desktop.
        if (x) {
            for (uint32_t keysym : {XK_Tab, XK_Shift_L, XK_Alt_R, XK_Alt_L})
                x->keyUp(keysym);
        }
        zumo.stop();
    }

    // Opens each title as its own application (own process and class), then activates them in
    // order, so the last is in front and the one before it was used just before.
    void openWindows(const QStringList& titles)
    {
        for (const QString& title : titles) {
            auto client = std::make_unique<TestClient>();
            ASSERT_TRUE(client->start({title}, title.section(QLatin1Char(' '), 0, 0)))
                << client->error().toStdString();
            x->watch(client->window(0));
            ids[title] = client->window(0);
            clients.push_back(std::move(client));
        }
        for (const QString& title : titles)
            ASSERT_TRUE(activate(title));
    }

    bool activate(const QString& title) { return x->activate(ids.at(title)); }

    // zumo with the user's settings as set up (consent given), once its shortcut is armed.
    void startZumo(const QJsonObject& settings = {}, const QStringList& environment = {})
    {
        ASSERT_NO_FATAL_FAILURE(writeSettings(zumo.configHome(), setUpUser(settings)));
        ASSERT_NO_FATAL_FAILURE(launchZumo({}, environment));
        ASSERT_TRUE(zumo.waitForReady()) << "zumo printed: " << zumo.output().toStdString();
    }
    // Starts zumo without waiting for it to be ready.
    void launchZumo(const QStringList& arguments = {}, QStringList environment = {})
    {
        environment << leakSuppressions(zumo);
        ASSERT_TRUE(zumo.start(arguments, environment)) << zumo.process().errorString().toStdString();
    }

    // Ends zumo as the session does and checks it saved and left cleanly.
    void stopZumo(int signal = SIGTERM)
    {
        ASSERT_GT(zumo.process().processId(), 0) << "zumo had ended already";  // kill(0) would hit this test
        ::kill(pid_t(zumo.process().processId()), signal);
        ASSERT_TRUE(zumo.waitForExit()) << "zumo ignored signal " << signal;
        EXPECT_EQ(zumo.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(zumo.process().exitCode(), 0);
    }

    xcb_window_t id(const QString& title) const { return ids.at(title); }
    bool waitActive(const QString& title) { return waitUntil([&] { return x->activeWindow() == ids.at(title); }); }
    QString activeTitle() { return x->title(x->activeWindow()); }

    // The stored counter reaching a value; zumo saves it within half a second of a change.
    bool waitCounter(const QString& name, qint64 value)
    {
        return waitUntil([&] { return storedCounter(zumo.configHome(), name) == value; });
    }

    // Holds Alt, presses Tab and waits for the panel (it shows after "showDelay").
    bool openPanel(uint32_t alt = XK_Alt_L)
    {
        return x->keyDown(alt) && x->tap(XK_Tab) &&
               waitUntil([&] { return panels->visiblePanel().has_value(); });
    }
    bool waitPanelHidden() { return waitUntil([&] { return !panels->visiblePanel(); }); }
    // Zumo has handled everything sent so far, and this test has seen every window it mapped.
    bool settle()
    {
        const bool synced = zumo.sync();
        x->roundTrip();
        return synced;
    }

    // Types a search into the open panel ("/" and the query), then waits for zumo's answer, which
    // arrives asynchronously: with five or more entries the panel is wider than its search line,
    // so the narrower result list shows as a narrower panel.
    bool search(const std::function<bool()>& typeSlashAndQuery)
    {
        const auto panel = panels->visiblePanel();
        if (!panel)
            return false;
        const int fullWidth = panels->geometry(*panel).value_or(QRect()).width();
        return typeSlashAndQuery() && waitUntil([&] {
                   const auto now = panels->visiblePanel();
                   return now && panels->geometry(*now).value_or(QRect()).width() < fullWidth;
               });
    }

    // Alt, the Tabs and Alt up reach the server in one write, before zumo can react at all.
    void tapAltTabAtOnce(int tabs = 1)
    {
        const xcb_keycode_t alt = x->keycodeOf(XK_Alt_L), tab = x->keycodeOf(XK_Tab);
        ASSERT_TRUE(alt && tab);
        const auto send = [&](uint8_t type, xcb_keycode_t key) {
            xcb_test_fake_input(x->connection(), type, key, XCB_CURRENT_TIME, x->root(), 0, 0, 0);
        };
        send(XCB_KEY_PRESS, alt);
        for (int i = 0; i < tabs; ++i) {
            send(XCB_KEY_PRESS, tab);
            send(XCB_KEY_RELEASE, tab);
        }
        send(XCB_KEY_RELEASE, alt);
        x->flush();
    }

    bool altTab(std::initializer_list<uint32_t> held = {XK_Alt_L}, int tabs = 1)
    {
        bool ok = std::ranges::all_of(held, [&](uint32_t key) { return x->keyDown(key); });
        for (int i = 0; i < tabs && ok; ++i)
            ok = x->tap(XK_Tab);
        return ok && std::ranges::all_of(held, [&](uint32_t key) { return x->keyUp(key); });
    }

    std::unique_ptr<XHelper> x;
    std::unique_ptr<PanelWatch> panels;
    std::vector<std::unique_ptr<TestClient>> clients;
    std::map<QString, xcb_window_t> ids;
    ZumoProcess zumo;
};

} // namespace zumo::e2e
