// Renders the shell's tray menu (running and paused), tray icons, consent and About windows and
// the toast to PNG files, in light and dark appearance, to look at without a desktop.
// Usage: render_shell [output directory, default build/shell]
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cstdio>

#include "tests/fakes/FakeDispatcher.h"
#include "settings/SettingsStore.h"
#include "windows/AboutWindow.h"
#include "windows/Appearance.h"
#include "windows/ConsentWindow.h"
#include "windows/Toast.h"
#include "shell/TrayIcon.h"
#include "windows/VendorPages.h"

using namespace zumo;

namespace {

constexpr int Margin = 24;

// The picture on a plain backdrop of the appearance's window colour, so it can be judged as seen.
QImage onBackdrop(const std::vector<QPixmap>& parts)
{
    int width = Margin, height = 0;
    for (const QPixmap& part : parts) {
        width += int(part.deviceIndependentSize().width()) + Margin;
        height = std::max(height, int(part.deviceIndependentSize().height()));
    }
    QImage image(width, height + 2 * Margin, QImage::Format_ARGB32_Premultiplied);
    image.fill(QApplication::palette().color(QPalette::Window).darker(115));
    QPainter p(&image);
    int x = Margin;
    for (const QPixmap& part : parts) {
        p.drawPixmap(x, Margin, part);
        x += int(part.deviceIndependentSize().width()) + Margin;
    }
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (!image.save(path)) {
        std::fprintf(stderr, "render_shell: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(QFileInfo(path).absoluteFilePath()));
    return true;
}

TrayState sampleState(bool paused)
{
    TrayState state;
    state.now = QDateTime(QDate(2026, 3, 5), QTime(22, 40), Qt::UTC);
    state.zone = QTimeZone("Europe/Berlin");
    state.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    state.hookRunning = true;
    state.allSwitches = 1204;
    state.todaySwitches = 37;
    state.menuCounter = true;
    if (paused)
        state.pauseUntil = pauseEnd(0, state.now, state.zone);
    return state;
}

QPixmap grabMenu(QMenu& menu)
{
    menu.ensurePolished();
    menu.adjustSize();
    return menu.grab();
}

bool renderTray(const QString& dir, const QString& suffix)
{
    bool ok = true;
    for (bool paused : {false, true}) {
        TrayIcon tray;
        const TrayState state = sampleState(paused);
        tray.drawMenu(trayMenu(state));
        std::vector<QPixmap> parts{grabMenu(tray.menu())};
        QMenu* pause = tray.menu().actions().at(4)->menu();
        if (pause)
            parts.push_back(grabMenu(*pause));
        ok &= save(onBackdrop(parts), dir + (paused ? "/tray-paused" : "/tray-enabled") + suffix);
    }
    std::vector<QPixmap> icons;
    for (const TrayLook& look : {TrayLook{}, TrayLook{.paused = true, .opacity = 0.45}, TrayLook{.opacity = 0.45},
                                 TrayLook{.counter = "37"}})
        icons.push_back(trayImage(look).pixmap(48));
    return ok & save(onBackdrop(icons), dir + "/tray-icons" + suffix);
}

bool renderWindows(const QString& dir, const QString& suffix, SettingsStore& store)
{
    FakeDispatcher dispatcher;
    ConsentWindow consent(store, privacyPage("pellwick.example"));
    AboutWindow about(QStringLiteral(ZUMO_VERSION), productPage("pellwick.example"), dispatcher);
    std::unique_ptr<QWidget> toast(makeToastPanel("Zumo updated to 2.4.1", true));
    bool ok = save(onBackdrop({consent.grab()}), dir + "/consent" + suffix);
    ok &= save(onBackdrop({about.grab()}), dir + "/about" + suffix);
    about.copyShare();
    ok &= save(onBackdrop({about.grab()}), dir + "/about-copied" + suffix);
    return ok & save(onBackdrop({toast->grab()}), dir + "/toast" + suffix);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/shell");
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "render_shell: cannot create the directory %s\n", qPrintable(dir));
        return 1;
    }
    QTemporaryDir scratch;
    SettingsStore store(scratch.filePath("settings.json"));
    bool ok = true;
    for (int appearance : {0, 1}) {
        applyAppearance(appearance);
        const QString suffix = appearance == 1 ? "-dark.png" : "-light.png";
        ok &= renderTray(dir, suffix);
        ok &= renderWindows(dir, suffix, store);
    }
    return ok ? 0 : 1;
}
