// The panel background drawn from slices against the same drawn directly.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "panel/PanelBackground.h"

namespace zumo {
namespace {

TEST(PanelBackground, slicedMatchesTheRoundedPanelAtEverySizeRatioAndLook)
{
    // Sizes change between paints, as panels do from run to run; the smallest has one straight
    // pixel between its corners.
    for (int ratio : {1, 2}) {
        for (bool translucent : {false, true}) {
            for (QSize size : {QSize(1068, 798), QSize(43, 43), QSize(300, 120)}) {
                const QRectF rect(QPointF(0, 0), size);
                QImage sliced((size + QSize(4, 6)) * ratio, QImage::Format_ARGB32_Premultiplied);
                sliced.setDevicePixelRatio(ratio);
                sliced.fill(Qt::transparent);
                QImage direct = sliced;
                {
                    QPainter painter(&sliced);
                    painter.translate(3, 5);
                    paintPanelBackground(painter, rect, translucent);
                }
                {
                    QPainter painter(&direct);
                    painter.translate(3, 5);
                    paintPanelBackgroundDirectly(painter, rect, translucent);
                }
                EXPECT_EQ(sliced, direct) << "ratio " << ratio << (translucent ? " translucent " : " opaque ")
                                          << size.width() << "x" << size.height();
            }
        }
    }
}

} // namespace
} // namespace zumo
