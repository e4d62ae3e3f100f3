#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "inventory/WindowInventory.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakeWorkspace.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "control/ControlRequests.h"

using namespace zumo;

namespace {

// Lists nothing and carries out nothing: these tests are about when requests are answered.
struct Desk final : WindowInventory, WindowActions {
    void noteAppUsed(Pid) override {}
    std::vector<RunningApp> switchableApps() override { return {}; }
    std::vector<Entry> buildEntries(const std::vector<RunningApp>&, const BuildOptions&) override { return {}; }
    void activateEntry(const Entry&) override {}
    void closeWindow(ElementRef) override {}
    void minimizeWindow(ElementRef) override {}
    void hideApp(const Entry&) override {}
    void quitApp(const Entry&) override {}
    void snapWindow(ElementRef, SnapTo) override {}
    QImage captureWindow(std::uint32_t) override { return {}; }
};

class ControlRequestsTest : public ::testing::Test {
protected:
    // Runs one request to its answer; the list is built on the "worker" like a switch's.
    QByteArray ask(const ControlRequest& request)
    {
        QByteArray reply;
        requests.handle(request, [&](const QByteArray& r) { reply = r; });
        dispatcher.runAll();
        return reply;
    }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("s.json"))};
    Settings settings{store};
    FakeDispatcher dispatcher;
    FakeWorkspace workspace;
    Desk desk;
    int syncs = 0;
    ControlRequests requests{
        ControlDeps{dispatcher, settings, workspace, desk, desk, [this] { ++syncs; }, {}}};
};

} // namespace

TEST_F(ControlRequestsTest, nextIsRefusedWhereZumoWatchesItsShortcutItself)
{
    EXPECT_TRUE(ask({ControlVerb::next}).startsWith("error on X11"));
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
        ControlDeps{dispatcher, settings, workspace, desk, desk, {}, {}});
    gone->handle({ControlVerb::list}, [&](const QByteArray& r) { reply = r; });
    gone.reset();
    dispatcher.runAll();
    EXPECT_TRUE(reply.isEmpty());
}
