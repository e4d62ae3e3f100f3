// Reading the device facts on Linux: /proc and /sys files, uname, sysinfo, statvfs, and Qt's
// screens, palette and locale. Anything unreadable stays empty and gets the profile's fallback.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>
#include <QRegularExpression>
#include <QSet>
#include <QScreen>
#include <QSysInfo>
#include <QTimeZone>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "telemetry/DeviceProfile.h"

namespace zumo {
namespace {

// A small system file's text up to its first zero byte, trimmed; empty when unreadable.
QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(64 * 1024);
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    return QString::fromUtf8(bytes).trimmed();
}

std::optional<qint64> readNumber(const QString& path)
{
    bool ok = false;
    const qint64 value = readText(path).toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

QString cpuName(const QString& root)
{
    QFile file(root + QStringLiteral("proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
        if (line.startsWith("model name")) {
            const qsizetype colon = line.indexOf(':');
            return colon < 0 ? QString() : QString::fromUtf8(line.mid(colon + 1)).trimmed();
        }
    }
    return {};
}

// "6.1.0-18-amd64" gives "6.1.0"; missing parts count as 0.
QString versionTriple(const QString& release)
{
    static const QRegularExpression numbers(QStringLiteral(R"(^(\d+)(?:\.(\d+))?(?:\.(\d+))?)"));
    const auto m = numbers.match(release);
    if (!m.hasMatch())
        return {};
    const auto part = [&](int i) { return m.captured(i).isEmpty() ? QStringLiteral("0") : m.captured(i); };
    return part(1) + QLatin1Char('.') + part(2) + QLatin1Char('.') + part(3);
}

// Laptop, notebook, sub-notebook, convertible and detachable chassis (SMBIOS types).
bool isPortableChassis(const QString& root)
{
    const auto type = readNumber(root + QStringLiteral("sys/class/dmi/id/chassis_type"));
    return type && (*type == 8 || *type == 9 || *type == 10 || *type == 14 || *type == 31 || *type == 32);
}

// The XKB layout the console and the X session are configured with, e.g. "xkb:us"; the payload
// reports the live one instead where the desktop tells it.
QString keyboardLayout(const QString& root)
{
    QString layout = qEnvironmentVariable("XKB_DEFAULT_LAYOUT");
    if (layout.isEmpty()) {
        static const QRegularExpression line(QStringLiteral(R"re(^XKBLAYOUT="?([^"\n]*)"?$)re"),
                                             QRegularExpression::MultilineOption);
        layout = line.match(readText(root + QStringLiteral("etc/default/keyboard"))).captured(1);
    }
    return layout.isEmpty() ? QString() : QStringLiteral("xkb:") + layout;
}

// The CPU numbers of a sysfs list such as "0-7,16"; ranges past any real machine are refused.
std::optional<QList<int>> cpuList(const QString& path)
{
    const QString list = readText(path);
    if (list.isEmpty())
        return std::nullopt;
    QList<int> cpus;
    for (const QString& range : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = range.split(QLatin1Char('-'));
        const int first = ends.first().toInt();
        const int last = ends.size() == 2 ? ends.last().toInt() : first;
        if (first < 0 || last < first || last > 65535)
            return std::nullopt;
        for (int cpu = first; cpu <= last; ++cpu)
            cpus.append(cpu);
    }
    return cpus;
}

void readScreens(DeviceFacts& f)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    const auto screens = QGuiApplication::screens();
    f.screens = int(screens.size());
    for (const QScreen* s : screens) {
        static const QRegularExpression builtIn(QStringLiteral("^(eDP|LVDS|DSI)"));
        if (!builtIn.match(s->name()).hasMatch())
            ++f.externalDisplays;
    }
    f.systemDark = QGuiApplication::palette().color(QPalette::Window).lightness()
        < QGuiApplication::palette().color(QPalette::WindowText).lightness();
    const QScreen* main = QGuiApplication::primaryScreen();
    if (!main)
        return;
    const QSizeF px = QSizeF(main->size()) * main->devicePixelRatio();
    f.mainScreen = MainScreenFacts{int(px.width()), int(px.height()), int(main->refreshRate()), false, {}};
}

void readLocale(DeviceFacts& f)
{
    const QLocale locale = QLocale::system();
    const QStringList languages = locale.uiLanguages();
    f.locale = locale.name();
    f.language = languages.isEmpty() ? QString() : languages.first();
    f.languagesCount = countLanguages(languages);
    f.timezone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    f.region = QLocale::territoryToCode(locale.territory());
    f.metric = locale.measurementSystem() == QLocale::MetricSystem;
    f.clock24h = !locale.timeFormat(QLocale::ShortFormat).contains(QLatin1Char('a'), Qt::CaseInsensitive);
}

void readMachine(DeviceFacts& f, const QString& root)
{
    f.model = readText(root + QStringLiteral("sys/class/dmi/id/product_name"));
    if (f.model.isEmpty())
        f.model = readText(root + QStringLiteral("sys/firmware/devicetree/base/model"));
    f.chip = cpuName(root);
    f.arch = QSysInfo::buildCpuArchitecture();
    f.cores = int(std::max(0L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    struct utsname uts {};
    if (::uname(&uts) == 0) {
        f.build = QString::fromUtf8(uts.release);
        f.osVersion = versionTriple(f.build);
    }
    struct sysinfo info {};
    if (::sysinfo(&info) == 0) {
        f.ramBytes = qint64(info.totalram) * info.mem_unit;
        f.uptimeSec = info.uptime;
    }
    f.laptop = isPortableChassis(root);
    f.perfCores = countPhysicalCores(root, root + QStringLiteral("sys/devices/cpu_core/cpus"));
    f.efficiencyCores = countPhysicalCores(root, root + QStringLiteral("sys/devices/cpu_atom/cpus"));
}

void readStorage(DeviceFacts& f, const QString& root)
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(root).constData(), &fs) == 0) {
        f.diskBytes = qint64(fs.f_blocks) * qint64(fs.f_frsize);
        f.diskFreeBytes = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    }
    QFile meminfo(root + QStringLiteral("proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly))
        f.memFreeBytes = memAvailable(meminfo.readAll());
}

} // namespace

std::optional<qint64> memAvailable(const QByteArray& meminfo)
{
    static const QRegularExpression line(QStringLiteral(R"(^MemAvailable:\s+(\d+)\s*kB)"),
                                         QRegularExpression::MultilineOption);
    const auto m = line.match(QString::fromLatin1(meminfo));
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLongLong() * 1024;
}

std::optional<int> countPhysicalCores(const QString& root, const QString& cpuListPath)
{
    const std::optional<QList<int>> cpus = cpuList(cpuListPath);
    if (!cpus || cpus->isEmpty())
        return std::nullopt;
    QSet<QString> cores;
    for (const int cpu : *cpus) {
        const QString topology = root + QStringLiteral("sys/devices/system/cpu/cpu%1/topology/").arg(cpu);
        const auto package = readNumber(topology + QStringLiteral("physical_package_id"));
        const auto core = readNumber(topology + QStringLiteral("core_id"));
        cores.insert(package && core ? QStringLiteral("%1/%2").arg(*package).arg(*core)
                                     : QStringLiteral("cpu%1").arg(cpu));
    }
    return int(cores.size());
}

int countLanguages(const QStringList& uiLanguages)
{
    QSet<QString> codes;
    for (const QString& language : uiLanguages)
        codes.insert(language.section(QRegularExpression(QStringLiteral("[-_]")), 0, 0).toLower());
    codes.remove(QString());
    return int(codes.size());
}

std::optional<BatteryFacts> readBattery(const QString& dir)
{
    std::optional<BatteryFacts> battery;
    bool onAC = false;
    const auto entries = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : entries) {
        const QString base = dir + QLatin1Char('/') + name + QLatin1Char('/');
        const QString type = readText(base + QStringLiteral("type"));
        if (type == QLatin1String("Mains") && readNumber(base + QStringLiteral("online")).value_or(0) == 1)
            onAC = true;
        if (type != QLatin1String("Battery") || battery)
            continue;
        BatteryFacts b;
        b.percent = int(readNumber(base + QStringLiteral("capacity")).value_or(-1));
        b.charging = readText(base + QStringLiteral("status")) == QLatin1String("Charging");
        b.cycles = readNumber(base + QStringLiteral("cycle_count"));
        b.fullCapacity = readNumber(base + QStringLiteral("energy_full"));
        b.designCapacity = readNumber(base + QStringLiteral("energy_full_design"));
        if (!b.fullCapacity || !b.designCapacity) {
            b.fullCapacity = readNumber(base + QStringLiteral("charge_full"));
            b.designCapacity = readNumber(base + QStringLiteral("charge_full_design"));
        }
        battery = b;
    }
    if (battery)
        battery->onAC = onAC;
    return battery;
}

int readThermalState(const QString& dir)
{
    int state = 0;
    const auto zones = QDir(dir).entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs | QDir::System);
    for (const QString& zone : zones) {
        const QString base = dir + QLatin1Char('/') + zone + QLatin1Char('/');
        const auto temp = readNumber(base + QStringLiteral("temp"));
        if (!temp)
            continue;
        for (int i = 0; i < 32; ++i) {
            const auto trip = readNumber(base + QStringLiteral("trip_point_%1_temp").arg(i));
            if (!trip)
                break;
            if (*temp < *trip || *trip <= 0)
                continue;
            const QString type = readText(base + QStringLiteral("trip_point_%1_type").arg(i));
            const int level = type == QLatin1String("critical") ? 3 : type == QLatin1String("hot") ? 2
                : type == QLatin1String("passive")               ? 1
                                                                  : 0;
            state = std::max(state, level);
        }
    }
    return state;
}

DeviceFacts readDeviceFacts(const QString& rootPath)
{
    const QString root = rootPath.endsWith(QLatin1Char('/')) ? rootPath : rootPath + QLatin1Char('/');
    DeviceFacts f;
    readMachine(f, root);
    readLocale(f);
    readScreens(f);
    readStorage(f, root);
    f.keyboard = keyboardLayout(root);
    f.installPlace = installPlace(QCoreApplication::applicationFilePath(), QDir::homePath());
    f.lowPower = readText(root + QStringLiteral("sys/firmware/acpi/platform_profile")) == QLatin1String("low-power");
    f.thermalState = readThermalState(root + QStringLiteral("sys/class/thermal"));
    f.battery = readBattery(root + QStringLiteral("sys/class/power_supply"));
    return f;
}

} // namespace zumo
