// The installed-applications catalogue read from .desktop files, their parsing and the WM_CLASS
// lookup that names applications.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "desktop/x11/DesktopEntries.h"
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

TEST(DesktopEntryParsing, readsOnlyTheDesktopEntryGroupOfApplications)
{
    auto entry = parseDesktopEntry("# comment\n[Desktop Entry]\nType=Application\nName=Text Editor\n"
                                   "Name[de]=Texteditor\nStartupWMClass=gedit\n"
                                   "[Desktop Action new]\nName=New Window\nStartupWMClass=wrong\n",
                                   QStringLiteral("org.gnome.gedit"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, QStringLiteral("Text Editor"));
    EXPECT_EQ(entry->startupWmClass, QStringLiteral("gedit"));
    EXPECT_EQ(entry->id, QStringLiteral("org.gnome.gedit"));

    // Links, nameless and groupless files are no applications.
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Link\nName=Site\n", QStringLiteral("a")));
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Application\n", QStringLiteral("b")));
    EXPECT_FALSE(parseDesktopEntry("Name=Loose\n", QStringLiteral("c")));
    EXPECT_FALSE(parseDesktopEntry(QByteArray("\0\xff\xfe garbage", 12), QStringLiteral("d")));
}

TEST(DesktopIndexLookup, startupClassBeatsFileNameAndCaseIsIgnored)
{
    DesktopIndex index;
    index.add({QStringLiteral("firefox"), QStringLiteral("Firefox by id"), {}});
    index.add({QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR"), QStringLiteral("Firefox")});
    index.add({QStringLiteral("org.gnome.Calculator"), QStringLiteral("Calculator"), {}});

    EXPECT_EQ(index.lookup(QStringLiteral("firefox"), QStringLiteral("Navigator"))->id, QStringLiteral("firefox-esr"));
    EXPECT_EQ(index.lookup(QStringLiteral("Gnome-calculator"), QStringLiteral("calculator"))->name,
              QStringLiteral("Calculator"));
    EXPECT_FALSE(index.lookup(QStringLiteral("XTerm"), QStringLiteral("xterm")));
    EXPECT_FALSE(index.lookup({}, {}));
}

} // namespace
} // namespace zumo::x11
