// The GNOME backend on a headless GNOME Shell: Zumo's extension turned on as the user is told
// to, real foot windows and one Qt window, keys injected through Mutter's RemoteDesktop API (the
// Shell's own input path, so its key bindings and grabs see them as a user's keys). Which window
// has the focus is read from the extension's report of Mutter's focus (the Shell offers no
// other reader to an ordinary client).
#include <QCoreApplication>
#include <QDBusReply>
#include <QImage>
#include <QSet>
#include <QDBusObjectPath>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "tests/wayland/CompositorE2e.h"

namespace zumo::e2e {
namespace {

class GnomeE2eTest : public CompositorE2e {
protected:
    GnomeE2eTest() : CompositorE2e("ZUMO_GNOME_SESSION", "bus") {}

    void SetUp() override
    {
        if (const auto reason = missingSession())
            GTEST_SKIP() << reason->toStdString();
        ASSERT_TRUE(bus().isConnected());
        // A RemoteDesktop session lives as long as the connection that made it.
        const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
        const QDBusReply<QDBusObjectPath> session =
            call(service, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), service, QStringLiteral("CreateSession"));
        ASSERT_TRUE(session.isValid()) << session.error().message().toStdString();
        m_session = session.value().path();
        const QDBusMessage started = call(service, m_session, service + QStringLiteral(".Session"), QStringLiteral("Start"));
        ASSERT_NE(started.type(), QDBusMessage::ErrorMessage) << started.errorMessage().toStdString();
        // GNOME Shell starts in the overview, where new windows get no focus.
        key(XKB_KEY_Escape);
        run(QStringLiteral("gnome-extensions"), {QStringLiteral("disable"), QStringLiteral("zumo@pellwick.example")});
        m_zumo.keepErrors();
        ASSERT_NO_FATAL_FAILURE(startZumo({{QStringLiteral("listTabs"), true}, {QStringLiteral("previews"), true}}));
    }

    QStringList environment() const override
    {
        return CompositorE2e::environment() << QStringLiteral("XDG_CURRENT_DESKTOP=GNOME")
                                            << QStringLiteral("XDG_SESSION_TYPE=wayland");
    }

    // The session's user: gnome-extensions reads the settings it changes from the home's dconf.
    QProcessEnvironment clientEnvironment() const override
    {
        QProcessEnvironment environment = CompositorE2e::clientEnvironment();
        environment.insert(QStringLiteral("HOME"), sessionFile(QStringLiteral("runtime")) + QStringLiteral("/home"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), sessionFile(QStringLiteral("runtime")));
        return environment;
    }

    void press(std::uint32_t keysym, bool down)
    {
        const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
        call(service, m_session, service + QStringLiteral(".Session"), QStringLiteral("NotifyKeyboardKeysym"),
             {keysym, down});
    }

    void key(std::uint32_t keysym) { press(keysym, true), press(keysym, false); }

    // Alt held over keys (each pressed and released), and over beforeRelease, then released.
    // Keys typed into the panel wait until it shows: a run still gathering its windows takes no typing.
    void altTab(const std::vector<std::uint32_t>& whileHeld = {}, bool shift = false,
                const std::function<void()>& beforeRelease = {})
    {
        // The last run's panel gone first, so the one waited for below is this run's.
        EXPECT_TRUE(waitUntil([&] { return panelShown().isEmpty(); })) << "the last panel stays";
        press(XKB_KEY_Alt_L, true);
        // Mutter types a keysym as given: Tab with Shift held would come without the Shift.
        if (shift)
            press(XKB_KEY_Shift_L, true);
        key(shift ? XKB_KEY_ISO_Left_Tab : XKB_KEY_Tab);
        if (shift)
            press(XKB_KEY_Shift_L, false);
        if (!whileHeld.empty()) {
            EXPECT_TRUE(waitUntil([&] { return panelShown().width() > 100; })) << "no panel";
        }
        for (std::uint32_t k : whileHeld)
            key(k);
        if (beforeRelease)
            beforeRelease();
        press(XKB_KEY_Alt_L, false);
    }

    QJsonObject shellState()
    {
        const QDBusReply<QString> reply = call(QStringLiteral("org.zumo.Shell"), QStringLiteral("/org/zumo/Shell"),
                                               QStringLiteral("org.zumo.Shell1"), QStringLiteral("GetWindows"));
        return QJsonDocument::fromJson(reply.value().toUtf8()).object();
    }

    // The windows as the extension reports Mutter's view of them, most recently focused first.
    QJsonArray shellWindows() { return shellState().value(QStringLiteral("windows")).toArray(); }

    static QRect rectOf(const QJsonValue& value)
    {
        const QJsonArray r = value.toArray();
        return r.size() == 4 ? QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt()) : QRect();
    }
    // Where the extension shows Zumo's panel in the Shell's scene; empty when hidden.
    QRect panelShown() { return rectOf(shellState().value(QStringLiteral("panel"))); }

    // The first window the extension reports with value in field; empty when none has.
    QJsonObject windowWith(const QString& field, const QJsonValue& value)
    {
        for (const QJsonValue w : shellWindows())
            if (w.toObject().value(field) == value)
                return w.toObject();
        return {};
    }
    QString focusedTitle() override { return windowWith(QStringLiteral("focused"), true).value(QStringLiteral("title")).toString(); }
    QRect frameOf(const QString& title) { return rectOf(windowWith(QStringLiteral("title"), title).value(QStringLiteral("frame"))); }

    // The screen as GNOME Shell draws it. The Shell serves only callers that own a screenshot
    // tool's bus name, which a private session lets the test own.
    QImage screenshot(const QString& name)
    {
        bus().registerService(QStringLiteral("org.gnome.Screenshot"));
        const QString path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
        const QDBusMessage taken = call(QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("/org/gnome/Shell/Screenshot"),
                                        QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("Screenshot"),
                                        {false, false, path});
        EXPECT_NE(taken.type(), QDBusMessage::ErrorMessage) << taken.errorMessage().toStdString();
        return QImage(path);
    }

    QString m_session;
};

TEST_F(GnomeE2eTest, switchesOnGnomeShellAndGivesAltTabBack)
{
    // Started with the extension off, Zumo says so once and how to turn it on; the command it
    // prints does, and Zumo takes Alt+Tab.
    ASSERT_TRUE(waitUntil([&] { return m_zumo.errors().contains(QLatin1String("turned off")); })) << m_zumo.errors().toStdString();
    const ZumoCommand config = m_zumo.command({QStringLiteral("--print-config"), QStringLiteral("gnome")});
    ASSERT_EQ(config.exitCode, 0);
    const QStringList enable = QString::fromUtf8(config.output).trimmed().split(QLatin1Char(' '));
    int enabled = -1;
    run(enable.front(), enable.mid(1), &enabled);
    ASSERT_EQ(enabled, 0) << config.output.toStdString();
    ASSERT_TRUE(m_zumo.waitForReady()) << m_zumo.errors().toStdString();

    ASSERT_NO_FATAL_FAILURE(openQtWindow(QStringLiteral("qtwin")));
    for (const QString& title : {QStringLiteral("alpha"), QStringLiteral("bravo"), QStringLiteral("charlie")})
        ASSERT_NO_FATAL_FAILURE(openFoot(title));
    ASSERT_TRUE(m_zumo.sync());
    EXPECT_EQ(m_zumo.listedTitles(), (QStringList{QStringLiteral("charlie"), QStringLiteral("bravo"),
                                                  QStringLiteral("alpha"), QStringLiteral("qtwin")}));

    struct Step {
        const char* what;
        std::vector<std::uint32_t> whileHeld;
        const char* focused;
        bool shift = false;
    };
    const Step steps[] = {
        {"a tap goes to the previous window", {}, "bravo"},
        {"Alt+Tab+Tab goes to the third window by recency", {XKB_KEY_Tab}, "alpha"},
        {"Escape cancels", {XKB_KEY_Escape}, "alpha"},
        {"a digit jumps to its row", {XKB_KEY_4}, "qtwin"},
        {"typing searches", {XKB_KEY_slash, XKB_KEY_c, XKB_KEY_h}, "charlie"},
        {"a quick Alt+Shift+Tab (the backward binding) goes to the last row", {}, "qtwin", true},
    };
    for (const Step& step : steps) {
        altTab(step.whileHeld, step.shift);
        const QString expected = QString::fromLatin1(step.focused);
        EXPECT_TRUE(waitUntil([&] { return focusedTitle() == expected; })) << step.what << ": " << focusedTitle().toStdString();
        m_zumo.sync();
    }

    // The panel on screen, in the Shell's own screenshot: where the extension says it is, the
    // screen changed and shows drawn tiles, not a flat box. Escape then leaves qtwin in front.
    const QImage desktop = screenshot(QStringLiteral("gnome-desktop.png"));
    press(XKB_KEY_Alt_L, true);
    key(XKB_KEY_Tab);
    ASSERT_TRUE(waitUntil([&] { return panelShown().width() > 100; })) << "no panel";
    const QRect panel = panelShown();
    const QImage shown = screenshot(QStringLiteral("gnome-panel.png"));
    // The previews come in after the panel: qtwin's (a light window) makes white in the dark panel.
    EXPECT_TRUE(waitUntil([&] { return whiteIn(screenshot(QStringLiteral("gnome-previews.png")), panel) > 500; }))
        << "no window image in the panel (gnome-previews.png)";
    key(XKB_KEY_Escape);
    press(XKB_KEY_Alt_L, false);
    ASSERT_FALSE(desktop.isNull() || shown.isNull());
    int changed = 0, sampled = 0;
    QSet<QRgb> colours;
    for (int y = panel.top(); y <= panel.bottom(); y += 4)
        for (int x = panel.left(); x <= panel.right(); x += 4, ++sampled) {
            changed += shown.pixel(x, y) != desktop.pixel(x, y);
            colours.insert(shown.pixel(x, y));
        }
    EXPECT_GT(changed, sampled / 2) << "the screen under the panel did not change (gnome-panel.png)";
    EXPECT_GT(colours.size(), 20) << "the panel shows no tiles (gnome-panel.png)";
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("qtwin"); })) << focusedTitle().toStdString();
    m_zumo.sync();

    // The Shell's own Super+H minimises the front window (qtwin) and focuses the next: the
    // order follows.
    press(XKB_KEY_Super_L, true);
    key(XKB_KEY_h);
    press(XKB_KEY_Super_L, false);
    ASSERT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("charlie"); })) << focusedTitle().toStdString();
    m_zumo.sync();
    EXPECT_EQ(m_zumo.listedTitles().mid(0, 2), (QStringList{QStringLiteral("charlie"), QStringLiteral("alpha")}));
    // Alt+` (the Shell's window-group binding, taken for the per-application shortcut) goes to
    // the front application's previous window.
    press(XKB_KEY_Alt_L, true);
    key(XKB_KEY_grave);
    EXPECT_TRUE(waitUntil([&] { return !panelShown().isEmpty(); })) << "no panel of Zumo's for Alt+`";
    press(XKB_KEY_Alt_L, false);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("alpha"); })) << "Alt+`: " << focusedTitle().toStdString();

    // --activate brings the minimised window back.
    EXPECT_EQ(m_zumo.activate(QStringLiteral("qtwin")), 0);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("qtwin"); })) << focusedTitle().toStdString();

    // L, F and C snap the window selected: the second row to the left half, the next over the whole
    // work area, then two it covers to the centre, a terminal and a Qt one (the fourth row). Alt is
    // held until the frame shows, so the snap itself, not Alt's release, ends the run.
    const QRect centre(384, 189, 1152, 734);
    const std::tuple<std::vector<std::uint32_t>, int, QRect> snaps[] = {{{XKB_KEY_l}, 1, {0, 32, 960, 1048}},
        {{XKB_KEY_f}, 1, {0, 32, 1920, 1048}}, {{XKB_KEY_c}, 1, centre}, {{XKB_KEY_Tab, XKB_KEY_Tab, XKB_KEY_c}, 3, centre}};
    for (const auto& [keys, row, frame] : snaps) {
        m_zumo.sync();
        const QString window = m_zumo.listedTitles().value(row);
        altTab(keys, false, [&] {
            const auto at = [&] { return frameOf(window); };
            EXPECT_TRUE(waitUntil([&] { return at() == frame; }))
                << window.toStdString() << " at " << at().x() << "," << at().y() << " " << at().width() << "x" << at().height();
        });
    }

    // W closes the window selected (the second row).
    m_zumo.sync();
    const QStringList rows = m_zumo.listedTitles();
    altTab({XKB_KEY_w});
    EXPECT_TRUE(waitUntil([&] { return !m_zumo.listedTitles().contains(rows[1]); })) << rows[1].toStdString();

    // The Shell's own Super+Shift+Page_Down moves the front window to the next workspace and
    // follows it, Super+Page_Up goes back; --activate brings the window, switching to it.
    m_zumo.sync();
    const QString moved = focusedTitle();
    const auto workspace = [&] { return shellState().value(QStringLiteral("workspace")).toInt(); };
    press(XKB_KEY_Super_L, true);
    press(XKB_KEY_Shift_L, true);
    key(XKB_KEY_Page_Down);
    press(XKB_KEY_Shift_L, false);
    ASSERT_TRUE(waitUntil([&] { return workspace() == 1; })) << moved.toStdString() << " not moved";
    key(XKB_KEY_Page_Up);
    press(XKB_KEY_Super_L, false);
    ASSERT_TRUE(waitUntil([&] { return workspace() == 0 && focusedTitle() != moved; })) << focusedTitle().toStdString();
    m_zumo.sync();
    EXPECT_EQ(m_zumo.activate(moved), 0);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == moved && workspace() == 1; }))
        << focusedTitle().toStdString();

    ASSERT_NO_FATAL_FAILURE(browserTabsBringTheBrowser([&] {
        EXPECT_EQ(m_zumo.activate(moved), 0);
        EXPECT_TRUE(waitUntil([&] { return focusedTitle() == moved; })) << focusedTitle().toStdString();
    }));

    // Zumo ends (SIGTERM) with its panel open and Alt held: the panel goes with it, and once Alt
    // is up, Alt+Tab is GNOME Shell's again: its own switcher's tap goes to the previously used
    // application.
    const QString before = focusedTitle();
    altTab({}, false, [&] {
        ASSERT_TRUE(waitUntil([&] { return panelShown().width() > 100; })) << "no panel";
        m_zumo.stop();
        EXPECT_TRUE(waitUntil([&] { return panelShown().isEmpty(); })) << "the panel outlived Zumo";
    });
    altTab();
    EXPECT_TRUE(waitUntil([&] { return !focusedTitle().isEmpty() && focusedTitle() != before; }))
        << "GNOME Shell's switcher did not answer: " << before.toStdString();

    // A window's image goes only to the program that holds the switch bindings (Zumo): another
    // is refused; the holder gets the window as the Shell draws it.
    const QJsonObject front = shellWindows().first().toObject();
    const auto capture = [&] {
        return call(QStringLiteral("org.zumo.Shell"), QStringLiteral("/org/zumo/Shell"), QStringLiteral("org.zumo.Shell1"),
                    QStringLiteral("Capture"), {uint(front.value(QStringLiteral("id")).toInteger())});
    };
    EXPECT_EQ(capture().type(), QDBusMessage::ErrorMessage);
    const auto takeShortcuts = [&](bool take) {
        call(QStringLiteral("org.zumo.Shell"), QStringLiteral("/org/zumo/Shell"), QStringLiteral("org.zumo.Shell1"),
             QStringLiteral("TakeShortcuts"), {take});
    };
    takeShortcuts(true);
    const QImage image = QImage::fromData(capture().arguments().value(0).toByteArray(), "PNG");
    takeShortcuts(false);
    // The window's own surface: a title bar it draws on a surface of its own may be left out.
    const QJsonArray frame = front.value(QStringLiteral("frame")).toArray();
    EXPECT_NEAR(image.width(), frame.at(2).toInt(), frame.at(2).toInt() / 10) << "window image " << image.width();
    EXPECT_NEAR(image.height(), frame.at(3).toInt(), frame.at(3).toInt() / 10) << "window image " << image.height();
}

} // namespace
} // namespace zumo::e2e
