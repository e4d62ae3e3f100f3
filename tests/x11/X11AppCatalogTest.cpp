// The installed-applications catalogue read from .desktop files.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "desktop/x11/X11AppCatalog.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

namespace zumo::x11 {
namespace {

using test::writeAll;

TEST(X11AppCatalog, offersMenuAppsUnderTheWorkspaceIdsAndFindsHiddenOnesByIdOnly)
{
    QTemporaryDir home, system;
    writeAll(home.filePath("applications/org.gnome.Calculator.desktop"),
               "[Desktop Entry]\nType=Application\nName=Calculator\nIcon=accessories-calculator\n");
    writeAll(system.filePath("applications/kde/konsole.desktop"),
               "[Desktop Entry]\nType=Application\nName=Konsole\nIcon=/opt/konsole.png\n");
    writeAll(system.filePath("applications/helper.desktop"),
               "[Desktop Entry]\nType=Application\nName=Helper\nNoDisplay=true\n");
    writeAll(system.filePath("applications/org.gnome.Calculator.desktop"),
               "[Desktop Entry]\nType=Application\nName=Older Calculator\n");

    X11AppCatalog catalog({home.path(), system.path()});
    std::vector<InstalledApp> apps = catalog.installedApps();
    std::sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    EXPECT_EQ(apps,
              (std::vector<InstalledApp>{{"kde-konsole", "Konsole", "/opt/konsole.png"},
                                         {"org.gnome.Calculator", "Calculator", "accessories-calculator"}}));
    EXPECT_EQ(catalog.find(QStringLiteral("helper"))->name, QStringLiteral("Helper"));
    EXPECT_FALSE(catalog.find(QStringLiteral("calculator")));
}

TEST(X11AppCatalog, offersAnAppInstalledWhileRunning)
{
    QTemporaryDir home, fresh;
    writeAll(home.filePath("applications/org.gnome.Calculator.desktop"),
               "[Desktop Entry]\nType=Application\nName=Calculator\n");
    X11AppCatalog catalog({home.path(), fresh.path()});
    ASSERT_EQ(catalog.installedApps().size(), 1u);
    // One into an existing folder, one into a data folder that had no applications folder yet.
    writeAll(home.filePath("applications/org.gnome.Maps.desktop"), "[Desktop Entry]\nType=Application\nName=Maps\n");
    auto offered = [&](std::size_t count) {
        return test::eventsUntil([&] { return catalog.installedApps().size() == count; });
    };
    EXPECT_TRUE(offered(2));
    writeAll(fresh.filePath("applications/org.gnome.Weather.desktop"),
               "[Desktop Entry]\nType=Application\nName=Weather\n");
    EXPECT_TRUE(offered(3));
}

} // namespace
} // namespace zumo::x11
