// The panel widgets offscreen: settings read at use, pointer input told as tile indices, the
// main panel and its mirrors, and the warm-up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include "panel/SwitcherPanel.h"
#include "panel/SwitcherPanels.h"
#include "panel/SwitcherView.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

RunView content(int count)
{
    QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(QColor(200, 80, 40));
    RunView view;
    view.entries.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        Entry& e = view.entries[std::size_t(i)];
        e.id = EntryId(i + 1);
        e.title = QStringLiteral("Window %1").arg(i);
        e.app.name = QStringLiteral("App");
        e.icon = icon;
    }
    return view;
}

class SwitcherViewTest : public ::testing::Test {
protected:
    SwitcherViewTest() : store(dir.filePath("settings.json")), settings(store), view(settings)
    {
        view.draw(content(10));
        view.resize(view.preferredSize());
        subscriptions.push_back(view.hovered.subscribe([this](int i) { hovered.push_back(i); }));
        subscriptions.push_back(view.picked.subscribe([this](int i) { picked.push_back(i); }));
        subscriptions.push_back(view.scrolled.subscribe([this](int step) { scrolled.push_back(step); }));
    }

    // Pointer events to this test's view, or to another one (a mirror's).
    void move(QPointF point, SwitcherView* to = nullptr)
    {
        to = to ? to : &view;
        QMouseEvent event(QEvent::MouseMove, point, to->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(to, &event);
    }
    void press(QPointF point, Qt::MouseButton button = Qt::LeftButton, SwitcherView* to = nullptr)
    {
        to = to ? to : &view;
        QMouseEvent event(QEvent::MouseButtonPress, point, to->mapToGlobal(point), button, button, Qt::NoModifier);
        QApplication::sendEvent(to, &event);
    }
    void wheel(QPoint pixelDelta, QPoint angleDelta)
    {
        const QPointF at(20, 20);
        QWheelEvent event(at, view.mapToGlobal(at), pixelDelta, angleDelta, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    }
    QPointF centre(int index) const { return view.tileRect(index).center(); }

    QTemporaryDir dir;
    SettingsStore store;
    Settings settings;
    SwitcherView view;
    std::vector<Subscription> subscriptions;
    std::vector<int> hovered;
    std::vector<int> picked;
    std::vector<int> scrolled;
};

TEST_F(SwitcherViewTest, hoverNeedsARealMoveAndTheWheelFourteenPointsAfterThePointerWasReset)
{
    view.resetPointer();
    move(centre(2));
    EXPECT_TRUE(hovered.empty());  // a pointer resting over the panel keeps the preselection
    move(centre(2) + QPointF(2, 0));
    EXPECT_TRUE(hovered.empty());
    move(centre(3));
    move(QPointF(2, 2));  // the margin: no tile
    EXPECT_EQ(hovered, std::vector<int>{3});

    view.resetPointer();
    move(centre(5));
    EXPECT_EQ(hovered, std::vector<int>{3});

    // The wheel steps after fourteen points, counted afresh from a reset.
    for (int i = 0; i < 10; ++i)
        wheel(QPoint(0, -1), QPoint(0, -8));  // touchpad pixels win over the angle
    view.resetPointer();
    for (int i = 0; i < 14; ++i)
        wheel(QPoint(0, -1), QPoint(0, -8));
    EXPECT_TRUE(scrolled.empty());
    wheel(QPoint(0, -1), QPoint(0, -8));
    EXPECT_EQ(scrolled, std::vector<int>{1});
    wheel(QPoint(), QPoint(0, 120));  // one notch away from the user: back one tile
    EXPECT_EQ(scrolled, (std::vector<int>{1, -1}));
}

TEST_F(SwitcherViewTest, leftClickPicksTheTileUnlessTheMouseSettingIsOff)
{
    store.setValue("mouse", false);
    view.resetPointer();
    move(centre(1));
    move(centre(6));
    press(centre(6));
    wheel(QPoint(), QPoint(0, -480));
    EXPECT_TRUE(hovered.empty());
    EXPECT_TRUE(picked.empty());
    EXPECT_TRUE(scrolled.empty());

    store.setValue("mouse", true);
    press(centre(6));
    press(centre(4), Qt::RightButton);
    press(QPointF(3, 3));  // the margin
    EXPECT_EQ(picked, std::vector<int>{6});
}

class SwitcherPanelsTest : public SwitcherViewTest {
protected:
    SwitcherPanels panels{settings};
};

// The corners are cut on the native window only: a widget mask would clip all its painting too.
TEST_F(SwitcherPanelsTest, anOpaquePanelsWindowIsCutAtTheCornersAndItsPaintingIsNot)
{
    SwitcherPanel& panel = panels.main();
    const auto cut = [&] {
        const QRegion shape = panel.windowHandle() ? panel.windowHandle()->mask() : QRegion();
        return !shape.contains(QPoint(0, 0)) && shape.contains(panel.rect().center()) &&
               shape.contains(QPoint(panel.width() / 2, 0));
    };
    panels.show(content(3), {QRect(0, 0, 1280, 800)});
    EXPECT_TRUE(cut());
    EXPECT_TRUE(panel.mask().isEmpty());
    panels.show(content(12), {QRect(0, 0, 1280, 800)});  // a larger panel is cut anew
    EXPECT_TRUE(cut());
    panels.hide();

    panels.setTranslucent(true);
    panels.show(content(3), {QRect(0, 0, 1280, 800)});
    EXPECT_TRUE(panel.windowHandle()->mask().isEmpty());
    panels.hide();
    panels.setTranslucent(false);  // each change makes the window afresh
    panels.show(content(3), {QRect(0, 0, 1280, 800)});
    EXPECT_TRUE(cut());
    panels.hide();
}

// Taking the pointer back a moment later is seen on a real X server (the switcher's end-to-end
// tests); here, that every panel's show starts with the pointer let through, asked once.
TEST_F(SwitcherPanelsTest, everyPanelShowsLettingThePointerThrough)
{
    std::vector<std::pair<WId, bool>> passes;
    panels.setNativeControls({nullptr, [&](WId window, bool on) { passes.emplace_back(window, on); }, nullptr});
    const std::vector<QRect> two{QRect(0, 0, 1280, 800), QRect(1280, 0, 1280, 800)};
    panels.show(content(3), two);
    const std::vector<std::pair<WId, bool>> first{{panels.main().winId(), true}, {panels.mirror(0).winId(), true}};
    EXPECT_EQ(passes, first);
    panels.hide();
    panels.show(content(3), two);  // still passing it through since the last show
    EXPECT_EQ(passes, first);
    panels.hide();
}

TEST_F(SwitcherPanelsTest, mirrorsDrawTheSameContentAndTellTheirPointerInputAsOne)
{
    std::vector<int> picks;
    const Subscription subscription = panels.picked.subscribe([&](int i) { picks.push_back(i); });
    const std::vector<QRect> three{QRect(1440, 0, 1920, 1080), QRect(0, 0, 1440, 900), QRect(3360, 0, 1280, 1024)};
    panels.setTranslucent(true);
    RunView shown = content(4);
    shown.selected = 2;
    panels.show(shown, three);
    ASSERT_EQ(panels.mirrorCount(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        SwitcherPanel& mirror = panels.mirror(i);
        EXPECT_TRUE(mirror.isVisible() && mirror.translucent() && three[i + 1].contains(mirror.geometry()));
        EXPECT_EQ(mirror.view()->content().selected, 2);
    }
    shown.selected = 3;
    panels.moveSelection(shown);
    panels.show(shown, {three[0], three[1]});
    EXPECT_FALSE(panels.mirror(1).isVisible());
    shown.selected = 0;
    panels.moveSelection(shown);
    EXPECT_EQ(panels.mirror(1).view()->content().selected, 3);  // a hidden mirror is left alone

    SwitcherView* mirrorView = panels.mirror(0).view();
    press(mirrorView->tileRect(1).center(), Qt::LeftButton, mirrorView);
    EXPECT_EQ(picks, std::vector<int>{1});

    // A new run: the pointer resting over a mirror does not move the selection.
    move(mirrorView->tileRect(0).center(), mirrorView);
    std::vector<int> hovers;
    const Subscription hovering = panels.hovered.subscribe([&](int i) { hovers.push_back(i); });
    panels.resetPointer();
    move(mirrorView->tileRect(2).center(), mirrorView);
    EXPECT_TRUE(hovers.empty());
    panels.hide();
    EXPECT_FALSE(panels.mirror(0).isVisible());
}

TEST_F(SwitcherPanelsTest, warmUpSizesTheHiddenPanelForTheRunItWasGivenAndDrawsItWholeOnlyMeanwhile)
{
    std::vector<std::pair<WId, bool>> offscreen;
    panels.setNativeControls({[&](WId window, bool on) { offscreen.emplace_back(window, on); }, nullptr, nullptr});
    const RunView run = content(40);
    panels.warmUp(run);
    for (int i = 0; i < 50 && panels.main().isVisible(); ++i)
        QApplication::processEvents();
    EXPECT_FALSE(panels.main().isVisible());
    EXPECT_TRUE(panels.main().view()->content().entries.empty());  // let go once drawn
    const WId window = panels.main().winId();
    EXPECT_EQ(offscreen, (std::vector<std::pair<WId, bool>>{{window, true}, {window, false}}));
    const QSize warmed = panels.main().size();
    panels.show(run, {QRect(0, 0, 1920, 1080)});
    EXPECT_EQ(panels.main().size(), warmed);  // the first show reuses what the warm-up made
    panels.hide();
    EXPECT_EQ(offscreen.size(), 2u);  // real shows are drawn as always

    // A run shown while the warm-up waits for its frame is drawn on the screen.
    offscreen.clear();
    panels.main().setTranslucent(true);  // a window made afresh
    QTimer::singleShot(0, [&] { panels.show(run, {QRect(0, 0, 1920, 1080)}); });
    panels.warmUp(run);
    EXPECT_TRUE(panels.main().isVisible());
    ASSERT_EQ(offscreen.size(), 2u);
    EXPECT_FALSE(offscreen.back().second);
    panels.hide();
}

} // namespace
} // namespace zumo
