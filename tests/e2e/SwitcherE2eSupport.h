// What the switcher's end-to-end tests watch on the virtual desktop: zumo's panel as the X
// server sees it, the work area, and zumo's settings file.
#pragma once

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QString>
#include <cstdlib>
#include <map>
#include <optional>
#include <xcb/xcb.h>

#include "tests/e2e/E2eSupport.h"

namespace zumo::e2e {

// Follows the override-redirect children of the root (zumo's panel is one) through their create,
// configure, map and unmap events, and counts each time one becomes visible on the screen. The
// panel is warmed up once mapped outside the screen; that never counts as shown.
class PanelWatch {
  public:
    explicit PanelWatch(XHelper& x) : m_x(x)
    {
        auto* geometry =
            xcb_get_geometry_reply(x.connection(), xcb_get_geometry(x.connection(), x.root()), nullptr);
        if (geometry)
            m_screen = QRect(0, 0, geometry->width, geometry->height);
        std::free(geometry);
        x.onEvent = [this](const xcb_generic_event_t& event) { handle(event); };
    }
    ~PanelWatch() { m_x.onEvent = nullptr; }
    PanelWatch(const PanelWatch&) = delete;
    PanelWatch& operator=(const PanelWatch&) = delete;

    // How many times a panel became visible since this watch began.
    int showings() const { return m_showings; }
    // The panel on the screen now, if any.
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
        case XCB_MAP_NOTIFY: {
            const auto& e = reinterpret_cast<const xcb_map_notify_event_t&>(event);
            update(e.window, [](State& s) { s.mapped = true; });
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            const auto& e = reinterpret_cast<const xcb_unmap_notify_event_t&>(event);
            update(e.window, [](State& s) { s.mapped = false; });
            break;
        }
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
    QRect m_screen{0, 0, 1440, 900};
    std::map<xcb_window_t, State> m_windows;
    int m_showings = 0;
};

// The work area of the current desktop (_NET_WORKAREA holds x, y, width, height per desktop).
inline std::optional<QRect> workArea(XHelper& x)
{
    const std::vector<uint32_t> v = x.values(x.root(), "_NET_WORKAREA", x.currentDesktop().value_or(0) * 4, 4);
    if (v.size() < 4)
        return std::nullopt;
    return QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
}

inline const QString SettingsTitle = QStringLiteral("Zumo Settings");

// A window the window manager manages has this title.
inline bool hasClientTitled(XHelper& x, const QString& title)
{
    for (xcb_window_t window : x.clientList())
        if (x.title(window) == title)
            return true;
    return false;
}

// The environment entry that keeps LeakSanitizer from reporting libdbus's buffer, which Qt's
// desktop integration loads and keeps until exit.
inline QString leakSuppressions(const ZumoProcess& zumo)
{
    const QString path = zumo.configHome() + QStringLiteral("/../lsan.supp");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("leak:libdbus-1.so\n");
    return QStringLiteral("LSAN_OPTIONS=suppressions=") + path;
}

// zumo's settings file under a private configuration home.
inline QString settingsPath(const QString& configHome)
{
    return configHome + QStringLiteral("/zumo/com.zumo.app.json");
}

// Consent given and Settings not opened at launch: what a user who set Zumo up has, and what
// keeps a window from taking the focus from the test's windows.
inline QJsonObject setUpUser(QJsonObject settings = {})
{
    if (!settings.contains(QStringLiteral("consentVersion")))
        settings.insert(QStringLiteral("consentVersion"), 1);
    if (!settings.contains(QStringLiteral("openAtLaunch")))
        settings.insert(QStringLiteral("openAtLaunch"), false);
    return settings;
}

inline bool writeSettings(const QString& configHome, const QJsonObject& settings)
{
    if (!QDir().mkpath(configHome + QStringLiteral("/zumo")))
        return false;
    QFile file(settingsPath(configHome));
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(settings).toJson()) > 0;
}

inline QJsonObject readSettings(const QString& configHome)
{
    QFile file(settingsPath(configHome));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// An all-time counter as stored ("all.<name>"), 0 when absent.
inline qint64 storedCounter(const QString& configHome, const QString& name)
{
    return readSettings(configHome).value(QStringLiteral("all.") + name).toInteger();
}

} // namespace zumo::e2e
