// The device profile of usage events: facts about the machine read from the system (Linux:
// /proc, /sys, uname, statvfs, Qt's screens and locale), and the pure step that turns them
// into the profile's keys with their fallbacks.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>

namespace zumo {

struct BatteryFacts {
    int percent = -1;  // -1 when unknown
    bool charging = false;
    bool onAC = false;
    std::optional<int> cycles;
    std::optional<qint64> fullCapacity;
    std::optional<qint64> designCapacity;
};

struct MainScreenFacts {
    int widthPx = 0;
    int heightPx = 0;
    int refreshHz = 0;
    bool hdr = false;
    QString colorSpace;  // empty when unknown
};

struct NetworkFacts {
    QString kind = QStringLiteral("unknown");
    bool expensive = false;
    bool constrained = false;
};

// Every text is empty when it could not be read; optional values are absent likewise.
struct DeviceFacts {
    QString model, chip, arch, osVersion, build, locale, language, timezone, keyboard, installPlace, region;
    bool rosetta = false, laptop = false, systemDark = false, reduceMotion = false, lowPower = false;
    bool metric = false, clock24h = false;
    int cores = 0, screens = 0, externalDisplays = 0, languagesCount = 0, thermalState = 0;
    int regularApps = 0, backgroundApps = 0;
    qint64 ramBytes = 0, uptimeSec = 0, installedSec = 0;
    std::optional<MainScreenFacts> mainScreen;
    std::optional<BatteryFacts> battery;  // absent: no power source ("none")
    std::optional<qint64> diskBytes, diskFreeBytes, memFreeBytes;
    std::optional<int> perfCores, efficiencyCores;
    NetworkFacts network;
};

// The profile object (launchFacts copied in as they are).
QJsonObject deviceProfile(const DeviceFacts& facts, const QJsonObject& launchFacts);
// "nominal", "fair", "serious", "critical" for 0, 1, 2, 3 and above.
QString thermalName(int state);
// Where the program is installed, from its path: "applications" (system-wide), "user-applications"
// (under the home's ~/.local), "disk-image" (a mounted AppImage), otherwise "other".
QString installPlace(const QString& programPath, const QString& home);

// What the profile asks of the running session that only the shell knows.
struct SessionCounts {
    int regularApps = 0;
    int backgroundApps = 0;
};

// Reads the facts of this machine. root replaces "/" for the /proc and /sys files (tests).
// Cheap: no process is started and no folder is walked, so it may run on the main thread.
DeviceFacts readDeviceFacts(const QString& root = QStringLiteral("/"));
// The physical cores among the logical CPUs of a list such as "0-7,16" (sysfs cpu list syntax):
// distinct (package, core) pairs from each CPU's topology below root; a CPU without readable
// topology counts as a core of its own. Nothing when the list file is missing or empty.
std::optional<int> countPhysicalCores(const QString& root, const QString& cpuListPath);
// The distinct preferred languages in a list like QLocale::uiLanguages() gives, which names a
// language in several spellings ("de-DE", "de_DE", "de"): counted by language code.
int countLanguages(const QStringList& uiLanguages);
// The battery from a power_supply class folder: the first entry of type "Battery"; the AC
// state from any "Mains" entry that is online.
std::optional<BatteryFacts> readBattery(const QString& powerSupplyDir);
// The highest trip level any thermal zone has reached: 0 none, 1 passive, 2 hot, 3 critical.
int readThermalState(const QString& thermalDir);
// "MemAvailable" of /proc/meminfo, in bytes.
std::optional<qint64> memAvailable(const QByteArray& meminfo);

} // namespace zumo
