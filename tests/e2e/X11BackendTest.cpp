// The X11 backend against a real X server and window manager: model, actions and captures.
#include <QElapsedTimer>
#include <algorithm>
#include <gtest/gtest.h>

#include "desktop/x11/X11Accessibility.h"
#include "desktop/x11/X11Actions.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11WindowModel.h"
#include "desktop/x11/X11WindowServer.h"
#include "desktop/x11/X11Workspace.h"
#include "tests/e2e/E2eSupport.h"

namespace zumo::e2e {
namespace {

using namespace zumo::x11;

class X11Backend : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZUMO_REQUIRE_SESSION();
        QString error;
        x = X11Connection::open(error);
        ASSERT_TRUE(x) << error.toStdString();
        ASSERT_TRUE(helper.emplace().ok());
        model = std::make_unique<X11WindowModel>(*x);
        actions = std::make_unique<X11Actions>(*model);
        workspace = std::make_unique<X11Workspace>(*model, *actions);
        accessibility = std::make_unique<X11Accessibility>(*model, *actions);
        server = std::make_unique<X11WindowServer>(*model, x->displayName());
    }

    void open(const QStringList& titles)
    {
        ASSERT_TRUE(client.start(titles)) << client.error().toStdString();
        for (const auto& w : client.windows())
            helper->watch(w.id);
        ASSERT_TRUE(waitUntil([&] { return model->snapshot()->windowsOf(pid()).size() == size_t(titles.size()); }));
    }

    Pid pid() const { return Pid(client.pid()); }

    std::unique_ptr<X11Connection> x;
    std::optional<XHelper> helper;
    std::unique_ptr<X11WindowModel> model;
    std::unique_ptr<X11Actions> actions;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<X11Accessibility> accessibility;
    std::unique_ptr<X11WindowServer> server;
    TestClient client;
};

// Retitled and closed windows are RobustE2e's odd titles and SwitcherE2e's close command, and the
// reused-id case below; titles, window kinds and applications are what SwitcherE2e's --list rows
// show. Here, what zumo's runs do not show.
TEST_F(X11Backend, capturesHidesUnhidesAndOneSwitchSendsOneActivation)
{
    ASSERT_NO_FATAL_FAILURE(open({QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    // Raising and focusing a window in one switch sends one activation request (first, while no
    // focus change of the window manager's own is still to come).
    const xcb_atom_t activeAtom = helper->atom("_NET_ACTIVE_WINDOW"), marker = helper->atom("ZUMO_TEST_MARKER");
    std::vector<xcb_window_t> requests;
    int markers = 0;
    // Client messages sent to the root reach the helper too, through its SubstructureNotify selection.
    helper->onEvent = [&](const xcb_generic_event_t& event) {
        auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if ((event.response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return;
        markers += message.type == marker;
        if (message.type == activeAtom)
            requests.push_back(message.window);
    };
    // Once a marker sent now is back, every message sent before it has been seen.
    auto settle = [&] {
        int wanted = markers + 1;
        helper->rootMessage(helper->root(), "ZUMO_TEST_MARKER", {});
        return waitUntil([&] { return markers >= wanted; });
    };
    ASSERT_TRUE(helper->activate(client.window(1)));
    ASSERT_TRUE(settle());
    requests.clear();

    accessibility->setFrontmost(pid(), 0.5);
    accessibility->perform(client.window(0), QStringLiteral("AXRaise"));
    accessibility->setBoolean(client.window(0), QStringLiteral("AXMain"), true);
    accessibility->setBoolean(client.window(0), QStringLiteral("AXFocused"), true);
    ASSERT_TRUE(waitUntil([&] { return helper->activeWindow() == client.window(0); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(requests, std::vector<xcb_window_t>{client.window(0)});
    helper->onEvent = nullptr;

    // A capture is the window's contents; the server paints the background once the frame is
    // shown, which may trail the focus change.
    ASSERT_TRUE(helper->activate(client.window(0)));
    QImage image;
    EXPECT_TRUE(waitUntil([&] {
        image = server->capture(client.window(0));
        return !image.isNull() && (image.pixel(200, 150) & 0xFFFFFF) == 0x3366ccu;  // the client's first colour
    }));
    EXPECT_EQ(image.size(), QSize(400, 300));
    EXPECT_TRUE(server->capture(0x7FFFFFF0).isNull());

    // Hiding the application minimises all its windows, and unhiding brings them back.
    const auto hidden = [&] {
        for (const RunningApp& app : workspace->runningApplications())
            if (app.pid == pid())
                return app.hidden;
        return false;
    };
    workspace->hide(pid());
    ASSERT_TRUE(waitUntil(hidden));
    workspace->unhide(pid());
    EXPECT_TRUE(waitUntil([&] {
        return !helper->hasState(client.window(0), "_NET_WM_STATE_HIDDEN") &&
               !helper->hasState(client.window(1), "_NET_WM_STATE_HIDDEN");
    }));
    EXPECT_TRUE(waitUntil([&] { return !hidden(); }));
}

// A model made on a busy desktop reads its windows in batches: each must get its own replies.
TEST_F(X11Backend, aModelMadeAmongManyWindowsReadsEachOneRight)
{
    QStringList titles;
    for (int i = 0; i < 150; ++i)
        titles << QStringLiteral("Window %1").arg(i);
    ASSERT_NO_FATAL_FAILURE(open(titles));
    X11WindowModel fresh(*x);
    const auto snapshot = fresh.snapshot();
    for (int i = 0; i < titles.size(); ++i) {
        const X11Window* w = snapshot->find(client.window(i));
        ASSERT_TRUE(w) << i;
        EXPECT_EQ(w->title, titles[i]);
        EXPECT_EQ(w->pid, pid());
        EXPECT_EQ(w->client.size(), QSize(400, 300)) << i;
    }
}

// Windows without a pid are grouped by class and share one icon image; a window id reused by the
// next client is read afresh.
TEST_F(X11Backend, windowsWithoutPidAreGroupedAndAnIdReusedByTheNextClientIsReadAfresh)
{
    TestClient first, second;
    ASSERT_TRUE(first.start({QStringLiteral("Anon 1")}, QStringLiteral("NoPidApp"), false)) << first.error().toStdString();
    ASSERT_TRUE(second.start({QStringLiteral("Anon 2")}, QStringLiteral("NoPidApp"), false));
    std::optional<RunningApp> app;
    ASSERT_TRUE(waitUntil([&] {
        for (const RunningApp& a : workspace->runningApplications())
            if (a.bundleId == QStringLiteral("NoPidApp"))
                app = a;
        return app && accessibility->windows(app->pid, 0.25).value_or(std::vector<ElementRef>{}).size() == 2;
    }));
    EXPECT_LT(app->pid, 0);  // a stand-in, never a real process id
    EXPECT_EQ(app->icon.size(), QSize(32, 32));
    EXPECT_EQ(model->snapshot()->windowsOf(app->pid).back()->icon.cacheKey(), app->icon.cacheKey());
    EXPECT_TRUE(app->regular);

    ASSERT_NO_FATAL_FAILURE(open({QStringLiteral("Old")}));
    const xcb_window_t oldId = client.window(0);
    client.kill();
    // The next client is started with blocking waits only, so the model sees the old window's
    // end and the new window's arrival in one burst, as it does on a busy desktop.
    QProcess next;
    next.start(siblingProgram("ZUMO_TESTCLIENT", "zumo-testclient"), {QStringLiteral("New")});
    ASSERT_TRUE(next.waitForReadyRead(DefaultDeadlineMs));
    const xcb_window_t newId = QString::fromUtf8(next.readLine()).section(' ', 0, 0).toUInt();
    QElapsedTimer managed;
    managed.start();
    while (managed.elapsed() < DefaultDeadlineMs && !std::ranges::count(helper->clientList(), newId))
        helper->flush();  // each clientList() is a round trip: this waits on the server, not a clock
    if (newId != oldId)
        GTEST_LOG_(INFO) << "the server did not reuse the id this time";
    EXPECT_TRUE(waitUntil([&] {
        auto s = model->snapshot();
        const X11Window* w = s->find(newId);
        return w && w->pid == Pid(next.processId()) && w->title == QStringLiteral("New");
    }));
    next.kill();
    next.waitForFinished();
}

} // namespace
} // namespace zumo::e2e
