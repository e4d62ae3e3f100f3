// What the shell tests stand in for: the keyboard hook and the Settings window, plus one fixture
// with a store, settings, counters, a clock and a dispatcher.
#pragma once

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakePermissions.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "shell/ShellLinks.h"
#include "stats/Counters.h"

namespace zumo::test {

struct FakeHook final : HookControl {
    bool installed = false;
    bool refuse = false;
    int starts = 0;
    int stops = 0;
    bool running() const override { return installed; }
    bool start() override
    {
        ++starts;
        installed = !refuse;
        return installed;
    }
    void stop() override
    {
        ++stops;
        installed = false;
    }
    bool disabled() const override { return false; }
    void reenable() override {}
};

struct FakeSettingsWindow final : SettingsWindowLink {
    int reloads = 0;
    std::optional<bool> capture;
    void reload() override { ++reloads; }
    std::optional<bool> shownCapture() const override { return capture; }
};

inline const QTimeZone TestZone{"Europe/Berlin"};

inline QDateTime berlinTime(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), TestZone);
}

class ShellTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeClock clock{berlinTime(2026, 3, 5, 10, 0)};
    FakeDispatcher dispatcher{&clock};
    SettingsStore store{dir.path() + "/defaults.json", &dispatcher};
    Settings settings{store};
    Counters counters{store, clock, TestZone};
    FakePermissions permissions;
    FakeHook hook;
    FakeSettingsWindow settingsWindow;
};

} // namespace zumo::test
