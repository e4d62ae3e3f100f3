// The real zumo as a desktop application on the virtual desktop: its icon in a real XEmbed tray
// and the menu behind it (pause and resume driven with XTEST clicks and keys), the autostart
// entry and a login launch, and the consent gate (also taken away in the file). A second launch
// is tested with the switcher.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>

#include "tests/e2e/SwitcherE2eFixture.h"

namespace zumo::e2e {
namespace {

// A window of process `pid` that sits inside a window of process `host`: an embedded tray icon.
std::optional<xcb_window_t> embeddedWindow(XHelper& x, qint64 pid, qint64 host)
{
    std::vector<xcb_window_t> pending = x.children(x.root());
    while (!pending.empty()) {
        const xcb_window_t window = pending.back();
        pending.pop_back();
        if (x.cardinal(window, "_NET_WM_PID") == uint32_t(pid)) {
            for (xcb_window_t up = x.parent(window); up; up = x.parent(up))
                if (x.cardinal(up, "_NET_WM_PID") == uint32_t(host))
                    return window;
        }
        for (xcb_window_t child : x.children(window))
            pending.push_back(child);
    }
    return std::nullopt;
}

class ShellE2e : public SwitcherE2e {
  protected:
    void TearDown() override
    {
        SwitcherE2e::TearDown();
        tray.kill();
        tray.waitForFinished(DefaultDeadlineMs);
    }

    // trayer, the small XEmbed system tray, once it owns the tray selection.
    void startTray()
    {
        tray.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("bottom"),
                                              QStringLiteral("--widthtype"), QStringLiteral("request"),
                                              QStringLiteral("--height"), QStringLiteral("24"),
                                              QStringLiteral("--SetDockType"), QStringLiteral("true")});
        ASSERT_TRUE(tray.waitForStarted(DefaultDeadlineMs)) << "trayer: " << tray.errorString().toStdString();
        const xcb_atom_t selection = x->atom("_NET_SYSTEM_TRAY_S0");
        ASSERT_TRUE(waitUntil([&] {
            Freed reply(xcb_get_selection_owner_reply(x->connection(), xcb_get_selection_owner(x->connection(), selection), nullptr));
            return reply && reply->owner;
        })) << "trayer did not take the tray selection";
    }

    // Clicks the icon and waits for the menu to be on the screen and zumo to have settled. The
    // tray maps and places the icon after embedding it; a click is only aimed once it is shown.
    void openMenu(xcb_window_t icon)
    {
        ASSERT_TRUE(waitUntil([&] { return x->viewable(icon); })) << "the icon is not shown";
        ASSERT_TRUE(zumo.sync());
        const int before = panels->showings();
        ASSERT_TRUE(x->click(icon));
        ASSERT_TRUE(waitUntil([&] { return panels->showings() > before; })) << "no menu opened";
        ASSERT_TRUE(zumo.sync());
    }

    // Keys typed into the open menu, one at a time, each handled before the next.
    void press(std::initializer_list<uint32_t> keys)
    {
        for (uint32_t key : keys) {
            ASSERT_TRUE(x->tap(key));
            ASSERT_TRUE(zumo.sync());
        }
    }

    double storedPauseUntil() { return readSettings(zumo.configHome()).value(QStringLiteral("pauseUntil")).toDouble(); }

    QProcess tray;
};

TEST_F(ShellE2e, theTrayMenuPausesAndResumesConsentTakenAwayIsNotWrittenBackAndWithoutItNothingIsSentAndOneLoginLaunchRuns)
{
    ASSERT_NO_FATAL_FAILURE(startTray());
    ASSERT_NO_FATAL_FAILURE(openWindows({Alpha, Bravo}));
    ASSERT_NO_FATAL_FAILURE(startZumo(ShowAtOnce));
    std::optional<xcb_window_t> icon;
    ASSERT_TRUE(waitUntil([&] {
        icon = embeddedWindow(*x, zumo.process().processId(), tray.processId());
        return icon.has_value();
    }))
        << "zumo's icon was not embedded in the tray";

    // A click right after the menu closed is a double click to the toolkit: it opens the menu too.
    ASSERT_NO_FATAL_FAILURE(openMenu(*icon));
    ASSERT_NO_FATAL_FAILURE(press({XK_Escape}));
    ASSERT_NO_FATAL_FAILURE(openMenu(*icon));
    // Enable Zumo, Pause Switcher (the header and the count are inert), then its first entry.
    ASSERT_NO_FATAL_FAILURE(press({XK_Down, XK_Down, XK_Right, XK_Return}));
    ASSERT_TRUE(waitUntil([&] { return storedPauseUntil() > 0; })) << "the pause was not stored";
    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    EXPECT_NEAR(storedPauseUntil(), now + 15 * 60, 60);

    const int shown = panels->showings();
    ASSERT_TRUE(altTab());
    ASSERT_TRUE(zumo.sync());
    EXPECT_EQ(x->activeWindow(), id(Bravo)) << "Alt+Tab switched while paused";
    EXPECT_EQ(panels->showings(), shown) << "a panel opened while paused";

    // While paused the submenu ends with Resume Now, after the three durations and a separator.
    ASSERT_NO_FATAL_FAILURE(openMenu(*icon));
    ASSERT_NO_FATAL_FAILURE(press({XK_Down, XK_Down, XK_Right, XK_Down, XK_Down, XK_Down, XK_Return}));
    ASSERT_TRUE(waitUntil([&] { return storedPauseUntil() < now; })) << "the pause was not lifted";

    // Consent taken away in the file meanwhile; the switch gives zumo a change of its own to save.
    QJsonObject edited = readSettings(zumo.configHome());
    ASSERT_TRUE(edited.contains(QStringLiteral("consentVersion")));
    edited.remove(QStringLiteral("consentVersion"));
    ASSERT_NO_FATAL_FAILURE(writeSettings(zumo.configHome(), edited));
    ASSERT_TRUE(altTab());
    EXPECT_TRUE(waitActive(Alpha)) << "Alt+Tab did not switch";
    stopZumo();
    EXPECT_FALSE(readSettings(zumo.configHome()).contains(QStringLiteral("consentVersion")))
        << "the consent taken away was written back";
    EXPECT_EQ(storedCounter(zumo.configHome(), QStringLiteral("switches")), 1);

    // So the next launch has no consent: only the question shows and nothing is sent; once
    // given, the first launch registers at login, and of two login launches one runs and opens
    // no window.
    QTcpServer vendor;
    ASSERT_TRUE(vendor.listen(QHostAddress::LocalHost));
    const QString host = QStringLiteral("ZUMO_VENDOR_HOST=127.0.0.1:%1").arg(vendor.serverPort());
    ASSERT_NO_FATAL_FAILURE(launchZumo({}, {host}));
    EXPECT_TRUE(waitUntil([&] { return x->windowTitled(QStringLiteral("Welcome to Zumo")); })) << "no consent window";
    ASSERT_TRUE(zumo.sync());
    EXPECT_FALSE(zumo.output().contains(QStringLiteral("switcher ready")));
    const ZumoCommand check = zumo.command({QStringLiteral("--check-updates")});
    EXPECT_EQ(check.exitCode, 1) << "an update check was started before consent";
    EXPECT_TRUE(check.errors.contains("consent window")) << check.errors.toStdString();
    stopZumo();
    // A connection made at any time before zumo ended waits in the queue now.
    EXPECT_FALSE(vendor.waitForNewConnection(0)) << "zumo reached the vendor's service without consent";
    EXPECT_FALSE(readSettings(zumo.configHome()).contains(QStringLiteral("consentVersion")));

    ASSERT_NO_FATAL_FAILURE(startZumo({{QStringLiteral("openAtLaunch"), true}}));
    EXPECT_TRUE(waitUntil([&] { return x->windowTitled(SettingsTitle); })) << "Settings did not open at launch";
    EXPECT_TRUE(test::readAll(zumo.configHome() + QStringLiteral("/autostart/zumo.desktop")).contains("--login"))
        << "no autostart entry, or one without --login";
    stopZumo();
    ASSERT_TRUE(waitUntil([&] { return !x->windowTitled(SettingsTitle); }));

    // Two launches at once (autostart and a click): whichever claims first runs on, the other
    // hands over and ends.
    QProcess second;
    QString secondOutput;
    const auto printed = [&](QProcess& process) {
        if (&process != &second)
            return zumo.output();
        return secondOutput += QString::fromUtf8(second.readAllStandardOutput());
    };
    ASSERT_NO_FATAL_FAILURE(launchZumo({QStringLiteral("--login")}));
    zumo.startAnother(second, {QStringLiteral("--login")});
    ASSERT_TRUE(second.waitForStarted());
    ASSERT_TRUE(waitUntil([&] {
        return second.state() == QProcess::NotRunning || zumo.process().state() == QProcess::NotRunning;
    })) << "both run";
    QProcess& ended = second.state() == QProcess::NotRunning ? second : zumo.process();
    QProcess& runs = &ended == &second ? zumo.process() : second;
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_TRUE(printed(ended).contains(QStringLiteral("already running"))) << printed(ended).toStdString();
    ASSERT_TRUE(waitUntil([&] { return printed(runs).contains(QStringLiteral("switcher ready")); }));
    EXPECT_TRUE(zumo.sync()) << "the one left answers";
    x->roundTrip();
    for (xcb_window_t window : x->clientList())
        EXPECT_NE(x->cardinal(window, "_NET_WM_PID"), uint32_t(runs.processId()))
            << "a login launch opened " << x->title(window).toStdString();
    runs.terminate();
    EXPECT_TRUE(runs.waitForFinished(DefaultDeadlineMs));
}

} // namespace
} // namespace zumo::e2e
