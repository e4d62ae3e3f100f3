// .desktop parsing and the WM_CLASS lookup that names applications (the folder scan is proven
// through X11AppCatalogTest).
#include <gtest/gtest.h>

#include "desktop/x11/DesktopEntries.h"

namespace zumo::x11 {
namespace {

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
