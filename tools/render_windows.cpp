// Renders the Settings, Hidden Apps and Statistics windows to PNG files, light and dark, to
// look at them without a desktop. QT_SCALE_FACTOR sets the scale.
// Usage: render_windows <output directory> [file name suffix, e.g. "@2x"]
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLayout>
#include <QPainter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "platform/LoginItem.h"
#include "tests/fakes/FakeAppCatalog.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/FakeWorkspace.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"
#include "windows/AppWindows.h"
#include "windows/Appearance.h"
#include "windows/HiddenAppsWindow.h"
#include "windows/StatisticsWindow.h"
#include "stats/Counters.h"

using namespace zumo;

namespace {

class ShownLoginItem final : public LoginItem {
  public:
    bool on = true;
    bool enabled() const override { return on; }
    bool setEnabled(bool value, QString&) override { return on = value, true; }
};

QImage appIcon(const QColor& colour, QChar letter)
{
    QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 13, 13);
    QFont font = QApplication::font();
    font.setPixelSize(32);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(4, 4, 56, 56), Qt::AlignCenter, QString(letter));
    return icon;
}

// Made-up but plausible use: a few weeks of switching.
void fillCounters(SettingsStore& store, Counters& counters, const FakeClock& clock)
{
    const qint64 numbers[][3] = {{37, 412, 9804}, {5, 61, 1377}, {2, 28, 644}, {0, 3, 91},    {1, 17, 402},
                                 {0, 9, 233},     {0, 4, 120},   {3, 22, 517}, {6, 80, 1912}, {4, 35, 830}};
    const QString today = counters.todayKey();
    for (std::size_t i = 0; i < StatsMetrics.size(); ++i) {
        const QString metric = QString::fromLatin1(StatsMetrics[i].metric);
        store.setValue(QStringLiteral("day.") + today + QLatin1Char('.') + metric, numbers[i][0]);
        store.setValue(QStringLiteral("period.") + metric, numbers[i][1]);
        store.setValue(QStringLiteral("all.") + metric, numbers[i][2]);
    }
    store.setValue(QStringLiteral("stats.periodSince"),
                   clock.nowSeconds() - (9 * 86400 + 4 * 3600 + 11 * 60 + 9));
    store.setValue(QStringLiteral("stats.allSince"),
                   clock.nowSeconds() - (214 * 86400 + 7 * 3600 + 2 * 60 + 41));
    store.setValue(QStringLiteral("stats.auto"), 2);
}

bool save(QWidget* window, const QString& path)
{
    window->show();
    // Lay out now: a tab switched while hidden leaves the size of the tab shown before.
    QApplication::processEvents();
    window->layout()->activate();
    window->adjustSize();
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

using PathOf = std::function<QString(const char*)>;

// Each tab, the conflict note, and the banner and notes of a session without keyboard access.
bool renderSettings(AppWindows& windows, FakePermissions& permissions, const PathOf& path)
{
    bool ok = true;
    SettingsWindow& settingsWindow = windows.settingsWindow();
    settingsWindow.load();
    auto* tabs = settingsWindow.findChild<QTabWidget*>(QStringLiteral("tabs"));
    const char* tabNames[] = {"settings-switcher", "settings-extras", "settings-general"};
    for (int tab = 0; tab < 3; ++tab) {
        tabs->setCurrentIndex(tab);
        ok &= save(&settingsWindow, path(tabNames[tab]));
    }
    // Shortcut 3 as Alt + Tab: the main shortcut's, so the note explains why it stays off.
    tabs->setCurrentIndex(1);
    settingsWindow.findChild<QComboBox*>(QStringLiteral("slot3.mod"))->setCurrentIndex(0);
    settingsWindow.findChild<QCheckBox*>(QStringLiteral("slot3.on"))->click();
    ok &= save(&settingsWindow, path("settings-conflict"));
    // No display for the keyboard, no window capture: the banner and the notes.
    permissions.trusted = permissions.capture = false;
    settingsWindow.load();
    tabs->setCurrentIndex(2);
    ok &= save(&settingsWindow, path("settings-general-problem"));
    tabs->setCurrentIndex(1);
    ok &= save(&settingsWindow, path("settings-extras-problem"));
    permissions.trusted = permissions.capture = true;
    settingsWindow.hide();
    return ok;
}

// One appearance, from fresh windows and a fresh store.
bool renderLook(int appearance, const QString& out, const QString& suffix)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("com.zumo.app.json")));
    Settings settings(store);
    ActiveSlots slots;
    FakeClock clock(QDateTime(QDate(2026, 3, 5), QTime(14, 3, 7), Qt::UTC));
    FakeDispatcher dispatcher(&clock);
    Counters counters(store, clock);
    fillCounters(store, counters, clock);
    FakeWorkspace workspace;
    workspace.add(101, QStringLiteral("org.mozilla.firefox"), QStringLiteral("Firefox")).icon =
        appIcon(QColor(0xe6, 0x6a, 0x1f), QLatin1Char('F'));
    workspace.add(102, QStringLiteral("org.gnome.Terminal"), QStringLiteral("Terminal")).icon =
        appIcon(QColor(0x33, 0x33, 0x3a), QLatin1Char('T'));
    workspace.add(103, QStringLiteral("thunderbird"), QStringLiteral("Thunderbird")).icon =
        appIcon(QColor(0x2a, 0x6f, 0xd6), QLatin1Char('M'));
    workspace.add(104, QStringLiteral("org.keepassxc.KeePassXC"), QStringLiteral("KeePassXC")).icon =
        appIcon(QColor(0x4c, 0xa3, 0x4f), QLatin1Char('K'));
    FakeAppCatalog catalog;
    catalog.apps = {{QStringLiteral("slack"), QStringLiteral("Slack"), {}},
                    {QStringLiteral("org.gnome.Calculator"), QStringLiteral("Calculator"), {}}};
    store.setValue(QStringLiteral("appModes"), QJsonObject{{"slack", "hide"},
                                                           {"org.gnome.Calculator", "hide"},
                                                           {"org.keepassxc.KeePassXC", "hide"}});
    FakePermissions permissions;
    ShownLoginItem login;
    AppWindows windows({store, settings, slots, counters, dispatcher, clock, workspace, catalog, permissions,
                        &login, [] { return true; }, [] { return std::vector<HookShortcut>{}; }, [] {},
                        [](QWidget*, const Question&) { return false; }, {}});

    const QString look = appearance ? QStringLiteral("dark") : QStringLiteral("light");
    const PathOf path = [&](const char* name) {
        return QStringLiteral("%1/%2-%3%4.png").arg(out, QLatin1String(name), look, suffix);
    };
    applyAppearance(appearance);
    bool ok = renderSettings(windows, permissions, path);
    windows.hiddenAppsWindow().rebuildRows();
    ok &= save(&windows.hiddenAppsWindow(), path("hidden-apps"));
    windows.hiddenAppsWindow().hide();
    windows.statisticsWindow().refresh();
    ok &= save(&windows.statisticsWindow(), path("statistics"));
    windows.statisticsWindow().hide();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/windows");
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "render_windows: cannot create %s\n", qPrintable(out));
        return 1;
    }
    bool ok = true;
    for (int appearance : {0, 1})
        ok &= renderLook(appearance, out, suffix);
    return ok ? 0 : 1;
}
