// The other programs' windows on KDE Plasma, from the script Zumo loads into KWin: the script
// posts every window and its changes to Zumo's D-Bus object, and takes Zumo's requests by a
// call Zumo answers when it has some (a script can call D-Bus but cannot be called).
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "desktop/wayland/KWinMessages.h"
#include "desktop/wayland/WindowList.h"

namespace zumo::wayland {

class KWinWindows;

// The object the script calls (bus name com.zumo.app, path /KWin, interface com.zumo.KWin).
// Only calls from the program that owns org.kde.KWin are heeded.
class KWinBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.zumo.KWin")
public:
    explicit KWinBus(KWinWindows& windows) : m_windows(windows) {}
public Q_SLOTS:
    Q_NOREPLY void Post(const QString& json, const QDBusMessage& message);
    QString Requests(const QDBusMessage& message);

private:
    bool fromKWin(const QDBusMessage& message);
    KWinWindows& m_windows;
    QString m_kwin;  // KWin's unique bus name, once known
};

class KWinWindows final : public WindowList {
public:
    // outputAt tells the output a window's frame lies on. Main thread.
    explicit KWinWindows(std::function<wl_output*(const QRect&)> outputAt);
    ~KWinWindows() override;
    KWinWindows(const KWinWindows&) = delete;
    KWinWindows& operator=(const KWinWindows&) = delete;

    // Claims the bus name and exports the object; false, with error set, when another program
    // (another Zumo) has the name.
    bool listen(QString& error);

    std::shared_ptr<const ToplevelSnapshot> snapshot() const override;
    void activate(std::uint32_t id) override;
    void close(std::uint32_t id) override;
    void setMinimized(std::uint32_t id, bool minimized) override;
    void setFullscreen(std::uint32_t, bool) override {}  // the script does not offer it
    bool movable() const override { return true; }
    void setFrameParts(std::uint32_t id, std::optional<QPoint> topLeft, std::optional<QSize> size) override;
    // The overlay took the keyboard for a run, or let go of it. KWin leaves the keyboard with
    // the overlay: after a run that asked for no window, the one in front (the one that had it
    // before) gets it back, unless it is minimised or elsewhere. Main thread.
    void keyboardTaken() { m_activatedDuringRun = false; }
    void keyboardLetGo();
    // Shows virtual desktop n (from 1). Requests may be made from any thread.
    void showDesktop(std::uint32_t n);

    // Returns once every message the script posted before the call has been handled, or after
    // a second when the script does not answer.
    void sync();
    // Calls done once every message the script posted before it reads this request has been
    // handled (without waiting here). Main thread.
    void afterPosted(std::function<void()> done);

    // The script's action for that place in the shortcut list fired (reverse: its Shift
    // variant). Main thread.
    std::function<void(std::size_t shortcut, bool reverse)> shortcutPressed;

    // From KWinBus.
    void received(const KWinMessage& message);
    void waiting(const QDBusMessage& call);

private:
    struct Window {
        QString key;  // KWin's id
        Toplevel state;
    };
    void onMain(std::function<void()> work);
    Window* find(const QString& key);
    Window* find(std::uint32_t id);
    void update(const KWinWindow& w);
    void replaceAll(const KWinMessage& message);
    void markActive(std::uint32_t id);
    void request(KWinRequest request);
    void answer();
    void sendActivation();
    void sendFrames();
    void publish();

    std::function<wl_output*(const QRect&)> m_outputAt;
    KWinBus m_bus{*this};
    std::vector<Window> m_windows;
    std::vector<std::uint32_t> m_order;  // most recently activated first
    std::unordered_map<QString, Pid> m_pids;
    std::uint32_t m_nextId = 1;
    std::uint32_t m_desktop = 1;
    std::vector<KWinRequest> m_requests;
    std::optional<QDBusMessage> m_call;  // the script's call waiting for requests
    QTimer m_keepAlive;
    std::uint32_t m_pendingActivation = 0;
    bool m_activatedDuringRun = false;  // since the overlay last took the keyboard
    std::unordered_map<std::uint32_t, QRect> m_pendingFrames;
    std::uint64_t m_pingSerial = 0;
    std::deque<std::pair<std::uint64_t, std::function<void()>>> m_afterPong;  // by serial, ascending
    std::uint64_t m_pongSerial = 0;
    bool m_registered = false;
    QObject m_context;  // ends queued work with the list
    mutable std::mutex m_mutex;
    std::shared_ptr<const ToplevelSnapshot> m_snapshot;
};

} // namespace zumo::wayland
