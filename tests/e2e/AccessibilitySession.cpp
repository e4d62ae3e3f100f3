// Starting the private session and accessibility buses, and the tab-bar client.
#include "tests/e2e/AccessibilitySession.h"
#include "tests/e2e/E2eSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStandardPaths>

namespace zumo::e2e {

bool AccessibilitySession::start(QString& why)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
        why = QStringLiteral("dbus-daemon is not installed");
        return false;
    }
    // The launcher the daemon starts keeps its switches in the settings store of this folder,
    // never in the settings of the user running the tests.
    m_daemon.setProcessEnvironment(environment());
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(DefaultDeadlineMs) || !waitUntil([&] { return m_daemon.canReadLine(); })) {
        why = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    // Asking for the accessibility bus starts the launcher, which clients wait for.
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("zumo-test-session ") + m_address);
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                      QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    QDBusMessage reply = bus.call(ask, QDBus::Block, DefaultDeadlineMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        why = QStringLiteral("no accessibility bus (is at-spi2-core installed?): ") + reply.errorMessage();
        return false;
    }
    return true;
}

QProcessEnvironment AccessibilitySession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_config.path());
    environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("dconf"));
    if (!m_address.isEmpty())
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    return environment;
}

std::optional<QString> AccessibilitySession::gsettings(const QStringList& arguments) const
{
    QProcess gsettings;
    gsettings.setProcessEnvironment(environment());
    gsettings.start(QStringLiteral("gsettings"), arguments);
    if (!gsettings.waitForFinished(DefaultDeadlineMs) || gsettings.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(gsettings.readAllStandardOutput()).trimmed();
}

void AccessibilitySession::stop()
{
    // The launcher and its bus end on their own once the session bus is gone.
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(DefaultDeadlineMs))
        m_daemon.kill();
}

bool TabClient::start(const AccessibilitySession* session, const QString& title, const QStringList& tabArguments,
                      const QString& className, QString& why)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session->address());
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString program = siblingProgram("ZUMO_TABCLIENT", "zumo-tabclient");
    const QStringList arguments = QStringList{QStringLiteral("--class"), className, QStringLiteral("--title"), title} +
                                  tabArguments;
    if (m_pidNamespace)
        m_process.start(QStringLiteral("unshare"), QStringList{QStringLiteral("--pid"), QStringLiteral("--fork"),
                                                               QStringLiteral("--kill-child"), program} + arguments);
    else
        m_process.start(program, arguments);
    if (!m_process.waitForStarted(DefaultDeadlineMs) || !waitUntil([&] {
            readLines();
            return m_window != 0 || m_process.state() != QProcess::Running;
        }) || m_window == 0) {
        why = QStringLiteral("zumo-tabclient did not show its window: ") + m_process.errorString();
        return false;
    }
    return true;
}

void TabClient::readLines()
{
    while (m_process.canReadLine()) {
        const QStringList words = QString::fromUtf8(m_process.readLine()).trimmed().split(QLatin1Char(' '));
        if (words.size() != 2)
            continue;
        if (words[0] == QLatin1String("window"))
            m_window = words[1].toUInt();
        else if (words[0] == QLatin1String("current"))
            m_current = words[1].toInt();
    }
}

std::optional<int> TabClient::current()
{
    QCoreApplication::processEvents();
    readLines();
    return m_current;
}

void TabClient::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    resume();
    m_process.kill();
    m_process.waitForFinished(DefaultDeadlineMs);
}

} // namespace zumo::e2e
