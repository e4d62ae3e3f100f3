// A private session bus whose accessibility bus launcher (at-spi2-core) starts on demand, and the
// tab-bar client that publishes its tabs there: what the browser-tab tests and benchmarks need.
#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QString>
#include <QStringList>
#include <csignal>
#include <optional>

namespace zumo::e2e {

class AccessibilitySession {
public:
    ~AccessibilitySession() { stop(); }
    // Starts dbus-daemon and the accessibility bus behind it; false (with why) when either is
    // missing or does not come up.
    bool start(QString& why);
    QString address() const { return m_address; }
    void stop();
    // gsettings on the session's own settings store (dconf, in a private folder, where the
    // accessibility bus launcher keeps its switches): its output, nothing when it failed.
    std::optional<QString> gsettings(const QStringList& arguments) const;
    // Whether anything at all was ever written to that store.
    bool settingsWritten() const { return QFile::exists(m_config.filePath(QStringLiteral("config/dconf/user"))); }

private:
    QProcessEnvironment environment() const;

    QTemporaryDir m_config;
    QProcess m_daemon;
    QString m_address;
};

// One zumo-tabclient ($ZUMO_TABCLIENT, else beside this program): a window titled `title` with
// a tab bar, published on `session`'s accessibility bus.
class TabClient {
public:
    ~TabClient() { stop(); }
    bool start(const AccessibilitySession* session, const QString& title, const QStringList& tabArguments,
               const QString& className, QString& why);
    // Before start(): run in a pid namespace of its own (unshare, as root), as Flatpak runs
    // applications; pid() is then unshare's, and pause() reaches only unshare.
    void inPidNamespace() { m_pidNamespace = true; }
    std::uint32_t window() const { return m_window; }
    qint64 pid() const { return m_process.processId(); }
    // The selected tab's index as the client last reported it.
    std::optional<int> current();
    // SIGSTOP / SIGCONT: an application that stops answering, and one that answers again.
    void pause() { ::kill(pid_t(pid()), SIGSTOP); }
    void resume() { ::kill(pid_t(pid()), SIGCONT); }
    void stop();

private:
    void readLines();

    QProcess m_process;
    std::uint32_t m_window = 0;
    bool m_pidNamespace = false;
    std::optional<int> m_current;
};

} // namespace zumo::e2e
