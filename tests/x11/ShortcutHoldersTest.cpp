// Which window manager holds a shortcut, and the key binding edits that free it.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>

#include "desktop/x11/ShortcutHolders.h"
#include "desktop/x11/ShortcutRelease.h"
#include "platform/KeyCodes.h"
#include "settings/SettingsStore.h"

namespace zumo::x11 {
namespace {

const HookShortcut AltTab{keys::Option, keys::Tab};
const HookShortcut AltGrave{keys::Option, keys::Grave};

TEST(FreeingEdits, onlyTheShortcutAndItsReverseLeaveEachBinding)
{
    // As Debian 12's gsettings prints them.
    const QString gnome = QStringLiteral(
        "org.gnome.desktop.wm.keybindings switch-applications ['<Super>Tab', '<Alt>Tab']\n"
        "org.gnome.desktop.wm.keybindings switch-applications-backward ['<Shift><Super>Tab', '<Shift><Alt>Tab']\n"
        "org.gnome.desktop.wm.keybindings switch-group ['<Super>Above_Tab', '<Alt>Above_Tab']\n"
        "org.gnome.desktop.wm.keybindings switch-panels ['<Control><Alt>Tab']\n"
        "org.gnome.desktop.wm.keybindings switch-windows @as []\n");
    const QString marco = QStringLiteral(
        "org.mate.Marco.global-keybindings switch-group '<Alt>grave'\n"
        "org.mate.Marco.global-keybindings switch-panels '<Control><Alt>Tab'\n"
        "org.mate.Marco.global-keybindings switch-windows '<Alt>Tab'\n");
    const QString gs = QStringLiteral("org.gnome.desktop.wm.keybindings");
    const QString mm = QStringLiteral("org.mate.Marco.global-keybindings");

    EXPECT_EQ(freeingEdits(gnome, AltTab),
              (std::vector<BindingEdit>{
                  {gs, "switch-applications", "['<Super>Tab', '<Alt>Tab']", "['<Super>Tab']"},
                  {gs, "switch-applications-backward", "['<Shift><Super>Tab', '<Shift><Alt>Tab']",
                   "['<Shift><Super>Tab']"}}));
    EXPECT_EQ(freeingEdits(gnome, AltGrave),
              (std::vector<BindingEdit>{{gs, "switch-group", "['<Super>Above_Tab', '<Alt>Above_Tab']", "['<Super>Above_Tab']"}}));
    const std::vector<BindingEdit> marcoEdits = freeingEdits(marco, AltTab);
    EXPECT_EQ(marcoEdits, (std::vector<BindingEdit>{{mm, "switch-windows", "'<Alt>Tab'", "'disabled'"}}));
    EXPECT_EQ(editCommands(marcoEdits, true),
              QStringList{"gsettings set org.mate.Marco.global-keybindings switch-windows \"'<Alt>Tab'\""});
    EXPECT_TRUE(freeingEdits(QStringLiteral("garbage\n\n"), AltTab).empty());
}

// gsettings over a map of "schema key" → value.
struct FakeGSettings {
    std::map<QString, QString> values;
    std::optional<QString> operator()(const QStringList& a)
    {
        if (a.value(0) == QLatin1String("list-recursively")) {
            QString out;
            for (const auto& [key, value] : values)
                if (key.startsWith(a.value(1) + u' '))
                    out += key + u' ' + value + u'\n';
            return out;
        }
        const QString key = a.value(1) + u' ' + a.value(2);
        if (a.value(0) == QLatin1String("get"))
            return values.count(key) ? std::optional(values[key] + u'\n') : std::nullopt;
        values[key] = a.value(3);
        return QString();
    }
};

TEST(KWinBinds, defaultsUnlessTheFileSetsTheSwitchersOtherwise)
{
    const HookShortcut ctrlTab{keys::Control, keys::Tab};
    const QString freed = QStringLiteral("[kwin]\nWalk Through Windows=none,Alt+Tab,Walk Through Windows\n"
                                         "Walk Through Windows (Reverse)=none,Alt+Shift+Backtab,Walk Through Windows (Reverse)\n");
    EXPECT_TRUE(kwinBinds({}, AltTab));
    EXPECT_TRUE(kwinBinds({}, AltGrave));
    EXPECT_FALSE(kwinBinds({}, ctrlTab));
    EXPECT_FALSE(kwinBinds(freed, AltTab));
    EXPECT_TRUE(shortcutHolder(QStringLiteral("KWin"), AltTab)
                    .howToFree.contains(QStringLiteral("\"none,Alt+Shift+Backtab,Walk Through Windows (Reverse)\"")))
        << "the advice writes what KWin reads";
    EXPECT_TRUE(kwinBinds(freed, AltGrave)) << "only what the file sets changes";
    // Another group's entry of the same name is not KWin's; a second shortcut after a tab counts.
    EXPECT_TRUE(kwinBinds(QStringLiteral("[other]\nWalk Through Windows=none,none,x\n"), AltTab));
    EXPECT_TRUE(kwinBinds(QStringLiteral("[kwin]\nWalk Through Windows=Meta+Tab\tCtrl+Tab,Alt+Tab,x\n"), ctrlTab));
}

TEST(ShortcutRelease, freedWhileRunningGivenBackAfterACrashButNotOverTheUsersOwnChange)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com.zumo.app.json"));
    auto gsettings = std::make_shared<FakeGSettings>();
    gsettings->values = {{"org.mate.Marco.global-keybindings switch-windows", "'<Alt>Tab'"},
                         {"org.mate.Marco.global-keybindings switch-group", "'<Alt>grave'"}};
    const auto run = [gsettings](const QStringList& a) { return (*gsettings)(a); };
    const ShortcutHolder marco = shortcutHolder(QStringLiteral("Metacity (Marco)"), AltTab);
    {
        SettingsStore store(path);
        ShortcutRelease release(store, run);
        const std::vector<BindingEdit> edits = release.plan(marco, {AltTab, AltGrave});
        ASSERT_EQ(edits.size(), 2u);
        EXPECT_TRUE(release.unbind(edits));
        EXPECT_EQ(gsettings->values["org.mate.Marco.global-keybindings switch-windows"], "'disabled'");
    }  // a crash: nothing put back, but the record is on disk
    gsettings->values["org.mate.Marco.global-keybindings switch-group"] = "'<Super>grave'";  // the user's
    SettingsStore store(path);
    ShortcutRelease release(store, run);
    ASSERT_TRUE(release.holdsEdits());
    EXPECT_EQ(release.restore(), 1);
    EXPECT_EQ(gsettings->values["org.mate.Marco.global-keybindings switch-windows"], "'<Alt>Tab'");
    EXPECT_EQ(gsettings->values["org.mate.Marco.global-keybindings switch-group"], "'<Super>grave'");
    EXPECT_FALSE(release.holdsEdits());
}

} // namespace
} // namespace zumo::x11
