// Zumo's end of the D-Bus link to its GNOME Shell extension (org.zumo.Shell on the session
// bus): the extension's signals as notifiers, its methods as calls that do not wait.
#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QVariantList>
#include <cstdint>
#include <memory>

#include "platform/Listeners.h"

class QDBusServiceWatcher;

namespace zumo::gnome {

inline constexpr char ExtensionUuid[] = "zumo@pellwick.example";

class ShellBridge : public QObject {
    Q_OBJECT
public:
    // Watches for the extension on connection's bus; present() says whether it answers now.
    // Main thread.
    explicit ShellBridge(QDBusConnection connection);
    ~ShellBridge() override;

    bool present() const { return m_present; }

    // Requests; all return at once, and are dropped when the extension is not there.
    void call(const QString& method, const QVariantList& arguments = {});
    // The window facts as JSON, waited for (at start and when the extension appears).
    QByteArray windows();
    // A window's image as PNG, waited for; empty when the extension has none. Any thread.
    QByteArray capture(std::uint32_t id) const;

    Notifier<bool> presence;                          // it came (true) or went (false)
    Notifier<const QByteArray&> windowsChanged;       // the whole state, as GetWindows gives it
    Notifier<bool, int, bool> switchPressed;          // reverse, the monitor with the pointer, the group binding
    Notifier<std::uint32_t, std::uint32_t, bool, std::uint32_t> key;  // keysym, keycode, pressed, modifiers
    Notifier<std::uint32_t> modifiers;
    Notifier<> grabLost;
    Notifier<int, double, double> panelPointer;       // kind (0 move, 1 press, 2 wheel up, 3 down), x, y

private Q_SLOTS:
    void onWindowsChanged(const QString& state);
    void onSwitchPressed(bool reverse, int monitor);
    void onGroupPressed(bool reverse, int monitor);
    void onKey(uint keyval, uint keycode, bool pressed, uint state);
    void onModifiers(uint state);
    void onGrabLost();
    void onPanelPointer(int kind, double x, double y);

private:
    void setPresent(bool present);

    QDBusConnection m_connection;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
    bool m_present = false;
};

} // namespace zumo::gnome
