// The event-driven window model: property changes mark fields dirty, and after each burst of
// events every dirty field is read again with all requests sent before any reply is awaited.
#include "desktop/x11/CompoundText.h"
#include "desktop/x11/X11WindowModel.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <unordered_set>
#include <xcb/res.h>

#include "platform/Log.h"
#include "desktop/x11/X11Connection.h"

namespace zumo::x11 {

namespace {

// Fields of a client window, read again when their property changes.
enum Field : std::uint32_t {
    NetName = 1 << 0, WmName = 1 << 1, PidField = 1 << 2, ClassField = 1 << 3, Type = 1 << 4,
    State = 1 << 5, WmStateField = 1 << 6, Desktop = 1 << 7, Icon = 1 << 8, Extents = 1 << 9,
    Geometry = 1 << 10, Hints = 1 << 11, AllFields = (1 << 12) - 1,
};

// Fields of the root window.
enum RootField : std::uint32_t {
    Stacking = 1 << 0, ClientList = 1 << 1, Active = 1 << 2, Current = 1 << 3, Count = 1 << 4,
    Workarea = 1 << 5, WmCheck = 1 << 6, AllRoot = (1 << 7) - 1,
};

// Icons beyond this many 32-bit words (a 1024 px icon, a 512 px one and a few smaller) are cut
// off; the decoder keeps the complete icons before the cut.
constexpr std::uint32_t MaxIconWords = (1u << 20) + (1u << 18) + (1u << 16) + 64;

std::span<const std::uint32_t> words(const xcb_get_property_reply_t* reply)
{
    if (!reply || reply->format != 32)
        return {};
    auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    return {data, std::size_t(xcb_get_property_value_length(reply)) / 4};
}

QByteArray bytes(const xcb_get_property_reply_t* reply)
{
    if (!reply || reply->format != 8)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                      xcb_get_property_value_length(reply));
}

std::optional<std::uint32_t> first(const xcb_get_property_reply_t* reply)
{
    auto values = words(reply);
    if (values.empty())
        return std::nullopt;
    return values[0];
}

struct Reply {
    xcb_get_property_reply_t* p;
    ~Reply() { std::free(p); }
};

// The process of the client owning a window, as the X server found it for a local connection.
std::optional<Pid> serverPid(xcb_connection_t* c, xcb_res_query_client_ids_cookie_t cookie)
{
    xcb_generic_error_t* error = nullptr;
    xcb_res_query_client_ids_reply_t* reply = xcb_res_query_client_ids_reply(c, cookie, &error);
    std::free(error);
    std::optional<Pid> pid;
    if (reply)
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem; xcb_res_client_id_value_next(&it))
            if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) && it.data->length >= 4)
                pid = Pid(*xcb_res_client_id_value_value(it.data));
    std::free(reply);
    return pid;
}

struct PropertySpec {
    Field field;
    xcb_atom_t atom, type;
    std::uint32_t length;
};

std::vector<PropertySpec> propertySpecs(X11Connection& x)
{
    xcb_ewmh_connection_t* a = x.ewmh();
    return {
        {NetName, a->_NET_WM_NAME, a->UTF8_STRING, 1024},
        {WmName, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 1024},
        {PidField, a->_NET_WM_PID, XCB_ATOM_CARDINAL, 1},
        {ClassField, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256},
        {Type, a->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32},
        {State, a->_NET_WM_STATE, XCB_ATOM_ATOM, 64},
        {WmStateField, x.atoms().wmState, x.atoms().wmState, 2},
        {Desktop, a->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1},
        {Icon, a->_NET_WM_ICON, XCB_ATOM_CARDINAL, MaxIconWords},
        {Extents, a->_NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 4},
        {Hints, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 9},
    };
}

} // namespace

const X11Window* DesktopSnapshot::find(std::uint32_t window) const
{
    if (!byId.empty()) {
        const auto it = std::ranges::lower_bound(byId, window, {}, [](const auto& entry) { return entry.first; });
        return it != byId.end() && it->first == window ? it->second : nullptr;
    }
    for (const auto& w : windows)
        if (w->id == window)
            return w.get();
    return nullptr;
}

void orderByUse(std::vector<const X11Window*>& frontToBack)
{
    std::ranges::stable_sort(frontToBack, std::greater<>{}, &X11Window::lastUse);
}

std::vector<const X11Window*> DesktopSnapshot::windowsOf(Pid owner) const
{
    std::vector<const X11Window*> result;
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if ((*it)->owner == owner)
            result.push_back(it->get());
    orderByUse(result);
    return result;
}

bool DesktopSnapshot::onscreen(const X11Window& window) const
{
    return isOnscreen(window.desktop, currentDesktop, window.state, window.minimised());
}

X11WindowModel::X11WindowModel(X11Connection& connection, OwnWindows own)
    : m_x(connection), m_own(std::move(own)), m_snapshot(std::make_shared<DesktopSnapshot>())
{
    m_x.setHandlers([this](const xcb_generic_event_t& event) { handle(event); }, [this] { refresh(); });
    if (!m_x.alive())
        return;
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_x.xcb(), m_x.root(), XCB_CW_EVENT_MASK, &mask);
    m_rootDirty = AllRoot;
    refresh();
}

X11WindowModel::~X11WindowModel()
{
    m_x.setHandlers({}, {});
}

std::shared_ptr<const DesktopSnapshot> X11WindowModel::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_snapshot;
}

void X11WindowModel::handle(const xcb_generic_event_t& event)
{
    switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        onProperty(e.window, e.atom);
        return;
    }
    case XCB_CONFIGURE_NOTIFY: {
        // Reparented clients get real events relative to their frame and synthetic ones in root
        // coordinates when the frame moves; reading the position again covers both.
        auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        if (m_windows.count(e.window))
            m_dirty[e.window] |= Geometry;
        return;
    }
    case XCB_DESTROY_NOTIFY: {
        // X reuses the ids of a client that went away for the next one that connects; forgetting
        // the window now makes a new window with the same id be read afresh.
        auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (e.window == m_wmCheck)
            m_rootDirty |= WmCheck;  // the window manager has gone
        forget(e.window);
        return;
    }
    case XCB_REPARENT_NOTIFY: {
        auto& e = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
        if (m_windows.count(e.window))
            m_dirty[e.window] |= Geometry;
        return;
    }
    default:
        return;
    }
}

void X11WindowModel::onProperty(std::uint32_t window, std::uint32_t atom)
{
    xcb_ewmh_connection_t* a = m_x.ewmh();
    if (window == m_x.root()) {
        const std::pair<xcb_atom_t, RootField> rootFields[] = {
            {a->_NET_CLIENT_LIST_STACKING, Stacking}, {a->_NET_CLIENT_LIST, ClientList},
            {a->_NET_ACTIVE_WINDOW, Active},          {a->_NET_CURRENT_DESKTOP, Current},
            {a->_NET_NUMBER_OF_DESKTOPS, Count},      {a->_NET_WORKAREA, Workarea},
            {a->_NET_SUPPORTING_WM_CHECK, WmCheck},
        };
        for (const auto& [known, field] : rootFields)
            if (atom == known)
                m_rootDirty |= field;
        m_root.activeChanges += atom == a->_NET_ACTIVE_WINDOW;
        return;
    }
    if (!m_windows.count(window))
        return;
    if (atom == XCB_ATOM_WM_NAME) {
        m_dirty[window] |= WmName;
        return;
    }
    for (const PropertySpec& spec : propertySpecs(m_x))
        if (atom == spec.atom)
            m_dirty[window] |= spec.field;
}

void X11WindowModel::forget(std::uint32_t window)
{
    m_dirty.erase(window);
    m_removed |= m_windows.erase(window) > 0;
}

void X11WindowModel::refresh()
{
    if (!m_rootDirty && m_dirty.empty() && !m_removed)
        return;
    m_removed = false;
    if (m_rootDirty)
        fetchRoot();
    if (!m_dirty.empty())
        fetchWindows();
    publish();
}

void X11WindowModel::fetchRoot()
{
    xcb_connection_t* c = m_x.xcb();
    xcb_ewmh_connection_t* a = m_x.ewmh();
    struct Request {
        RootField field;
        xcb_atom_t atom, type;
        std::uint32_t length;
        xcb_get_property_cookie_t cookie{};
    } requests[] = {
        {Stacking, a->_NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW, 65536},
        {ClientList, a->_NET_CLIENT_LIST, XCB_ATOM_WINDOW, 65536},
        {Active, a->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW, 1},
        {Current, a->_NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL, 1},
        {Count, a->_NET_NUMBER_OF_DESKTOPS, XCB_ATOM_CARDINAL, 1},
        {Workarea, a->_NET_WORKAREA, XCB_ATOM_CARDINAL, 4096},
        {WmCheck, a->_NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW, 1},
    };
    for (Request& r : requests)
        if (m_rootDirty & r.field)
            r.cookie = xcb_get_property(c, 0, m_x.root(), r.atom, r.type, 0, r.length);
    for (Request& r : requests) {
        if (!(m_rootDirty & r.field))
            continue;
        xcb_generic_error_t* error = nullptr;
        Reply reply{xcb_get_property_reply(c, r.cookie, &error)};
        std::free(error);
        auto values = words(reply.p);
        switch (r.field) {
        case Stacking: m_stacking.assign(values.begin(), values.end()); break;
        case ClientList: m_clientList.assign(values.begin(), values.end()); break;
        case Active: m_root.active = first(reply.p).value_or(0); break;
        case Current: m_root.currentDesktop = first(reply.p).value_or(0); break;
        case Count: m_root.numberOfDesktops = std::max<std::uint32_t>(1, first(reply.p).value_or(1)); break;
        case Workarea: m_root.workareas.assign(values.begin(), values.end()); break;
        case WmCheck: m_wmCheck = first(reply.p).value_or(0); break;
        default: break;
        }
    }
    if (m_rootDirty & (Stacking | ClientList))
        applyClientList();
    if (m_rootDirty & Active)
        noteUse(m_root.active);
    if (m_rootDirty & WmCheck)
        checkWindowManager();
    m_rootDirty = 0;
}

void X11WindowModel::checkWindowManager()
{
    // A window manager names a window of its own on the root and on that window itself; a
    // killed one leaves the root's value behind, naming a window that is gone.
    xcb_connection_t* c = m_x.xcb();
    bool present = false;
    if (m_wmCheck) {
        xcb_generic_error_t* gone = nullptr;  // the window no longer exists: no window manager
        Reply reply{xcb_get_property_reply(
            c, xcb_get_property(c, 0, m_wmCheck, m_x.ewmh()->_NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW, 0, 1),
            &gone)};
        std::free(gone);
        present = first(reply.p) == m_wmCheck;
    }
    if (present) {
        // Its destruction is how a killed window manager shows.
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, m_wmCheck, XCB_CW_EVENT_MASK, &mask);
        Reply name{xcb_get_property_reply(
            c, xcb_get_property(c, 0, m_wmCheck, m_x.ewmh()->_NET_WM_NAME, m_x.ewmh()->UTF8_STRING, 0, 64), nullptr)};
        m_root.windowManagerName = decodeText(bytes(name.p), true).trimmed();
    }
    if (!present) {
        m_wmCheck = 0;
        m_root.windowManagerName.clear();
    }
    if (present == m_root.windowManager)
        return;
    m_root.windowManager = present;
    if (present) {
        appLog(QStringLiteral("a window manager is running again; Zumo asks it to activate windows"));
    } else {
        appLog(QStringLiteral("no window manager is running; Zumo raises and focuses the chosen window itself "
                              "until one starts"));
    }
}

void X11WindowModel::noteFocused(std::uint32_t window)
{
    // Without a window manager nobody writes _NET_ACTIVE_WINDOW: the window given the focus is
    // the active one.
    if (m_root.windowManager || m_root.active == window)
        return;
    m_root.active = window;
    noteUse(window);
    publish();
}

void X11WindowModel::noteUse(std::uint32_t window)
{
    // The stacking order is no record of use: a window manager may keep windows where they are,
    // or restack on a click without a focus change. Each activation is.
    if (!m_windows.count(window) || (m_uses && m_windows.at(window)->lastUse == m_uses))
        return;
    writable(window).lastUse = ++m_uses;
}

void X11WindowModel::applyClientList()
{
    const std::vector<std::uint32_t>& order = m_stacking.empty() ? m_clientList : m_stacking;
    // Most changes only restack the same windows: then there is nothing to forget or to read.
    if (order.size() == m_windows.size() &&
        std::ranges::all_of(order, [this](std::uint32_t id) { return m_windows.count(id) > 0; }))
        return;
    std::unordered_set<std::uint32_t> listed(order.begin(), order.end());
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (listed.count(it->first)) {
            ++it;
            continue;
        }
        m_dirty.erase(it->first);
        it = m_windows.erase(it);
    }
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    for (std::uint32_t id : order) {
        if (m_windows.count(id))
            continue;
        // Watch before reading, so a change made between the two is not missed.
        xcb_change_window_attributes(m_x.xcb(), id, XCB_CW_EVENT_MASK, &mask);
        auto window = std::make_shared<X11Window>();
        window->id = id;
        m_windows[id] = std::move(window);
        m_dirty[id] = AllFields;
    }
}

namespace {

// WM_NAME in whichever encoding its type names; what cannot be converted reads as Latin-1.
QString wmNameText(const xcb_get_property_reply_t* reply, X11Connection& x)
{
    if (reply && reply->type == x.atoms().compoundText)
        if (std::optional<QByteArray> utf8 = compoundTextToUtf8(bytes(reply)))
            return decodeText(*utf8, true);
    return decodeText(bytes(reply), reply && reply->type == x.ewmh()->UTF8_STRING);
}

} // namespace

// Openbox gives its default icon to every window without one, and an application's windows
// mostly carry the same icon: identical icons share one decoded image, so 2000 windows hold one
// icon rather than 2000 copies, and the panel's icon cache keeps hitting it.
QImage X11WindowModel::sharedIcon(std::span<const std::uint32_t> data)
{
    if (data.empty())
        return {};
    const QByteArray key =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size_bytes()));
    if (auto it = m_icons.constFind(key); it != m_icons.constEnd())
        return *it;
    // Bounded: past this many distinct icons the windows keep theirs and the table starts again.
    if (m_icons.size() >= MaxSharedIcons)
        m_icons.clear();
    QImage icon = decodeIcon(data);
    m_icons.insert(QByteArray(key.constData(), key.size()), icon);
    return icon;
}

namespace {

void applyProperty(X11Window& w, Field field, const xcb_get_property_reply_t* reply, X11Connection& x)
{
    xcb_ewmh_connection_t* a = x.ewmh();
    switch (field) {
    case NetName:
        w.netWmName = reply && reply->format == 8 ? std::optional(decodeText(bytes(reply), true)) : std::nullopt;
        break;
    case WmName:
        w.wmName = wmNameText(reply, x);
        break;
    case PidField:
        w.pid = first(reply) ? std::optional(Pid(*first(reply))) : std::nullopt;
        w.owner = 0;  // found again when published
        break;
    case ClassField:
        w.wmClass = parseWmClass(bytes(reply));
        w.owner = 0;
        break;
    case Type:
        w.kind = windowKind(words(reply), {a->_NET_WM_WINDOW_TYPE_NORMAL, a->_NET_WM_WINDOW_TYPE_DIALOG});
        break;
    case State:
        w.state = parseWindowState(words(reply), {a->_NET_WM_STATE_HIDDEN, a->_NET_WM_STATE_SKIP_TASKBAR,
                                                  a->_NET_WM_STATE_STICKY});
        break;
    case WmStateField: w.wmState = first(reply); break;
    case Desktop: w.desktop = first(reply); break;
    case Icon: break;  // shared by the model, see sharedIcon
    case Extents: w.extents = parseFrameExtents(words(reply)); break;
    case Hints: w.hintsPixmaps = parseHintsIcon(words(reply)); break;
    default: break;
    }
    w.title = w.netWmName && !w.netWmName->isEmpty() ? *w.netWmName : w.wmName;
}

} // namespace

void X11WindowModel::fetchWindows()
{
    xcb_connection_t* c = m_x.xcb();
    struct Pending {
        std::uint32_t window;
        Field field;
        xcb_get_property_cookie_t property{};
        xcb_get_geometry_cookie_t geometry{};
        xcb_translate_coordinates_cookie_t position{};
        std::optional<xcb_res_query_client_ids_cookie_t> process;
    };
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(c, &xcb_res_id);
    const bool askServer = res && res->present;
    const std::vector<PropertySpec> specs = propertySpecs(m_x);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> dirty(m_dirty.begin(), m_dirty.end());
    m_dirty.clear();
    // The requests for one batch of windows go out before the replies of the batch before are
    // read: still about one round trip for the lot, while few replies wait in the connection at a
    // time. All of 2000 windows' at once held 9 MB of reply buffers, which the heap then kept.
    constexpr std::size_t BatchWindows = 64;
    std::size_t next = 0;
    const auto send = [&] {
        std::vector<Pending> batch;
        for (const std::size_t end = std::min(dirty.size(), next + BatchWindows); next < end; ++next) {
            const auto [window, fields] = dirty[next];
            if (m_windows.count(window))
                writable(window);  // the replies below change it in place
            for (const PropertySpec& spec : specs)
                if (fields & spec.field)
                    batch.push_back({window, spec.field,
                                     xcb_get_property(c, 0, window, spec.atom, spec.type, 0, spec.length), {}, {}, {}});
            if (fields & Geometry)
                batch.push_back({window, Geometry, {}, xcb_get_geometry(c, window),
                                 xcb_translate_coordinates(c, window, m_x.root(), 0, 0), {}});
            if ((fields & PidField) && askServer) {
                const xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
                batch.push_back({window, PidField, {}, {}, {}, xcb_res_query_client_ids(c, 1, &spec)});
            }
        }
        return batch;
    };
    std::vector<std::uint32_t> hintsRead;
    std::vector<Pending> pending = send();
    while (!pending.empty()) {
        std::vector<Pending> ahead = send();
        for (const Pending& p : pending) {
            xcb_generic_error_t* error = nullptr;
            if (p.process) {
                const std::optional<Pid> pid = serverPid(c, *p.process);
                if (auto it = m_windows.find(p.window); it != m_windows.end()) {
                    it->second->serverPid = pid;
                    it->second->owner = 0;  // found again when published
                }
                continue;
            }
            if (p.field != Geometry) {
                Reply reply{xcb_get_property_reply(c, p.property, &error)};
                std::free(error);
                if (auto it = m_windows.find(p.window); it != m_windows.end()) {
                    applyProperty(*it->second, p.field, reply.p, m_x);
                    if (p.field == Icon)
                        it->second->icon = sharedIcon(words(reply.p));
                }
                if (p.field == Hints)
                    hintsRead.push_back(p.window);
                continue;
            }
            auto* geometry = xcb_get_geometry_reply(c, p.geometry, &error);
            bool gone = error != nullptr;
            std::free(error);
            error = nullptr;
            auto* position = xcb_translate_coordinates_reply(c, p.position, &error);
            gone |= error != nullptr;
            std::free(error);
            auto it = m_windows.find(p.window);
            if (geometry && position && it != m_windows.end())
                it->second->client = QRect(position->dst_x, position->dst_y, geometry->width, geometry->height);
            std::free(geometry);
            std::free(position);
            // Still listed by a window manager that has not caught up, but already destroyed.
            if (gone)
                forget(p.window);
        }
        pending = std::move(ahead);
    }
    readHintsIcons(hintsRead);
}

void X11WindowModel::readHintsIcons(const std::vector<std::uint32_t>& windows)
{
    // Only a window without _NET_WM_ICON needs its WM_HINTS pixmap (classic X clients).
    std::vector<X11Window*> wanted;
    std::vector<HintsPixmaps> pixmaps;
    for (std::uint32_t id : windows) {
        auto it = m_windows.find(id);
        if (it == m_windows.end())
            continue;
        X11Window& w = *it->second;
        w.hintsIcon = QImage();
        if (w.hintsPixmaps && w.icon.isNull()) {
            wanted.push_back(&w);
            pixmaps.push_back(*w.hintsPixmaps);
        }
    }
    if (wanted.empty())
        return;
    std::vector<QImage> images = x11::readHintsIcons(m_x.xcb(), pixmaps);
    for (std::size_t i = 0; i < wanted.size(); ++i)
        wanted[i]->hintsIcon = std::move(images[i]);
}

X11Window& X11WindowModel::writable(std::uint32_t window)
{
    std::shared_ptr<X11Window>& w = m_windows.at(window);
    // A published snapshot may hold it, and snapshots never change: change a copy.
    if (w.use_count() > 1)
        w = std::make_shared<X11Window>(*w);
    return *w;
}

Pid X11WindowModel::standInPid(const QString& wmClass)
{
    auto it = m_standIns.find(wmClass);
    if (it != m_standIns.end())
        return it->second;
    Pid pid = -Pid(m_standIns.size()) - 1;
    m_standIns.emplace(wmClass, pid);
    return pid;
}

void X11WindowModel::publish()
{
    auto next = std::make_shared<DesktopSnapshot>();
    next->active = m_root.active;
    next->activeChanges = m_root.activeChanges;
    next->currentDesktop = m_root.currentDesktop;
    next->numberOfDesktops = m_root.numberOfDesktops;
    next->workareas = m_root.workareas;
    next->windowManager = m_root.windowManager;
    next->windowManagerName = m_root.windowManagerName;
    const std::vector<std::uint32_t>& order = m_stacking.empty() ? m_clientList : m_stacking;
    next->windows.reserve(order.size());
    next->byId.reserve(order.size());
    for (std::uint32_t id : order) {
        auto it = m_windows.find(id);
        if (it == m_windows.end() || (m_own && m_own(id)))
            continue;
        // 0 until the window is first published, and again once its pid or class changes.
        if (it->second->owner == 0) {
            X11Window& w = writable(id);
            // A window without _NET_WM_PID stays with its class, as remote and old clients do.
            const bool hasPid = w.pid && *w.pid > 0;
            w.owner = hasPid && w.serverPid && *w.serverPid > 0 ? *w.serverPid
                      : hasPid                                   ? *w.pid
                                                                 : standInPid(w.wmClass.className);
        }
        next->byId.emplace_back(id, it->second.get());
        next->windows.push_back(it->second);
    }
    std::ranges::sort(next->byId);
    {
        std::lock_guard lock(m_mutex);
        m_snapshot = std::move(next);
    }
    changed.notify();
}

} // namespace zumo::x11
