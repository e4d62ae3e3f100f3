#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "inventory/WindowInventory.h"
#include "platform/fake/FakeDispatcher.h"
#include "platform/fake/FakeWorkspace.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "shell/ControlRequests.h"

using namespace zumo;

namespace {

Entry windowEntry(Pid pid, QString name, QString title, std::optional<std::uint32_t> window)
{
    Entry entry;
    entry.app.pid = pid;
    entry.app.name = std::move(name);
    entry.app.bundleId = QStringLiteral("org.example.") + QString::number(pid);
    entry.title = std::move(title);
    entry.windowID = window;
    return entry;
}

// Hands out fixed rows and records what was asked of it.
struct Desk final : WindowInventory, WindowActions {
    std::vector<Entry> rows;
    std::vector<Pid> used;
    std::optional<BuildOptions> builtWith;
    std::vector<std::uint32_t> activated;

    void noteAppUsed(Pid pid) override { used.push_back(pid); }
    std::vector<RunningApp> switchableApps() override { return {}; }
    std::vector<Entry> buildEntries(const std::vector<RunningApp>&, const BuildOptions& options) override
    {
        builtWith = options;
        return rows;
    }
    void activateEntry(const Entry& entry) override { activated.push_back(entry.windowID.value_or(0)); }
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
    ControlRequests requests{ControlDeps{dispatcher, settings, workspace, desk, desk, [this] { ++syncs; },
                                        [](std::uint32_t window) -> std::optional<std::uint32_t> {
                                            return window == 0x20 ? std::optional<std::uint32_t>(1) : std::nullopt;
                                        }}};
};

} // namespace

TEST_F(ControlRequestsTest, activateBringsTheListedWindowAndRefusesOneNotListed)
{
    desk.rows = {windowEntry(7, QStringLiteral("Mail"), QStringLiteral("Inbox"), 0x10)};
    EXPECT_EQ(ask({ControlVerb::activate, 0x10}), "ok\n");
    EXPECT_EQ(desk.activated, std::vector<std::uint32_t>{0x10});
    EXPECT_EQ(ask({ControlVerb::activate, 0x99}), "error window 0x99 is not among the switcher's windows\n");
    EXPECT_EQ(desk.activated.size(), 1u);
}

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
