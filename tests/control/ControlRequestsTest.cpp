#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakeWorkspace.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "control/ControlRequests.h"
#include "tests/switcher/SwitcherFakes.h"

using namespace zumo;

namespace {

class ControlRequestsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("s.json"))};
    Settings settings{store};
    FakeDispatcher dispatcher;
    FakeWorkspace workspace;
    test::FakeInventory inventory;  // lists nothing: these tests are about when requests are answered
    test::FakeActions actions;
    int syncs = 0;
    ControlRequests requests{
        ControlDeps{dispatcher, settings, workspace, inventory, actions, [this] { ++syncs; }, {}}};
};

} // namespace

TEST_F(ControlRequestsTest, nextIsRefusedWhereZumoWatchesItsShortcutItself)
{
    QByteArray reply;
    requests.handle({ControlVerb::next}, [&](const QByteArray& r) { reply = r; });
    dispatcher.runAll();
    EXPECT_TRUE(reply.startsWith("error on X11"));
}

TEST_F(ControlRequestsTest, syncAnswersOnlyAfterTheWorkQueuedBeforeIt)
{
    std::vector<QString> order;
    dispatcher.post([&] { order.push_back(QStringLiteral("earlier task")); });
    requests.handle({ControlVerb::sync}, [&](const QByteArray& reply) { order.push_back(QString::fromUtf8(reply)); });
    EXPECT_EQ(syncs, 1);
    EXPECT_TRUE(order.empty());
    dispatcher.runMain();
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("earlier task"), QStringLiteral("ok\n")}));
}

TEST_F(ControlRequestsTest, aListWhoseRequestsAreGoneIsDroppedQuietly)
{
    QByteArray reply;
    auto gone = std::make_unique<ControlRequests>(
        ControlDeps{dispatcher, settings, workspace, inventory, actions, {}, {}});
    gone->handle({ControlVerb::list}, [&](const QByteArray& r) { reply = r; });
    gone.reset();
    dispatcher.runAll();
    EXPECT_TRUE(reply.isEmpty());
}
