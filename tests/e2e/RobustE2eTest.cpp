// The real zumo beside other programs: a shortcut held by another client, quick repeated
// switches, titles in legacy encodings and windows that claim to be zumo's.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include "tests/e2e/SwitcherE2eFixture.h"

namespace zumo::e2e {
namespace {

class RobustE2e : public SwitcherE2e {
  protected:
    // True once the window manager has read every request sent to it before this call: it
    // answers two _NET_REQUEST_FRAME_EXTENTS in turn.
    bool windowManagerCaughtUp()
    {
        xcb_connection_t* c = x->connection();
        if (!m_probe) {
            m_probe = xcb_generate_id(c);
            xcb_create_window(c, XCB_COPY_FROM_PARENT, m_probe, x->root(), 0, 0, 10, 10, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        }
        for (int round = 0; round < 2; ++round) {
            xcb_delete_property(c, m_probe, x->atom("_NET_FRAME_EXTENTS"));
            x->rootMessage(m_probe, "_NET_REQUEST_FRAME_EXTENTS", {});
            if (!waitUntil([&] { return x->cardinal(m_probe, "_NET_FRAME_EXTENTS").has_value(); }))
                return false;
        }
        return true;
    }

    bool makeActive(xcb_window_t window)
    {
        return x->activate(window) && zumo.sync();
    }

    // Two Alt+Tabs back to back, the second sent before the window manager answered the first;
    // how many of `pairs` came back to `start`. Where the others went is reported.
    int pairsReturning(xcb_window_t start, int pairs)
    {
        int returned = 0;
        for (int i = 0; i < pairs; ++i) {
            tapAltTabAtOnce();
            tapAltTabAtOnce();
            if (!zumo.sync() || !windowManagerCaughtUp())
                return returned;
            // The window manager has both requests now, but may still be between the two focus
            // changes (on a loaded machine the first one's window was read here now and then):
            // the pair has landed once the start is back, or when the deadline says it will not be.
            waitUntil([&] { return x->activeWindow() == start; });
            const xcb_window_t landed = x->activeWindow();
            returned += landed == start;
            if (landed != start)
                ADD_FAILURE() << "pair " << i << " landed on window " << landed << ", not " << start;
            if (landed != start && !makeActive(start))
                return returned;
        }
        return returned;
    }

    xcb_window_t m_probe = 0;
};

// First Alt+Tab held by another program from before zumo starts: zumo waits and takes it once
// the other lets go.
TEST_F(RobustE2e, aShortcutHeldElsewhereIsTakenBackBackToBackPairsReturnAndOddTitlesPidsAndAnXtermAreListed)
{
    // A third window, so a second Alt+Tab taken as a further Tab of the first run lands on it.
    ASSERT_NO_FATAL_FAILURE(openWindows({Charlie, Alpha, Bravo}));
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    xcb_generic_error_t* refused = xcb_request_check(
        other, xcb_grab_key_checked(other, 1, x->root(), XCB_MOD_MASK_1, x->keycodeOf(XK_Tab), XCB_GRAB_MODE_ASYNC,
                                    XCB_GRAB_MODE_ASYNC));
    ASSERT_EQ(refused, nullptr);
    ASSERT_NO_FATAL_FAILURE(writeSettings(zumo.configHome(), setUpUser()));
    zumo.keepErrors();
    ASSERT_NO_FATAL_FAILURE(launchZumo());
    // Told on standard error, which names the window manager only as the likely holder.
    ASSERT_TRUE(waitUntil([&] {
        return zumo.errors().contains(QStringLiteral("waiting - Alt+Tab is held by another program"));
    })) << "zumo said: " << zumo.errors().toStdString();
    EXPECT_FALSE(zumo.output().contains(QStringLiteral("waiting")));
    EXPECT_FALSE(zumo.output().contains(QStringLiteral("switcher ready")));
    // The user presses it during the conflict: it goes to the other program, nothing switches.
    ASSERT_TRUE(altTab());
    ASSERT_TRUE(zumo.sync());
    EXPECT_EQ(x->activeWindow(), id(Bravo));
    xcb_disconnect(other);
    ASSERT_TRUE(zumo.waitForReady()) << "zumo printed: " << zumo.output().toStdString();
    ASSERT_TRUE(altTab());
    EXPECT_TRUE(waitActive(Alpha)) << "active: " << activeTitle().toStdString();
    ASSERT_TRUE(altTab());
    ASSERT_TRUE(waitActive(Bravo) && zumo.sync()) << "active: " << activeTitle().toStdString();

    EXPECT_EQ(pairsReturning(id(Bravo), 50), 50) << "two applications";

    TestClient echo;
    ASSERT_TRUE(echo.start({QStringLiteral("Echo one"), QStringLiteral("Echo two")}, QStringLiteral("Echo")))
        << echo.error().toStdString();
    for (int i : {1, 0})
        ASSERT_TRUE(makeActive(echo.window(i)));
    EXPECT_EQ(pairsReturning(echo.window(0), 50), 50) << "two windows of one application";

    // Windows that are odd in what they say of themselves are still listed as they are.
    // What an Xt client such as xterm sets: no _NET_WM_NAME, WM_NAME in COMPOUND_TEXT (ISO 2022:
    // ESC - A selects Latin-1 on the right half, ESC $ ( B JIS X 0208 on the left half).
    const struct {
        QString title;
        QByteArray compound;
    } cases[] = {
        {QStringLiteral("caf\u00e9 au lait"), QByteArray("caf\x1b-A\xe9 au lait")},
        {QStringLiteral("\u65e5\u672c\u8a9e title"), QByteArray("\x1b$(B\x46\x7c\x4b\x5c\x38\x6c\x1b(B title")},
    };
    xcb_connection_t* c = x->connection();
    for (const auto& one : cases) {
        SCOPED_TRACE(one.title.toStdString());
        xcb_delete_property(c, id(Bravo), x->atom("_NET_WM_NAME"));
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id(Bravo), XCB_ATOM_WM_NAME, x->atom("COMPOUND_TEXT"), 8,
                            uint32_t(one.compound.size()), one.compound.constData());
        x->roundTrip();
        ASSERT_TRUE(zumo.sync());
        EXPECT_TRUE(zumo.listedTitles().contains(one.title)) << zumo.listedTitles().join(u'|').toStdString();
    }

    const uint32_t zumoPid = uint32_t(zumo.process().processId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id(Alpha), x->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                        &zumoPid);
    x->roundTrip();
    ASSERT_TRUE(zumo.sync());
    EXPECT_TRUE(zumo.listedTitles().contains(Alpha)) << "a window claiming zumo's pid was left out";

    const QString xterm = QStandardPaths::findExecutable(QStringLiteral("xterm"));
    if (xterm.isEmpty())
        GTEST_SKIP() << "xterm is not installed";
    const QString title = QStringLiteral("Xterm icon row");
    QProcess term;
    term.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    term.start(xterm, {QStringLiteral("-T"), title, QStringLiteral("-e"), QStringLiteral("cat")});
    QJsonObject row;
    ASSERT_TRUE(waitUntil([&] { return !(row = zumo.row(title)).isEmpty(); })) << zumo.listedTitles().join(u'|').toStdString();
    // Xterm has no _NET_WM_ICON; its .desktop icon is an SVG only, so without Qt's SVG support
    // the WM_HINTS pixmap serves.
    const QString icon = row.value(QStringLiteral("icon")).toString();
    EXPECT_TRUE(icon == QStringLiteral("theme") || icon == QStringLiteral("hints")) << icon.toStdString();
    term.kill();
    term.waitForFinished();
    stopZumo();
}

} // namespace
} // namespace zumo::e2e
