// Taking the switcher's keys from KWin's own actions and giving them back, over an in-memory
// kglobalaccel; and the script's messages read defensively.
#include <QJsonValue>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

#include "settings/SettingsStore.h"
#include "desktop/wayland/KWinMessages.h"
#include "desktop/wayland/KWinShortcuts.h"

namespace zumo::wayland {
namespace {

constexpr int AltTab = 0x08000000 | 0x01000001;
constexpr int AltShiftBacktab = 0x08000000 | 0x02000000 | 0x01000002;
constexpr int AltGrave = 0x08000000 | 0x60;
// Alt+Tab and the per-application Alt+`, each with its reverse, to the script's actions.
const auto scripted = [] { return KWinShortcuts::keysFor({{keys::Option, keys::Tab}, {keys::Option, keys::Grave}}, true); };

QStringList action(const char* name)
{
    return {QStringLiteral("kwin"), QLatin1String(name), QStringLiteral("KWin"), QLatin1String(name)};
}

class MemoryShortcuts final : public GlobalShortcuts {
public:
    QStringList holder(int key) override
    {
        for (const auto& [name, keys] : actions)
            if (std::find(keys.begin(), keys.end(), key) != keys.end())
                return name;
        return {};
    }
    std::vector<int> keys(const QStringList& a) override { return actions[a]; }
    bool setKeys(const QStringList& a, const std::vector<int>& keys) override
    {
        for (int key : keys)
            if (!holder(key).isEmpty() && holder(key) != a)
                return false;  // kglobalaccel refuses a key another action holds
        actions[a] = keys;
        return true;
    }
    std::map<QStringList, std::vector<int>> actions{{action("Walk Through Windows"), {AltTab}},
                                                    {action("Walk Through Windows (Reverse)"), {AltShiftBacktab}}};
};

// Taken with consent and given back at quit is KWinE2e's and WindowManagersE2e's (kwin_x11),
// through KWin's own kglobalaccel.
TEST(KWinShortcutsTest, takesKeysOnlyWithConsentAndGivesBackWhatTheUserDidNotChange)
{
    // On X11 Zumo grabs the keys itself: they are only freed, for both of Zumo's shortcuts.
    const std::vector<KWinShortcuts::Wanted> grabbed{{AltTab, QStringLiteral("Alt+Tab"), {}},
                                                     {AltGrave, QStringLiteral("Alt+`"), {}}};
    struct Case {
        const char* what;
        bool x11;
        bool consent;
        bool userRebindsMeanwhile;  // gives Walk Through Windows Meta+Tab while Zumo runs
        const char* altTabWhileRunning;
        const char* altTabAfter;
    };
    const Case cases[] = {
        {"without consent KWin keeps it and Zumo says so", false, false, false, "Walk Through Windows",
         "Walk Through Windows"},
        {"a key the user rebound meanwhile stays theirs", false, true, true, "Zumo next", ""},
        {"freed for Zumo's grab, and an action that lost two keys gets both back", true, true, false, "",
         "Walk Through Windows"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
        store.setValue(QStringLiteral("freeShortcutsFromWindowManager"), c.consent);
        MemoryShortcuts accel;
        accel.actions[action("Walk Through Windows")].push_back(AltGrave);
        {
            KWinShortcuts shortcuts(store, accel, c.x11 ? grabbed : scripted());
            const auto message = shortcuts.take();
            EXPECT_EQ(message.has_value(), !c.consent) << c.what;
            EXPECT_EQ(accel.holder(AltTab).value(1), QLatin1String(c.altTabWhileRunning)) << c.what;
            if (!c.x11 && c.consent) {
                EXPECT_EQ(accel.holder(AltGrave).value(1), QStringLiteral("Zumo next 1")) << c.what;
            }
            if (c.userRebindsMeanwhile)
                accel.actions[action("Walk Through Windows")] = {0x10000000 | 0x01000001};
        }
        EXPECT_EQ(accel.holder(AltTab).value(1), QLatin1String(c.altTabAfter)) << c.what;
        if (!c.userRebindsMeanwhile) {
            EXPECT_EQ(accel.keys(action("Walk Through Windows")), (std::vector<int>{AltTab, AltGrave})) << c.what;
        }
        EXPECT_FALSE(store.contains(QStringLiteral("freedKWinShortcuts"))) << c.what;
    }
}

TEST(KWinShortcutsTest, aRunThatCrashedIsPutBackAtTheNextStart)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.setValue(QStringLiteral("freeShortcutsFromWindowManager"), true);
    MemoryShortcuts accel;
    // What a run that crashed leaves: the keys moved and the record kept.
    std::map<QStringList, std::vector<int>> leftKeys;
    QJsonValue leftRecord;
    {
        KWinShortcuts crashed(store, accel, scripted());
        crashed.take();
        leftKeys = accel.actions;
        leftRecord = store.value(QStringLiteral("freedKWinShortcuts"));
    }
    accel.actions = leftKeys;
    store.setValue(QStringLiteral("freedKWinShortcuts"), leftRecord);
    store.setValue(QStringLiteral("freeShortcutsFromWindowManager"), false);
    KWinShortcuts next(store, accel);
    next.giveBack();
    EXPECT_EQ(accel.holder(AltTab).value(1), QStringLiteral("Walk Through Windows"));
    EXPECT_EQ(accel.holder(AltShiftBacktab).value(1), QStringLiteral("Walk Through Windows (Reverse)"));
    // Started knowing only Alt+Tab, it still takes the key the crashed run gave its second action.
    EXPECT_TRUE(accel.holder(AltGrave).isEmpty());
}

TEST(KWinMessagesTest, readsOnlyWellFormedMessages)
{
    const auto kind = [](const char* json) { return readKWinMessage(QByteArray(json)).kind; };
    using Kind = KWinMessage::Kind;
    EXPECT_EQ(kind(R"({"kind":"window","window":{"id":"{a}","title":"t","desktop":2,"order":5}})"), Kind::window);
    EXPECT_EQ(kind(R"({"kind":"window","window":{"title":"no id"}})"), Kind::unreadable);
    EXPECT_EQ(kind(R"({"kind":"shortcut","name":"rm -rf"})"), Kind::unreadable);
    EXPECT_EQ(readKWinMessage(R"({"kind":"shortcut","name":"prev 3"})").shortcut, 3u);
    EXPECT_EQ(kind(R"({"kind":"shortcut","name":"next 4"})"), Kind::unreadable);  // past the script's actions
    EXPECT_EQ(kind(R"({"kind":"desktop","desktop":-3})"), Kind::unreadable);
    EXPECT_EQ(kind("not json"), Kind::unreadable);
    const KWinMessage list =
        readKWinMessage(R"({"kind":"windows","desktop":2,"windows":[{"id":"{a}","desktop":1e12,"order":1e56},{"x":1}]})");
    ASSERT_EQ(list.windows.size(), 1u);  // the one without an id is dropped
    EXPECT_EQ(list.windows[0].desktop, 0u);  // out of range: on every desktop
    EXPECT_EQ(list.windows[0].order, 0u);    // out of range: never activated
    EXPECT_EQ(list.desktop, 2u);
    EXPECT_EQ(kwinRequestsText({{KWinRequest::Kind::minimize, QStringLiteral("{a}"), true}}),
              QByteArray(R"([{"do":"minimize","id":"{a}","on":true}])"));
}

} // namespace
} // namespace zumo::wayland
