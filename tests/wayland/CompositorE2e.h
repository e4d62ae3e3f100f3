// What the end-to-end tests on a Wayland compositor share: the files its session script writes,
// clients started in that session, zumo on its Wayland backend, and windows waited for until the
// compositor has given them the focus.
#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

#include "tests/e2e/E2eSupport.h"

namespace zumo::e2e {

class CompositorE2e : public ::testing::Test {
protected:
    // variable names the session folder; running is the file only a running session has.
    CompositorE2e(const char* variable, const char* running) : m_variable(variable), m_running(running) {}

    void TearDown() override
    {
        m_zumo.stop();
        for (auto& p : m_windows)
            p->kill(), p->waitForFinished();
    }

    // Light pixels in area of a screenshot, every second one: window images (light Qt windows)
    // in the dark panel, where icons and titles make few.
    static int whiteIn(const QImage& image, const QRect& area)
    {
        int white = 0;
        for (int y = area.top(); y <= area.bottom(); y += 2)
            for (int x = area.left(); x <= area.right(); x += 2)
                white += qGray(image.pixel(x, y)) > 240;
        return white;
    }

    QString sessionFile(const QString& name) const
    {
        return test::readTrimmed(qEnvironmentVariable(m_variable) + QLatin1Char('/') + name);
    }
    std::optional<QString> missingSession() const
    {
        if (const QString reason = sessionFile(QStringLiteral("unavailable")); !reason.isEmpty())
            return reason;
        if (sessionFile(QLatin1String(m_running)).isEmpty())
            return QStringLiteral("no session: %1 names no running one").arg(QLatin1String(m_variable));
        return std::nullopt;
    }

    // What zumo and the clients need to find the session ("NAME=value"): its display, and its bus
    // where it has one.
    virtual QStringList environment() const
    {
        QStringList entries{QStringLiteral("WAYLAND_DISPLAY=") + sessionFile(QStringLiteral("wayland"))};
        if (const QString bus = sessionFile(QStringLiteral("bus")); !bus.isEmpty())
            entries << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + bus;
        return entries;
    }
    virtual QString focusedTitle() = 0;
    // What the clients need besides (they run on Qt's Wayland platform).
    virtual QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& line : environment())
            env.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        return env;
    }

    void startClient(QProcess& process, const QString& program, const QStringList& arguments) const
    {
        process.setProcessEnvironment(clientEnvironment());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        process.waitForStarted(DefaultDeadlineMs);
    }
    // Runs a client to its end: its output, and its exit code (-1 when it crashed or hung).
    QByteArray run(const QString& program, const QStringList& arguments, int* exitCode = nullptr) const
    {
        QProcess process;
        startClient(process, program, arguments);
        process.waitForFinished(2 * DefaultDeadlineMs);
        if (exitCode)
            *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return process.readAllStandardOutput();
    }

    void openWindow(const QString& title, const QString& program, const QStringList& arguments)
    {
        m_windows.push_back(std::make_unique<QProcess>());
        startClient(*m_windows.back(), program, arguments);
        ASSERT_TRUE(waitUntil([&] { return focusedTitle() == title; })) << "window " << title.toStdString();
    }
    void openFoot(const QString& title)
    {
        openWindow(title, QStringLiteral("foot"), {QStringLiteral("--log-level=none"), QStringLiteral("-T"), title,
                                                   QStringLiteral("sleep"), QStringLiteral("600")});
    }
    // A Qt application on Qt's own Wayland platform, with these tabs and options.
    void openQtWindow(const QString& title, const QStringList& tabs = {QStringLiteral("one")})
    {
        openWindow(title, QCoreApplication::applicationDirPath() + QStringLiteral("/../e2e/zumo-tabclient"),
                   QStringList{QStringLiteral("--title"), title} + tabs);
    }

    // A browser's window (by its app id, with the tabs Alpha and Beta) is listed as its tabs, read
    // on the accessibility bus by the process the compositor names; once away() has put another
    // window in front, a tab's window number brings the browser forward.
    void browserTabsBringTheBrowser(const std::function<void()>& away)
    {
        const QString title = QStringLiteral("delta");
        ASSERT_NO_FATAL_FAILURE(openQtWindow(title, {QStringLiteral("--class"), QStringLiteral("firefox"), QStringLiteral("Alpha"),
                                                     QStringLiteral("Beta")}));
        QJsonObject tab;
        ASSERT_TRUE(waitUntil([&] {
            m_zumo.sync();
            return (tab = m_zumo.row(QStringLiteral("Beta")).value(QStringLiteral("tab")).toObject()).contains(QStringLiteral("window"));
        })) << "listed: " << m_zumo.listedTitles().join(QStringLiteral(", ")).toStdString();
        EXPECT_FALSE(m_zumo.listedTitles().contains(title));
        away();
        const QString window = QString::number(tab.value(QStringLiteral("window")).toInteger());
        EXPECT_EQ(m_zumo.command({QStringLiteral("--activate"), window}).exitCode, 0);
        EXPECT_TRUE(waitUntil([&] { return focusedTitle() == title; })) << "tab: " << focusedTitle().toStdString();
    }

    // zumo on its Wayland backend with the user's settings as set up and the panel at once;
    // restartZumo starts it again on what it stored.
    void startZumo(QJsonObject settings = {})
    {
        settings.insert(QStringLiteral("showDelay"), 0);
        ASSERT_NO_FATAL_FAILURE(writeSettings(m_zumo.configHome(), setUpUser(settings)));
        restartZumo();
    }
    void restartZumo()
    {
        ASSERT_TRUE(m_zumo.start({}, environment() + QStringList{QStringLiteral("ZUMO_BACKEND=wayland"),
                                                                 QStringLiteral("QT_QPA_PLATFORM=offscreen")}));
    }

    // The session's bus, on a connection of the test's own that lasts as long as the test.
    QDBusConnection bus() const
    {
        return QDBusConnection::connectToBus(sessionFile(QStringLiteral("bus")), QLatin1String(m_variable));
    }
    QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus().call(message, QDBus::Block, DefaultDeadlineMs);
    }

    ZumoProcess m_zumo;
    std::vector<std::unique_ptr<QProcess>> m_windows;

private:
    const char* m_variable;
    const char* m_running;
};

} // namespace zumo::e2e
