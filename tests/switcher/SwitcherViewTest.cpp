// The panel widget offscreen: settings read at use, pointer callbacks, mirrors, thumbnail
// scaling, and that painting any content is safe.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <limits>
#include <memory>

#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "switcher/SwitcherPanel.h"
#include "switcher/SwitcherView.h"

namespace zumo {
namespace {

QImage solid(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 80, 40));
    return image;
}

std::vector<Entry> entries(int count)
{
    std::vector<Entry> list(size_t(std::max(0, count)));
    for (int i = 0; i < count; ++i) {
        list[size_t(i)].id = EntryId(i + 1);
        list[size_t(i)].title = QStringLiteral("Window %1").arg(i);
        list[size_t(i)].app.name = QStringLiteral("App");
        list[size_t(i)].icon = solid(64, 64);
    }
    return list;
}

class SwitcherViewTest : public ::testing::Test {
protected:
    SwitcherViewTest()
        : store(std::make_unique<SettingsStore>(dir.filePath("settings.json"))), settings(*store),
          view(settings)
    {
        view.setEntries(entries(10));
        view.resize(view.preferredSize());
        view.onHover = [this](int i) { hovered.push_back(i); };
        view.onPick = [this](int i) { picked.push_back(i); };
        view.onScroll = [this](int step) { scrolled.push_back(step); };
    }

    void move(QPointF point)
    {
        QMouseEvent event(QEvent::MouseMove, point, view.mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    void press(QPointF point, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent event(QEvent::MouseButtonPress, point, view.mapToGlobal(point), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
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
    std::unique_ptr<SettingsStore> store;
    Settings settings;
    SwitcherView view;
    std::vector<int> hovered;
    std::vector<int> picked;
    std::vector<int> scrolled;
};

TEST_F(SwitcherViewTest, sizeFollowsTheTileSizeSettingAtTheMomentOfUse)
{
    view.setEntries(entries(3));
    EXPECT_EQ(view.preferredSize(), QSize(418, 152));
    store->setValue("tileSize", 0);
    EXPECT_EQ(view.preferredSize(), QSize(360, 134));  // 359.5 x 133.4, rounded up
    store->setValue("tileSize", "large");              // wrong type: the default
    EXPECT_EQ(view.preferredSize(), QSize(418, 152));
}

TEST_F(SwitcherViewTest, hoverNeedsARealMoveAfterThePointerWasReset)
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
}

TEST_F(SwitcherViewTest, wheelStepsAfterFourteenPointsAndResetStartsAgain)
{
    for (int i = 0; i < 10; ++i)
        wheel(QPoint(0, -1), QPoint(0, -8));  // touchpad pixels win over the angle
    EXPECT_TRUE(scrolled.empty());
    view.resetPointer();
    for (int i = 0; i < 10; ++i)
        wheel(QPoint(0, -1), QPoint(0, -8));
    EXPECT_TRUE(scrolled.empty());
    for (int i = 0; i < 5; ++i)
        wheel(QPoint(0, -1), QPoint(0, -8));
    EXPECT_EQ(scrolled, std::vector<int>{1});
    wheel(QPoint(), QPoint(0, 120));  // one notch away from the user: back one tile
    EXPECT_EQ(scrolled, (std::vector<int>{1, -1}));
}

TEST_F(SwitcherViewTest, leftClickPicksTheTileUnlessTheMouseSettingIsOff)
{
    store->setValue("mouse", false);
    view.resetPointer();
    move(centre(1));
    move(centre(6));
    press(centre(6));
    wheel(QPoint(), QPoint(0, -480));
    EXPECT_TRUE(hovered.empty());
    EXPECT_TRUE(picked.empty());
    EXPECT_TRUE(scrolled.empty());

    store->setValue("mouse", true);
    press(centre(6));
    press(centre(4), Qt::RightButton);
    press(QPointF(3, 3)); // the margin
    EXPECT_EQ(picked, std::vector<int>{6});
}

TEST_F(SwitcherViewTest, redrawCopiesTheContentToEveryMirror)
{
    SwitcherView left(settings);
    SwitcherView right(settings);
    view.setMirrors({&left, nullptr, &view, &right});
    view.setSelected(4);
    view.setQuery(QStringLiteral("win"));
    view.setHint(QStringLiteral("hint"));
    view.setPreviewMode(true);
    view.redraw();
    for (const SwitcherView* mirror : {&left, &right}) {
        ASSERT_EQ(mirror->entries().size(), 10u);
        EXPECT_EQ(mirror->entries()[3].title, "Window 3");
        EXPECT_EQ(mirror->selected(), 4);
        EXPECT_EQ(mirror->query(), QStringLiteral("win"));
        EXPECT_EQ(mirror->hint(), QStringLiteral("hint"));
        EXPECT_TRUE(mirror->previewMode());
        EXPECT_TRUE(mirror->mirrors().empty());
    }
    view.setQuery(std::nullopt);
    view.setEntries({});
    view.redraw();
    EXPECT_FALSE(left.query().has_value());
    EXPECT_TRUE(right.entries().empty());
}

TEST_F(SwitcherViewTest, aRowLimitKeepsTheSelectionShownAndMirrorsShowTheSameRows)
{
    SwitcherView left(settings);
    view.setMirrors({&left});
    view.setEntries(entries(200));
    view.setMaxRows(3);
    view.setSelected(40);  // row 5
    view.resize(view.preferredSize());
    EXPECT_EQ(view.preferredSize(), QSize(8 * 130 + 28, 3 * 124 + 28));
    EXPECT_EQ(view.firstRow(), 3);
    EXPECT_TRUE(view.rect().contains(view.tileRect(40).toAlignedRect()));
    press(centre(40));
    EXPECT_EQ(picked, std::vector<int>{40});

    view.setSelected(30);  // row 3, still shown
    view.redraw();
    EXPECT_EQ(left.maxRows(), 3);
    EXPECT_EQ(left.firstRow(), 3);

    view.setMaxRows(0);
    EXPECT_EQ(view.firstRow(), 0);
    EXPECT_EQ(view.preferredSize().height(), 25 * 124 + 28);
}

TEST(ScaleToFit, shrinksKeepingTheShapeNeverEnlargesKeepsOnePixelAndRefusesEmptyInput)
{
    EXPECT_EQ(scaleToFit(solid(1600, 1000), 380, 200).size(), QSize(320, 200));
    EXPECT_EQ(scaleToFit(solid(1000, 100), 380, 200).size(), QSize(380, 38));
    EXPECT_EQ(scaleToFit(solid(100, 50), 380, 200).size(), QSize(100, 50));
    EXPECT_EQ(scaleToFit(solid(4000, 2), 380, 200).size(), QSize(380, 1));
    EXPECT_EQ(scaleToFit(solid(50, 50), 0, 0).size(), QSize(1, 1));
    EXPECT_TRUE(scaleToFit(QImage(), 380, 200).isNull());
    EXPECT_TRUE(scaleToFit(solid(0, 0), 380, 200).isNull());
    EXPECT_TRUE(scaleToFit(solid(10, 10), std::numeric_limits<double>::quiet_NaN(), 10).isNull());
}

// Rendering is checked by eye through the PNG tool; here only that no content can break it.
TEST_F(SwitcherViewTest, paintingAnyContentIsSafe)
{
    std::vector<Entry> odd = entries(12);
    odd[0].icon = QImage();
    odd[1].thumb = solid(3, 900);
    odd[1].minimized = true;
    odd[2].title = QString(5000, u'W') + "\nsecond line\ttab";
    odd[3].thumb = solid(1, 1);
    odd[4].otherSpace = true;
    odd[5].icon = solid(300, 20);
    QImage image(1200, 700, QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&] {
        image.fill(Qt::black);
        QPainter painter(&image);
        view.render(painter);
    };
    for (bool preview : {false, true}) {
        view.setPreviewMode(preview);
        view.setEntries(odd);
        view.setSelected(40);
        view.setQuery(QStringLiteral("🔍 ✓"));
        view.setHint(QString());
        paint();
        view.setEntries({});
        view.setQuery(QString());
        paint();
    }
    SUCCEED();
}

TEST_F(SwitcherViewTest, panelCentresOnTheScreenFrameWithoutTakingFocus)
{
    SwitcherPanel panel(settings);
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    panel.showCentered(QRect(1920, 100, 1280, 800), QSize(418, 152));
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.geometry(), QRect(1920 + 431, 100 + 324, 418, 152));
    EXPECT_EQ(panel.view()->geometry(), QRect(0, 0, 418, 152));
    panel.hidePanel();
    EXPECT_FALSE(panel.isVisible());
}

TEST_F(SwitcherViewTest, warmUpLeavesThePanelHiddenAndItsContentUntouched)
{
    SwitcherPanel panel(settings);
    panel.view()->setEntries(entries(2));
    panel.view()->setHint(QStringLiteral("keep"));
    panel.warmUp();
    for (int i = 0; i < 50 && panel.isVisible(); ++i)
        QApplication::processEvents();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(panel.view()->entries().size(), 2u);
    EXPECT_EQ(panel.view()->hint(), QStringLiteral("keep"));
    EXPECT_FALSE(panel.view()->query().has_value());
}

} // namespace
} // namespace zumo
