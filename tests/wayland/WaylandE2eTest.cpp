// The Wayland backend on a headless sway: real foot windows, keys from wtype through the
// compositor's Alt+Tab binding, and the outcome read back from sway's own window tree.
#include <QCoreApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "panel/PanelLayout.h"
#include "platform/KeyCodes.h"
#include "desktop/wayland/SwayBindings.h"
#include "desktop/wayland/WaylandKeys.h"
#include "desktop/wayland/WaylandSession.h"
#include "desktop/wayland/WaylandWindows.h"
#include "desktop/wayland/WindowList.h"
#include "tests/wayland/CompositorE2e.h"

namespace zumo::e2e {
namespace {

using namespace zumo::wayland;

// Time wtype leaves between the keys of one gesture: the run's overlay must hold the keyboard
// before the next key. Pacing of the injected keys only; every outcome is waited for with a
// deadline.
const QString Gap = QStringLiteral("700");

void collectViews(const QJsonObject& node, std::vector<QJsonObject>& views)
{
    if (node.contains(QStringLiteral("app_id")) && !node.value(QStringLiteral("app_id")).isNull())
        views.push_back(node);
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(key)).toArray())
            collectViews(child.toObject(), views);
}

// How many pixels of the screen's middle differ between two screenshots.
int changedPixelsInMiddle(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QRect middle(a.width() / 4, a.height() / 4, a.width() / 2, a.height() / 2);
    int changed = 0;
    for (int y = middle.top(); y <= middle.bottom(); y += 4)
        for (int x = middle.left(); x <= middle.right(); x += 4)
            changed += a.pixel(x, y) != b.pixel(x, y);
    return changed;
}

QRect rectOf(const QJsonObject& node)
{
    const QJsonObject r = node.value(QStringLiteral("rect")).toObject();
    return {r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(), r.value(QStringLiteral("width")).toInt(),
            r.value(QStringLiteral("height")).toInt()};
}

const QString Alt = QStringLiteral("alt");

QStringList altTab(const QStringList& whileHeld)
{
    return QStringList{QStringLiteral("-M"), Alt, QStringLiteral("-k"), QStringLiteral("Tab"), QStringLiteral("-s"), Gap}
           + whileHeld + QStringList{QStringLiteral("-m"), Alt};
}

QStringList key(const QString& name)
{
    return {QStringLiteral("-k"), name, QStringLiteral("-s"), Gap};
}

// Where tile index of a centred panel of count tiles (with its hint line) is on a screen.
QPoint tileCentre(int count, int index, QSize screen)
{
    RunView view;
    view.entries.resize(count);
    view.hint = QStringLiteral("hint");
    const PanelShape shape = panelShape(view, 1);
    const QSizeF size = preferredSize(shape);
    const QPointF origin((screen.width() - int(std::ceil(size.width()))) / 2,
                         (screen.height() - int(std::ceil(size.height()))) / 2);
    return (origin + tileRect(shape, index).center()).toPoint();
}

class WaylandE2eTest : public CompositorE2e {
protected:
    WaylandE2eTest() : CompositorE2e("ZUMO_WAYLAND_SESSION", "wayland") {}

    void SetUp() override
    {
        if (const auto reason = missingSession())
            GTEST_SKIP() << reason->toStdString();
        // The binding's `zumo-trigger` runs as sway's user, and the control socket answers only its
        // own user: zumo runs as that user too.
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            ASSERT_TRUE(nobody && m_zumo.runAs(nobody->pw_uid, nobody->pw_gid));
        }
        ASSERT_NO_FATAL_FAILURE(startZumo());
        ASSERT_TRUE(m_zumo.waitForReady()) << m_zumo.output().toStdString();
        m_trigger = QStringLiteral("env XDG_RUNTIME_DIR=%1 %2").arg(m_zumo.runtimeDir(),
                                   QCoreApplication::applicationDirPath() + QStringLiteral("/../../app/zumo-trigger"));
        // Alt+Tab as sway's IPC event (no process per press, so the paced gestures keep their
        // order on a loaded machine); Alt+Shift+Tab starts `zumo-trigger prev`, over the control socket.
        // sway repeats a binding while its key is held: a typing tool held up 600 ms between a
        // press and its release would send a second press.
        swaymsg({QStringLiteral("bindsym --no-repeat Mod1+Tab nop zumo next")});
        swaymsg({QStringLiteral("bindsym --no-repeat Mod1+Shift+Tab exec ") + m_trigger + QStringLiteral(" prev")});
        swaymsg({QStringLiteral("bindsym --no-repeat Mod1+Shift+grave nop zumo prev")});
        // The seat loses its keyboard when the last virtual keyboard goes: one stays for the test.
        startClient(m_keeper, QStringLiteral("wtype"), {QStringLiteral("-s"), QStringLiteral("600000")});
        // Likewise the seat has a pointer only while a pointer device exists.
        startClient(m_pointer, QCoreApplication::applicationDirPath() + QStringLiteral("/zumo-pointer"), {});
        ASSERT_TRUE(m_pointer.waitForReadyRead(DefaultDeadlineMs)) << "no virtual pointer";
        m_pointer.readAll();
        // On the first workspace, whatever an earlier test left focused (an output it took away
        // leaves its workspace behind).
        swaymsg({QStringLiteral("workspace number 1")});
        ASSERT_NO_FATAL_FAILURE(openQtWindow(QStringLiteral("qtwin")));
        for (const QString& title : {QStringLiteral("alpha"), QStringLiteral("bravo"), QStringLiteral("charlie")})
            ASSERT_NO_FATAL_FAILURE(openFoot(title));
        ASSERT_TRUE(m_zumo.sync());
    }

    void TearDown() override
    {
        swaymsg({QStringLiteral("unbindsym Mod1+Tab")});
        swaymsg({QStringLiteral("unbindsym Mod1+Shift+Tab")});
        swaymsg({QStringLiteral("unbindsym Mod1+Shift+grave")});
        for (QProcess* p : {&m_keeper, &m_pointer})
            p->kill(), p->waitForFinished();
        CompositorE2e::TearDown();
    }

    QStringList environment() const override
    {
        return CompositorE2e::environment() << QStringLiteral("SWAYSOCK=") + sessionFile(QStringLiteral("swaysock"));
    }

    QString focusedTitle() override
    {
        for (const QJsonObject& view : swayViews())
            if (view.value(QStringLiteral("focused")).toBool())
                return view.value(QStringLiteral("name")).toString();
        return {};
    }

    void swaymsg(const QStringList& command) const { run(QStringLiteral("swaymsg"), command); }
    QJsonDocument swayAnswer(const char* type) const
    {
        return QJsonDocument::fromJson(run(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QLatin1String(type)}));
    }

    std::vector<QJsonObject> swayViews() const
    {
        std::vector<QJsonObject> views;
        collectViews(swayAnswer("get_tree").object(), views);
        return views;
    }

    std::vector<QJsonObject> swayOutputs() const
    {
        std::vector<QJsonObject> outputs;
        for (const QJsonValue output : swayAnswer("get_outputs").array())
            if (output.toObject().value(QStringLiteral("active")).toBool())
                outputs.push_back(output.toObject());
        return outputs;
    }

    // The box every active output lies in: the virtual pointer's positions span it.
    QRect swayLayout() const
    {
        QRect layout;
        for (const QJsonObject& output : swayOutputs())
            layout |= rectOf(output);
        return layout;
    }

    // One gesture, as wtype arguments; returns once wtype has pressed and released everything
    // and zumo has handled what followed.
    void keys(const QStringList& arguments)
    {
        QProcess wtype;
        startClient(wtype, QStringLiteral("wtype"), arguments);
        wtype.waitForFinished(4 * DefaultDeadlineMs);
        m_zumo.sync();
    }

    // Holds Alt+Tab with held until the middle of a screenshot of output (every output when
    // empty) changes: the panel is up. Returns the screenshot from before.
    QImage holdUntilPanelShows(QProcess& held, const QString& output, const QString& shot) const
    {
        const QStringList grim = output.isEmpty() ? QStringList{shot} : QStringList{QStringLiteral("-o"), output, shot};
        run(QStringLiteral("grim"), grim);
        const QImage before(shot);
        startClient(held, QStringLiteral("wtype"), altTab({QStringLiteral("-s"), QStringLiteral("5000")}));
        EXPECT_TRUE(waitUntil([&] {
            run(QStringLiteral("grim"), grim);
            return changedPixelsInMiddle(before, QImage(shot)) > 50;
        }, 4000)) << "no panel on the screenshot " << shot.toStdString();
        return before;
    }

    void clickAt(QPoint at, const QRect& layout)
    {
        const QPoint p = at - layout.topLeft();
        m_pointer.write(QStringLiteral("%1 %2 %3 %4\n").arg(p.x()).arg(p.y()).arg(layout.width()).arg(layout.height()).toUtf8());
        ASSERT_TRUE(m_pointer.waitForReadyRead(DefaultDeadlineMs));
        m_pointer.readAll();
    }

    // Clicks the middle of the window titled title, through the virtual pointer, whose
    // positions span every active output (an earlier test may have added one).
    void click(const QString& title)
    {
        const std::vector<QJsonObject> views = swayViews();
        const auto view = std::ranges::find_if(views, [&](const QJsonObject& v) { return v.value(QStringLiteral("name")).toString() == title; });
        ASSERT_NE(view, views.end()) << "no window " << title.toStdString();
        ASSERT_NO_FATAL_FAILURE(clickAt(rectOf(*view).center(), swayLayout()));
    }

    QProcess m_keeper;
    QProcess m_pointer;
    QString m_trigger;  // zumo-trigger, run by a binding as the user would
};

// Windows opened qtwin, alpha, bravo, charlie: charlie, bravo, alpha, qtwin by recency, the
// applications by their last use and each one's windows by theirs. First every focus change the
// compositor makes moves that window to the front, for windows of one application (the three foot
// terminals share one app id) and of several: `--list` is read only after all of a case's
// changes, and a quick tap then goes to the second row. Then the keys, on the order that leaves.
TEST_F(WaylandE2eTest, orderFollowsTheCompositorAndTheKeysSwitchCloseAndPaintThePanel)
{
    struct Case {
        const char* what;
        const char* actions;  // sway commands; "click T" clicks window T, "open T" opens a foot window
        const char* front;    // the first rows of --list afterwards; the tap goes to the second
    };
    const Case cases[] = {
        {"sway's focus command, windows of one app", "[title=^alpha$] focus|[title=^bravo$] focus", "bravo|alpha|charlie"},
        {"sway's focus command, across apps", "[title=^charlie$] focus|[title=^qtwin$] focus", "qtwin|charlie|alpha"},
        {"workspace switches", "[title=^bravo$] move container to workspace number 2|workspace number 2|workspace number 1",
         "charlie|bravo|alpha"},
        {"a click", "workspace number 1|click alpha", "alpha|charlie|bravo"},
        {"a new window", "open delta", "delta|charlie|alpha"},
    };
    const QStringList tap{QStringLiteral("-M"), Alt, QStringLiteral("-k"), QStringLiteral("Tab"), QStringLiteral("-m"), Alt};
    for (const Case& c : cases) {
        const QString front = QString::fromLatin1(c.front);
        for (const QString& action : QString::fromLatin1(c.actions).split(QLatin1Char('|'))) {
            if (action.startsWith(QLatin1String("open ")))
                ASSERT_NO_FATAL_FAILURE(openFoot(action.mid(5)));
            else if (action.startsWith(QLatin1String("click ")))
                click(action.mid(6));
            else
                swaymsg({action});
        }
        m_zumo.sync();
        EXPECT_EQ(m_zumo.listedTitles().mid(0, 3).join(QLatin1Char('|')).toStdString(), c.front) << c.what;
        keys(tap);
        const QString second = front.section(QLatin1Char('|'), 1, 1);
        EXPECT_TRUE(waitUntil([&] { return focusedTitle() == second; })) << c.what << ": tap went to "
                                                                              << focusedTitle().toStdString();
        m_zumo.sync();
    }

    // Now charlie, delta, alpha, bravo (on the second workspace), then qtwin.
    struct Step {
        const char* what;
        QStringList keys;
        const char* focused;
    };
    const QStringList quickSecondTab = altTab({QStringLiteral("-k"), QStringLiteral("Tab"), QStringLiteral("-s"), QStringLiteral("5")});
    const Step steps[] = {
        {"Alt+Tab+Tab goes to the third window by recency", altTab(key(QStringLiteral("Tab"))), "alpha"},
        {"a quick tap goes to the previous window", tap, "charlie"},
        {"a quick Alt+Shift+Tab (zumo-trigger prev) goes to the last row",
         {QStringLiteral("-M"), Alt, QStringLiteral("-M"), QStringLiteral("shift"), QStringLiteral("-k"), QStringLiteral("Tab"),
          QStringLiteral("-m"), QStringLiteral("shift"), QStringLiteral("-m"), Alt}, "qtwin"},
        {"Escape cancels", altTab(key(QStringLiteral("Escape"))), "qtwin"},
        {"a digit jumps to its row", altTab(key(QStringLiteral("4"))), "delta"},
        {"typing searches", altTab(key(QStringLiteral("slash")) + key(QStringLiteral("a")) + key(QStringLiteral("l"))), "alpha"},
        // The binding reaches zumo over sway's IPC, the release over Wayland: read in either order.
        {"Alt let go of just after the second Tab: the third window", quickSecondTab, "charlie"},
        {"and again", quickSecondTab, "delta"},
        {"and again", quickSecondTab, "alpha"},
    };
    for (const Step& step : steps) {
        keys(step.keys);
        const QString expected = QString::fromLatin1(step.focused);
        EXPECT_TRUE(waitUntil([&] { return focusedTitle() == expected; })) << step.what << ": " << focusedTitle().toStdString();
        m_zumo.sync();
    }

    // W closes the window selected: the second row.
    const QStringList rows = m_zumo.listedTitles();
    ASSERT_GE(rows.size(), 2);
    keys(altTab(key(QStringLiteral("w"))));
    EXPECT_TRUE(waitUntil([&] {
        return std::ranges::none_of(swayViews(), [&](const QJsonObject& v) { return v.value(QStringLiteral("name")).toString() == rows[1]; });
    })) << rows[1].toStdString() << " still open";

    // The open panel, held long enough to be seen, caught on a screenshot of its output; then a
    // click on its last tile (qtwin: bravo is on the second workspace) chooses that window. Sway
    // 1.7 cannot take a headless output away, so an earlier run in this session may have left a
    // second one.
    m_zumo.sync();
    const QStringList shown = m_zumo.listedTitles();
    ASSERT_EQ(shown.size(), 4);
    const std::vector<QJsonObject> outputs = swayOutputs();
    const auto focused = std::find_if(outputs.begin(), outputs.end(),
                                      [](const QJsonObject& o) { return o.value(QStringLiteral("focused")).toBool(); });
    ASSERT_NE(focused, outputs.end());
    const QString first = focused->value(QStringLiteral("name")).toString();
    const QString shot = QCoreApplication::applicationDirPath() + QStringLiteral("/panel.png");
    QProcess held;
    const QImage before = holdUntilPanelShows(held, first, shot);
    ASSERT_NO_FATAL_FAILURE(clickAt(rectOf(*focused).topLeft() + tileCentre(4, 3, before.size()), swayLayout()));
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == shown[3]; })) << "clicked " << shown[3].toStdString()
                                                                     << ", focused " << focusedTitle().toStdString();
    held.waitForFinished(4 * DefaultDeadlineMs);

    // With the active window on a second output (one left by an earlier run, else a new one), the
    // panel shows there. The window and the focus go back, so a later run starts as this one did.
    if (outputs.size() < 2)
        swaymsg({QStringLiteral("create_output")});
    const std::vector<QJsonObject> now = swayOutputs();
    const auto other = std::find_if(now.begin(), now.end(),
                                    [&](const QJsonObject& o) { return o.value(QStringLiteral("name")).toString() != first; });
    ASSERT_NE(other, now.end());
    const QString second = other->value(QStringLiteral("name")).toString();
    swaymsg({QStringLiteral("move container to output ") + second + QStringLiteral(", focus output ") + second});
    m_zumo.sync();
    holdUntilPanelShows(held, second, QCoreApplication::applicationDirPath() + QStringLiteral("/second.png"));
    held.waitForFinished(4 * DefaultDeadlineMs);
    swaymsg({QStringLiteral("move container to output ") + first + QStringLiteral(", focus output ") + first});
}

// The same IPC command bound to Alt+Shift+` is the per-application shortcut reversed: a tap goes
// to the last of the front application's windows (alpha), not to the last window of all (qtwin).
// Then the same through zumo-trigger, which names the keys: the last is now bravo.
TEST_F(WaylandE2eTest, theKeysOfABindingPickTheShortcut)
{
    ASSERT_EQ(m_zumo.listedTitles(), (QStringList{QStringLiteral("charlie"), QStringLiteral("bravo"), QStringLiteral("alpha"),
                                                  QStringLiteral("qtwin")}));
    const QStringList reverseTap{QStringLiteral("-M"), Alt, QStringLiteral("-M"), QStringLiteral("shift"), QStringLiteral("-k"),
                                 QStringLiteral("grave"), QStringLiteral("-m"), QStringLiteral("shift"), QStringLiteral("-m"), Alt};
    keys(reverseTap);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("alpha"); })) << focusedTitle().toStdString();
    m_zumo.sync();
    swaymsg({QStringLiteral("bindsym --no-repeat Mod1+Shift+grave exec ") + m_trigger + QStringLiteral(" prev alt+grave")});
    keys(reverseTap);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("bravo"); })) << focusedTitle().toStdString();
}

// Every snapshot of this list is held by its caller alone, as one is once the main thread has
// published the next: the sanitizer build sees any read after the caller let it go (a worker
// building the switcher's rows once read the windows of a snapshot already freed).
class CallersOnlyList final : public WindowList {
public:
    std::shared_ptr<const ToplevelSnapshot> snapshot() const override
    {
        auto snapshot = std::make_shared<ToplevelSnapshot>();
        for (std::uint32_t id = 1; id <= 40; ++id) {
            Toplevel& t = snapshot->windows.emplace_back();
            t.id = id, t.pid = 7, t.appId = QStringLiteral("foot");
        }
        return snapshot;
    }
    void activate(std::uint32_t) override {}
    void close(std::uint32_t) override {}
    void setMinimized(std::uint32_t, bool) override {}
    void setFullscreen(std::uint32_t, bool) override {}
};

TEST(WaylandWindowsTest, eachReadHoldsTheSnapshotItReads)
{
    CallersOnlyList list;
    WaylandWindows windows(list);
    EXPECT_EQ(windows.windows(7, 0)->size(), 40u);
    EXPECT_EQ(windows.runningApplications().size(), 1u);
    EXPECT_EQ(windows.windowList().size(), 40u);
}

TEST(WaylandSessionTest, choosesTheBackendAndExplainsMissingProtocols)
{
    struct Case {
        const char *forced, *wayland, *session, *display;
        Backend expected;
    };
    for (const Case& c : {Case{"", "wayland-1", "wayland", ":0", Backend::wayland},
                          Case{"", "wayland-1", "", "", Backend::wayland},
                          Case{"", "wayland-1", "x11", ":0", Backend::x11},
                          Case{"", "", "wayland", ":0", Backend::x11},
                          Case{"x11", "wayland-1", "wayland", "", Backend::x11},
                          Case{"wayland", "", "", ":0", Backend::wayland}})
        EXPECT_EQ(chooseBackend(c.forced, c.wayland, c.session, c.display), c.expected) << c.wayland << c.session << c.display;

    EXPECT_FALSE(missingProtocolsMessage(true, true, QStringLiteral("GNOME")));
    EXPECT_TRUE(missingProtocolsMessage(false, true, QStringLiteral("ubuntu:GNOME"))->contains(QLatin1String("--print-config gnome")));
    EXPECT_TRUE(missingProtocolsMessage(false, true, QStringLiteral("KDE"))->contains(QLatin1String("D-Bus")));
    EXPECT_TRUE(missingProtocolsMessage(true, false, QStringLiteral("weston"))->contains(QLatin1String("layer-shell")));
    // Every compositor's lines start Zumo at login and bind both directions.
    for (const char* compositor : {"Sway", "wayfire", "labwc", "hyprland", "river"}) {
        const QString lines = bindingLines(QLatin1String(compositor)).value_or(QString());
        for (const char* part : {"zumo --login", "zumo-trigger next", "zumo-trigger prev", "zumo-trigger prev alt+grave"})
            EXPECT_TRUE(lines.contains(QLatin1String(part))) << compositor << " lacks " << part;
    }
    EXPECT_TRUE(bindingLines(QStringLiteral("sway"))->startsWith(QLatin1String("exec zumo --login\n")));
    EXPECT_TRUE(bindingLines(QStringLiteral("wayfire"))->contains(QLatin1String("binding_zumo_prev = <alt> <shift> KEY_TAB")));
    EXPECT_FALSE(bindingLines(QStringLiteral("weston")));
    // The binding's keys as sway names them pick the shortcut; Shift is the direction's.
    EXPECT_EQ(bindingTrigger(R"({"binding":{"command":"nop  zumo prev","symbol":"grave","event_state_mask":["Shift","Mod1"]}})"),
              (SwayTrigger{true, {keys::Option, keys::Grave}}));
    EXPECT_EQ(bindingTrigger(R"({"binding":{"command":"nop zumo next","symbol":"Tab","event_state_mask":["Ctrl"]}})"),
              (SwayTrigger{false, {keys::Control, keys::Tab}}));
    EXPECT_EQ(bindingTrigger(R"({"binding":{"command":"nop zumo next","symbol":"a","event_state_mask":["Mod4"]}})"), SwayTrigger{});
    EXPECT_FALSE(bindingTrigger(R"({"change":"run","binding":{"command":"exec foot"}})"));

    EXPECT_EQ(keyCodeFor(0xfe20 /* ISO_Left_Tab */, 23), keys::Tab);
    EXPECT_EQ(keyCodeFor(0xff08 /* BackSpace */, 22), keys::Delete);
    EXPECT_EQ(keyCodeFor(0x61 /* a */, 38), OtherKeyBase + 38);
    EXPECT_EQ(charactersFor(0x41 /* A */), QStringLiteral("a"));
    EXPECT_EQ(charactersFor(0xff1b /* Escape */), QString());
}

} // namespace
} // namespace zumo::e2e
