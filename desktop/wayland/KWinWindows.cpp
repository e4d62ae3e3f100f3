// The window list kept from the KWin script's messages, and the requests it is handed.
#include "desktop/wayland/KWinWindows.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QThread>
#include <algorithm>

#include "platform/Log.h"

namespace zumo::wayland {

namespace {

const QString BusName = QStringLiteral("com.zumo.app");
const QString ObjectPath = QStringLiteral("/KWin");
// Answered before D-Bus ends the script's call as timed out (25 s), which would end its asking.
constexpr int KeepAliveMs = 20000;
constexpr int SyncDeadlineMs = 1000;
// Pids that stand for app ids start far above any real process id the kernel gives out.
constexpr Pid FirstAppPid = 0x40000000;

} // namespace

bool KWinBus::fromKWin(const QDBusMessage& message)
{
    if (!m_kwin.isEmpty() && message.service() == m_kwin)
        return true;
    // KWin may have restarted since; its name's owner is asked again only for a stranger.
    m_kwin = QDBusConnection::sessionBus().interface()->serviceOwner(QStringLiteral("org.kde.KWin")).value();
    return !m_kwin.isEmpty() && message.service() == m_kwin;
}

void KWinBus::Post(const QString& json, const QDBusMessage& message)
{
    if (fromKWin(message))
        m_windows.received(readKWinMessage(json.toUtf8()));
}

QString KWinBus::Requests(const QDBusMessage& message)
{
    if (!fromKWin(message))
        return QStringLiteral("[]");
    message.setDelayedReply(true);
    m_windows.waiting(message);
    return {};
}

KWinWindows::KWinWindows(std::function<wl_output*(const QRect&)> outputAt)
    : m_outputAt(std::move(outputAt)), m_snapshot(std::make_shared<ToplevelSnapshot>())
{
    m_keepAlive.setInterval(KeepAliveMs);
    m_keepAlive.setSingleShot(true);
    QObject::connect(&m_keepAlive, &QTimer::timeout, &m_context, [this] { answer(); });
}

KWinWindows::~KWinWindows()
{
    if (m_call)
        QDBusConnection::sessionBus().send(m_call->createReply(QStringLiteral("[]")));
    if (m_registered) {
        QDBusConnection::sessionBus().unregisterObject(ObjectPath);
        QDBusConnection::sessionBus().unregisterService(BusName);
    }
}

bool KWinWindows::listen(QString& error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = QStringLiteral("cannot reach the session D-Bus, through which KWin tells Zumo about windows");
        return false;
    }
    if (!bus.registerService(BusName)) {
        error = QStringLiteral("another program holds the D-Bus name %1 (is another Zumo running?)").arg(BusName);
        return false;
    }
    m_registered = true;
    bus.registerObject(ObjectPath, &m_bus, QDBusConnection::ExportAllSlots);
    return true;
}

std::shared_ptr<const ToplevelSnapshot> KWinWindows::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_snapshot;
}

KWinWindows::Window* KWinWindows::find(const QString& key)
{
    auto it = std::find_if(m_windows.begin(), m_windows.end(), [&key](const Window& w) { return w.key == key; });
    return it == m_windows.end() ? nullptr : &*it;
}

KWinWindows::Window* KWinWindows::find(std::uint32_t id)
{
    auto it = std::find_if(m_windows.begin(), m_windows.end(), [id](const Window& w) { return w.state.id == id; });
    return it == m_windows.end() ? nullptr : &*it;
}

void KWinWindows::received(const KWinMessage& m)
{
    using Kind = KWinMessage::Kind;
    switch (m.kind) {
    case Kind::unreadable:
        return;
    case Kind::windows:
        replaceAll(m);
        break;
    case Kind::window:
        update(m.windows.front());
        break;
    case Kind::removed:
        if (Window* w = find(m.id)) {
            const std::uint32_t id = w->state.id;
            m_order.erase(std::remove(m_order.begin(), m_order.end(), id), m_order.end());
            m_windows.erase(m_windows.begin() + (w - m_windows.data()));
        }
        break;
    case Kind::activated:
        if (Window* w = find(m.id))
            markActive(w->state.id);
        break;
    case Kind::desktop:
        m_desktop = m.desktop;
        for (Window& w : m_windows)
            w.state.onCurrentDesktop = w.state.desktop == 0 || w.state.desktop == m_desktop;
        break;
    case Kind::shortcut:
        if (shortcutPressed)
            shortcutPressed(m.shortcut, m.reverse);
        return;
    case Kind::pong: {
        m_pongSerial = std::max(m_pongSerial, m.serial);
        // Taken off before it runs: it may wait for another pong.
        while (!m_afterPong.empty() && m_afterPong.front().first <= m_pongSerial) {
            const std::function<void()> done = std::move(m_afterPong.front().second);
            m_afterPong.pop_front();
            done();
        }
        return;
    }
    }
    publish();
}

void KWinWindows::update(const KWinWindow& w)
{
    Window* known = find(w.id);
    if (!known) {
        m_windows.push_back({w.id, {}});
        known = &m_windows.back();
        known->state.id = m_nextId++;
        known->state.handle = w.id;
        m_order.push_back(known->state.id);
    }
    Toplevel& t = known->state;
    t.title = w.title;
    t.appId = w.appId;
    auto [pid, added] = m_pids.try_emplace(w.appId, FirstAppPid + Pid(m_pids.size()));
    t.pid = pid->second;
    t.process = w.process;
    t.minimized = w.minimized;
    t.desktop = w.desktop;
    t.onCurrentDesktop = w.desktop == 0 || w.desktop == m_desktop;
    t.frame = w.frame;
    t.output = m_outputAt ? m_outputAt(w.frame) : nullptr;
    if (w.active && !t.activated)
        markActive(t.id);
}

void KWinWindows::replaceAll(const KWinMessage& m)
{
    m_desktop = m.desktop ? m.desktop : 1;
    std::vector<KWinWindow> windows = m.windows;
    // Never activated while the script ran: the order KWin listed them in, after the others.
    std::stable_sort(windows.begin(), windows.end(),
                     [](const KWinWindow& a, const KWinWindow& b) { return a.order > b.order; });
    std::vector<Window> kept;
    for (const KWinWindow& w : windows)
        if (Window* known = find(w.id))
            kept.push_back(*known);
    m_windows = std::move(kept);
    m_order.clear();
    for (const KWinWindow& w : windows) {
        if (Window* known = find(w.id))
            m_order.push_back(known->state.id);
        update(w);
    }
}

void KWinWindows::markActive(std::uint32_t id)
{
    for (Window& w : m_windows)
        w.state.activated = w.state.id == id;
    noteActivated(m_order, id);
    publish();
    if (Window* w = find(id))
        activated.notify(w->state);
}

void KWinWindows::publish()
{
    auto next = std::make_shared<ToplevelSnapshot>();
    for (std::uint32_t id : m_order)
        if (Window* w = find(id))
            next->windows.push_back(w->state);
    std::lock_guard lock(m_mutex);
    m_snapshot = std::move(next);
}

void KWinWindows::request(KWinRequest r)
{
    m_requests.push_back(std::move(r));
    answer();
}

void KWinWindows::waiting(const QDBusMessage& call)
{
    // A second call replaces one that was never answered (a script loaded again).
    if (m_call)
        QDBusConnection::sessionBus().send(m_call->createReply(QStringLiteral("[]")));
    m_call = call;
    if (!m_requests.empty())
        answer();
    else
        m_keepAlive.start();
}

void KWinWindows::answer()
{
    if (!m_call)
        return;
    m_keepAlive.stop();
    const QByteArray text = kwinRequestsText(m_requests);
    m_requests.clear();
    QDBusConnection::sessionBus().send(std::exchange(m_call, std::nullopt)->createReply(QString::fromUtf8(text)));
}

void KWinWindows::onMain(std::function<void()> work)
{
    // Closing and minimising are asked from worker threads; the list, the requests and the
    // D-Bus call waiting for them live on the main thread.
    if (QThread::currentThread() == m_context.thread())
        work();
    else
        QMetaObject::invokeMethod(&m_context, std::move(work), Qt::QueuedConnection);
}

void KWinWindows::activate(std::uint32_t id)
{
    onMain([this, id] {
        if (!find(id))
            return;
        m_activatedDuringRun = true;
        if (!m_pendingActivation)
            QTimer::singleShot(0, &m_context, [this] { sendActivation(); });
        m_pendingActivation = id;
        // Counted as used at once: KWin's answer comes later, and a quick second switch must
        // already start from this window.
        noteActivated(m_order, id);
        publish();
    });
}

void KWinWindows::keyboardLetGo()
{
    // After a switch its own request moves the keyboard. A second one could reach KWin only
    // after the next run's overlay took the keyboard, and take it away again.
    if (std::exchange(m_activatedDuringRun, false) || m_order.empty())
        return;
    const Window* w = find(m_order.front());
    if (w && !w->state.minimized && w->state.onCurrentDesktop)
        request({KWinRequest::Kind::activate, w->key});
}

void KWinWindows::sendActivation()
{
    if (Window* w = find(std::exchange(m_pendingActivation, 0)))
        request({KWinRequest::Kind::activate, w->key});
}

void KWinWindows::close(std::uint32_t id)
{
    onMain([this, id] {
        if (Window* w = find(id))
            request({KWinRequest::Kind::close, w->key});
    });
}

void KWinWindows::setMinimized(std::uint32_t id, bool minimized)
{
    onMain([this, id, minimized] {
        if (Window* w = find(id))
            request({KWinRequest::Kind::minimize, w->key, minimized});
    });
}

void KWinWindows::setFrameParts(std::uint32_t id, std::optional<QPoint> topLeft, std::optional<QSize> size)
{
    onMain([this, id, topLeft, size] {
        Window* w = find(id);
        if (!w || w->state.frame.isEmpty())
            return;
        if (m_pendingFrames.empty())
            QTimer::singleShot(0, &m_context, [this] { sendFrames(); });
        QRect& frame = m_pendingFrames.try_emplace(id, w->state.frame).first->second;
        if (topLeft)
            frame.moveTopLeft(*topLeft);
        if (size)
            frame.setSize(*size);
    });
}

void KWinWindows::sendFrames()
{
    for (const auto& [id, frame] : std::exchange(m_pendingFrames, {})) {
        if (Window* w = find(id))
            request({KWinRequest::Kind::frame, w->key, false, 0, 0, frame});
    }
}

void KWinWindows::showDesktop(std::uint32_t n)
{
    onMain([this, n] { request({KWinRequest::Kind::desktop, {}, false, n}); });
}

void KWinWindows::afterPosted(std::function<void()> done)
{
    const std::uint64_t serial = ++m_pingSerial;
    m_afterPong.emplace_back(serial, std::move(done));
    request({KWinRequest::Kind::ping, {}, false, 0, serial});
}

void KWinWindows::sync()
{
    const std::uint64_t serial = ++m_pingSerial;
    request({KWinRequest::Kind::ping, {}, false, 0, serial});
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(SyncDeadlineMs);
    // The pong comes after every message the script posted before it: D-Bus keeps their order.
    while (m_pongSerial < serial && deadline.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    if (m_pongSerial < serial)
        appLog(QStringLiteral("the KWin script did not answer within a second"));
}

} // namespace zumo::wayland
