// The device profile: fallbacks and left-out keys, the Linux readers on made-up /sys trees, and the
// keyboard the common payload reports (the payload over the wire: tests/e2e/VendorE2eTest).
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "telemetry/DeviceProfile.h"
#include "telemetry/Telemetry.h"
#include "tests/fakes/FakeClock.h"
#include "tests/support/TestFiles.h"

namespace zumo {
namespace {

using test::writeAll;

TEST(DeviceProfileTest, numbersAreTruncatedAsDocumented)
{
    DeviceFacts f;
    f.ramBytes = qint64(32) * 1073741824;
    f.memFreeBytes = qint64(15.97 * 1073741824.0);
    f.uptimeSec = 7199;
    f.installedSec = 86400 * 3 - 1;
    f.diskBytes = 999999999999;
    f.mainScreen = MainScreenFacts{3024, 1964, 60, false, {}};
    f.battery = BatteryFacts{80, true, true, 312, 5200, 5000};
    f.thermalState = 7;
    const QJsonObject p = deviceProfile(f, {});
    EXPECT_EQ(p["memFreeGB"].toDouble(), 15.9);
    EXPECT_EQ(p["memFreePercent"], 50);
    EXPECT_EQ(p["uptimeHours"], 1);
    EXPECT_EQ(p["installedDays"], 2);
    EXPECT_EQ(p["diskGB"], 999);
    EXPECT_EQ(p["batteryHealthPercent"], 100);
    EXPECT_EQ(p["thermal"], "critical");
}

TEST(DeviceProfileTest, batteryAndThermalAreReadFromSysfs)
{
    QTemporaryDir dir;
    using Lines = std::initializer_list<std::pair<const char*, const char*>>;
    const auto files = [&](const QString& under, Lines lines) {
        for (const auto& [name, line] : lines)
            writeAll(dir.filePath(under + "/" + name), QByteArray(line) + "\n");
    };
    const QString ps = dir.filePath("power_supply");
    EXPECT_FALSE(readBattery(ps).has_value());
    files("power_supply", {{"AC/type", "Mains"}, {"AC/online", "1"}, {"BAT0/type", "Battery"},
                           {"BAT0/capacity", "57"}, {"BAT0/status", "Discharging"},
                           {"BAT0/charge_full", "4000000"}, {"BAT0/charge_full_design", "5000000"}});
    auto b = readBattery(ps);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->percent, 57);
    EXPECT_FALSE(b->charging);
    EXPECT_TRUE(b->onAC);
    DeviceFacts f;
    f.battery = b;
    EXPECT_FALSE(deviceProfile(f, {}).contains("batteryHealthPercent")) << "no cycle count";
    files("power_supply", {{"BAT0/cycle_count", "12"}});
    f.battery = readBattery(ps);
    EXPECT_EQ(deviceProfile(f, {})["batteryHealthPercent"], 80);

    const QString th = dir.filePath("thermal");
    files("thermal/thermal_zone0", {{"temp", "95000"}, {"trip_point_0_temp", "90000"},
                                    {"trip_point_0_type", "passive"}, {"trip_point_1_temp", "105000"},
                                    {"trip_point_1_type", "critical"}});
    EXPECT_EQ(readThermalState(th), 1);
    files("thermal/thermal_zone1",
          {{"temp", "110000"}, {"trip_point_0_temp", "105000"}, {"trip_point_0_type", "critical"}});
    EXPECT_EQ(readThermalState(th), 3);
}

TEST(DeviceProfileTest, hybridCoresCountPhysicalCoresAndLanguagesCountOncePerCode)
{
    QTemporaryDir dir;
    const QString root = dir.path() + "/";
    const auto topology = [&](int cpu, int package, int core) {
        const QString base = root + QString("sys/devices/system/cpu/cpu%1/topology/").arg(cpu);
        writeAll(base + "physical_package_id", QByteArray::number(package) + "\n");
        writeAll(base + "core_id", QByteArray::number(core) + "\n");
    };
    // Two performance cores with two threads each, and one core without topology.
    writeAll(root + "cpu_core", "0-3,8\n");
    for (const int cpu : {0, 1, 2, 3})
        topology(cpu, 0, cpu / 2);
    EXPECT_EQ(countPhysicalCores(root, root + "cpu_core"), 3);
    EXPECT_FALSE(countPhysicalCores(root, root + "cpu_atom").has_value());
    writeAll(root + "cpu_bad", "5-2\n");
    EXPECT_FALSE(countPhysicalCores(root, root + "cpu_bad").has_value());

    EXPECT_EQ(countLanguages({"de-DE", "de_DE", "de", "en-GB", "en"}), 2);
    EXPECT_EQ(countLanguages({}), 0);
}

// The layout being typed with, else the configured one when the desktop cannot tell.
TEST(EventPayloadTest, theKeyboardIsTheLiveLayoutAndTheConfiguredOneWhenTheDesktopCannotTell)
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("s.json")};
    Settings settings{store};
    FakeClock clock;
    Counters counters{store, clock};
    EventPayload payload{settings, counters, clock, SessionFacts{{}, {}, nullptr, true, "0.0.9", {}}};
    payload.readFacts = [] {
        DeviceFacts configured;
        configured.keyboard = "xkb:us";
        return configured;
    };
    for (const auto& [live, reported] : {std::pair{"de", "xkb:de"}, {"", "xkb:us"}}) {
        payload.session().keyboardLayout = [live] { return QString::fromLatin1(live); };
        EXPECT_EQ(payload.deviceProfile()["keyboard"], reported) << live;
    }
}

} // namespace
} // namespace zumo
