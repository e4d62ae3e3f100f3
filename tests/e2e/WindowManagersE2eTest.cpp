// The real zumo under window managers other than the tests' openbox, each started once with its
// own default configuration: who holds Alt+Tab, told on standard error (and freed through the
// window manager's settings where the user agreed), an application's windows in the order they
// were used, exact activation, and the first Alt+Tab after a click.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QProcess>

#include "tests/e2e/E2eSupport.h"

namespace zumo::e2e {
namespace {

struct WmCase {
    const char* wm;
    const char* told;   // what zumo says about Alt+Tab at start; null when it is Zumo's at once
    const char* schema; // where Zumo frees Alt+Tab (the user agreed beforehand); null where it cannot
    const char* key;    // the binding there; null: the schema is kglobalaccel, asked who holds Alt+Tab
};

constexpr const char* Kglobalaccel = "org.kde.kglobalaccel";

const WmCase Cases[] = {
    {"openbox", "most likely Openbox", nullptr, nullptr},
    {"fluxbox", "most likely Fluxbox", nullptr, nullptr},
    {"icewm", "most likely IceWM", nullptr, nullptr},
    {"i3", nullptr, nullptr, nullptr},
    {"marco", "held by Marco", "org.mate.Marco.global-keybindings", "switch-windows"},
    {"metacity", "held by Metacity", "org.gnome.desktop.wm.keybindings", "switch-applications"},
    {"xfwm4", "most likely Xfwm4", nullptr, nullptr},
    // Their XInput 2 grabs never refuse ours: what they bind is read from their settings.
    {"mutter", "held by Mutter", "org.gnome.desktop.wm.keybindings", "switch-applications"},
    {"muffin", "held by Muffin", "org.cinnamon.desktop.keybindings.wm", "switch-windows"},
    {"kwin_x11", "held by KWin", Kglobalaccel, nullptr},
};

class WindowManagersE2e : public ::testing::TestWithParam<WmCase> {
  protected:
    // `gsettings get` on the window manager's settings (its bus, its configuration folder), or
    // the action kglobalaccel gives Alt+Tab to.
    QString binding() const
    {
        QProcess query;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), zumo.configHome());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), desktop.busEntry().section(QLatin1Char('='), 1));
        query.setProcessEnvironment(env);
        if (GetParam().key)
            query.start(QStringLiteral("gsettings"), {QStringLiteral("get"), GetParam().schema, GetParam().key});
        else
            query.start(QStringLiteral("dbus-send"),
                        {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                         QStringLiteral("--dest=org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                         QStringLiteral("org.kde.KGlobalAccel.action"), QStringLiteral("int32:150994945")});  // Alt+Tab in Qt
        query.waitForFinished(DefaultDeadlineMs);
        return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    }

    ZumoProcess zumo;           // its configuration folder is the window manager's too
    PrivateDesktop desktop;     // after zumo: goes first
    std::optional<XHelper> x;
};

TEST_P(WindowManagersE2e, holderToldOrderOfUseExactActivationAndTheFirstSwitchAfterAClick)
{
    const WmCase& c = GetParam();
    if (const QString reason = desktop.start(c.wm, {QStringLiteral("ZUMO_SESSION_CONFIG=") + zumo.configHome()});
        !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    x.emplace();
    ASSERT_TRUE(x->ok());
    TestClient app;
    ASSERT_TRUE(app.start({QStringLiteral("win-0"), QStringLiteral("win-1"), QStringLiteral("win-2")},
                          QStringLiteral("Stack")))
        << app.error().toStdString();

    QJsonObject settings = setUpUser(QJsonObject{{QStringLiteral("showDelay"), 0}});
    if (c.schema)
        settings.insert(QStringLiteral("freeShortcutsFromWindowManager"), true);
    ASSERT_NO_FATAL_FAILURE(writeSettings(zumo.configHome(), settings));
    zumo.keepErrors();
    QStringList environment{leakSuppressions(zumo)};
    if (!desktop.busEntry().isEmpty())
        environment << desktop.busEntry();
    ASSERT_TRUE(zumo.start({}, environment));
    const bool freed = c.schema != nullptr;
    // What binding() shows while the window manager holds Alt+Tab.
    const QString bound = QLatin1String(c.key ? "<Alt>Tab" : "\"Walk Through Windows\"");
    if (c.told) {
        EXPECT_TRUE(waitUntil([&] { return zumo.errors().contains(QString::fromUtf8(c.told)); }))
            << "zumo said: " << zumo.errors().toStdString();
    }
    const bool ours = !c.told || freed;
    if (ours) {
        ASSERT_TRUE(zumo.waitForReady()) << "zumo said: " << zumo.errors().toStdString();
    } else {
        EXPECT_FALSE(zumo.output().contains(QStringLiteral("switcher ready")));
    }
    if (freed) {
        EXPECT_FALSE(binding().contains(bound)) << binding().toStdString();
    }

    // Used in this order while zumo runs (it sees each): the rows follow it, whatever the
    // stacking says.
    for (int i : {1, 0, 2})
        ASSERT_TRUE(x->activate(app.window(i)) && zumo.sync());
    EXPECT_EQ(zumo.listedTitles().filter(QStringLiteral("win-")), (QStringList{"win-2", "win-0", "win-1"}));

    ASSERT_EQ(zumo.command({QStringLiteral("--activate"), QString::number(app.window(1))}).exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return x->activeWindow() == app.window(1); })) << "exact activation";

    if (ours) {
        // A click in the front window gives it a newer user time than any stale stamp: the first
        // Alt+Tab must still switch (marco refuses a request older than that click).
        ASSERT_TRUE(zumo.sync());
        ASSERT_TRUE(x->click(app.window(1)));
        ASSERT_TRUE(x->keyDown(XK_Alt_L) && x->tap(XK_Tab) && x->keyUp(XK_Alt_L));
        EXPECT_TRUE(waitUntil([&] { return x->activeWindow() == app.window(2); }))
            << "the first Alt+Tab after a click did not switch";
    }
    zumo.process().terminate();
    ASSERT_TRUE(zumo.waitForExit());
    if (freed) {
        EXPECT_TRUE(binding().contains(bound)) << "given back at quit: " << binding().toStdString();
    }
}

void PrintTo(const WmCase& c, std::ostream* out)
{
    *out << c.wm;
}

INSTANTIATE_TEST_SUITE_P(EachOnce, WindowManagersE2e, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.wm); });

} // namespace
} // namespace zumo::e2e
