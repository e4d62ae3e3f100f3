#include <gtest/gtest.h>

#include "desktop/atspi/AtspiElements.h"

namespace zumo::atspi {
namespace {

const ObjectRef Tab{QStringLiteral(":1.7"), QStringLiteral("/org/a11y/atspi/accessible/12")};
const ObjectRef Other{QStringLiteral(":1.7"), QStringLiteral("/org/a11y/atspi/accessible/13")};

// An object keeps its handle, which is never a window id; handles not given out, or from before
// the table started afresh, resolve to nothing rather than to another object.
TEST(AtspiElements, handlesAreStableNeverWindowIdsAndNeverNameAnotherObject)
{
    AtspiElements elements(2);
    ElementRef tab = elements.intern(Tab);
    EXPECT_EQ(elements.intern(Tab), tab);
    EXPECT_TRUE(isPartElement(tab));
    EXPECT_GT(tab, ElementRef(0xFFFFFFFFu));
    EXPECT_EQ(elements.resolve(tab), Tab);
    EXPECT_FALSE(elements.resolve(0x1234u));  // a window id
    EXPECT_FALSE(elements.resolve(tab + 5));
    EXPECT_NE(elements.intern(Other), tab);
    // The third object starts the table afresh: the old handle must not name the new object.
    ElementRef third = elements.intern({QStringLiteral(":1.9"), QStringLiteral("/x")});
    EXPECT_FALSE(elements.resolve(tab));
    EXPECT_EQ(elements.resolve(third)->service, QStringLiteral(":1.9"));
    EXPECT_NE(elements.intern(Tab), tab);
}

} // namespace
} // namespace zumo::atspi
