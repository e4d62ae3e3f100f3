// The accessibility bus: finding it through the session bus, its launcher's status switches,
// and time-limited calls to the applications on it that remember which ones stopped answering.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariant>
#include <map>
#include <mutex>
#include <optional>

#include "platform/Clock.h"
#include "desktop/atspi/AtspiElements.h"

namespace zumo::atspi {

class AtspiBus {
public:
    // Seconds the bus and its registry (not the applications) may take to answer.
    static constexpr double busTimeout = 0.25;
    // How long to wait before looking for a missing bus again.
    static constexpr double retryAfter = 10.0;

    // `hungFor`: seconds an application that did not answer in time is left alone. The launcher is
    // looked for on the session bus at `sessionAddress`, or on the user's session bus when empty.
    AtspiBus(const Clock& clock, double hungFor, QString sessionAddress = {})
        : m_clock(clock), m_hungFor(hungFor), m_sessionAddress(std::move(sessionAddress))
    {
    }

    // A switch of org.a11y.Status on the session bus ("IsEnabled", "ScreenReaderEnabled");
    // nothing without a session bus or an accessibility bus launcher. Any thread.
    std::optional<bool> status(const QString& name);
    // Sets one; false when it could not be set. at-spi2-core's launcher stores the value in the
    // desktop's settings (toolkit-accessibility, screen-reader-enabled), where it outlives the
    // session, so callers must put back what they change (see AtspiStatus).
    bool setStatus(const QString& name, bool value);

    // The accessibility bus, connected on first use; nothing without a session bus, without the
    // launcher, or within retryAfter seconds of a failed attempt. Any thread.
    std::optional<QDBusConnection> connection();

    // A method call with a reply in `timeout` seconds, its reply's arguments on success. Nothing on
    // an error, and at once for an application marked hung; a call that got no answer in time marks
    // the object's application hung for hungFor seconds. Any thread; blocks for at most timeout.
    // Within a limit set by limitThisThread a call waits only what is left of it, gives nothing
    // at once when none is, and a call cut short does not mark the application hung.
    std::optional<QVariantList> call(const ObjectRef& object, const QString& interface, const QString& method,
                                     const QVariantList& arguments, double timeout);
    // See Accessibility::limitThisThread; shared by every bus of the thread.
    static void limitThisThread(std::optional<double> seconds);
    // A property through org.freedesktop.DBus.Properties, unwrapped; same rules as call().
    std::optional<QVariant> property(const ObjectRef& object, const QString& interface, const QString& name,
                                     double timeout);
    // The process that owns a name on the accessibility bus, remembered (names are never reused).
    std::optional<Pid> pidOf(const QString& service);
    bool isHung(const QString& service);

private:
    void markHung(const QString& service);
    QDBusConnection session() const;

    const Clock& m_clock;
    const double m_hungFor;
    const QString m_sessionAddress;
    std::mutex m_mutex;
    std::optional<QDBusConnection> m_connection;
    std::optional<double> m_failedAt;
    std::map<QString, double> m_hungUntil;
    std::map<QString, Pid> m_pids;
};

} // namespace zumo::atspi
