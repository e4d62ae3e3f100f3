// What the GNOME backend reads from its Shell extension and says about it.
#include <gtest/gtest.h>

#include "desktop/gnome/GnomeSetup.h"
#include "desktop/gnome/ShellState.h"

namespace zumo::gnome {
namespace {

TEST(ShellStateTest, readsTheExtensionsReportAndDropsWhatIsNotAWindow)
{
    const ShellState state = parseShellState(R"({"serial": 7, "workspace": 1,
        "windows": [{"id": 3, "title": "alpha", "appId": "foot.desktop", "focused": true, "workspace": 1, "monitor": 0},
                    {"id": 0, "title": "no id"}, {"title": "missing id"}, {"id": -2},
                    {"id": 5, "title": "bare", "minimized": true}],
        "monitors": [{"frame": [0, 0, 1920, 1080], "workArea": [0, 32, 1920, 1048]}, {"frame": [1, 2]}]})");
    ASSERT_EQ(state.windows.size(), 2u);
    EXPECT_EQ(state.windows[0].appId, QStringLiteral("foot"));
    EXPECT_TRUE(state.windows[0].activated);
    EXPECT_EQ(state.windows[0].desktop, 2u);  // workspace 1, counted from 1
    EXPECT_TRUE(state.windows[0].onCurrentDesktop);
    EXPECT_EQ(state.windows[1].id, 5u);
    EXPECT_TRUE(state.windows[1].minimized);
    EXPECT_EQ(state.windows[1].desktop, 0u);  // not told: on every workspace
    EXPECT_TRUE(state.windows[1].onCurrentDesktop);
    ASSERT_EQ(state.monitors.size(), 2u);
    EXPECT_EQ(state.monitors[0].workArea, QRect(0, 32, 1920, 1048));
    EXPECT_TRUE(state.monitors[1].frame.isEmpty());
    EXPECT_EQ(state.serial, 7);

    for (const char* bad : {"", "not json", "[1, 2]", R"({"windows": {"id": 1}})"})
        EXPECT_TRUE(parseShellState(bad).windows.empty()) << bad;
}

TEST(ShellStateTest, tellsWhatAMissingOrDisabledExtensionMeans)
{
    const struct {
        QVariantMap info;
        const char* says;
    } cases[] = {
        {{}, "does not know"},
        {{{QStringLiteral("state"), 2.0}}, "gnome-extensions enable zumo@pellwick.example"},
        {{{QStringLiteral("state"), 6.0}}, "turned off"},
        {{{QStringLiteral("state"), 3.0}, {QStringLiteral("error"), QStringLiteral("SyntaxError")}}, "SyntaxError"},
        {{{QStringLiteral("state"), 4.0}}, "not made for this version"},
    };
    EXPECT_TRUE(extensionProblem({{QStringLiteral("state"), 1.0}}).isEmpty());  // on: its name is on its way
    for (const auto& c : cases)
        EXPECT_TRUE(extensionProblem(c.info).contains(QLatin1String(c.says))) << extensionProblem(c.info).toStdString();
    EXPECT_TRUE(isGnomeShell(QStringLiteral("ubuntu:GNOME")));
    EXPECT_FALSE(isGnomeShell(QStringLiteral("sway")));
}

} // namespace
} // namespace zumo::gnome
