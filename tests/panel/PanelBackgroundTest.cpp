// The panel background drawn from slices against the rounded panel drawn directly.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "panel/PanelBackground.h"
#include "panel/PanelPainter.h"

namespace zumo {
namespace {

QImage canvas(QSize size, int ratio)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

// How the panel looks: its fill, an antialiased rounded hairline and the opaque panel's square
// fill below (its window shape cuts the corners).
void drawRoundedPanel(QPainter& painter, const QRectF& rect, bool translucent)
{
    if (!translucent)
        painter.fillRect(rect, PanelStyle::background(false));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(PanelStyle::label(0.14), 1));
    painter.setBrush(PanelStyle::background(translucent));
    const double r = PanelStyle::CornerRadius;
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), r, r);
}

TEST(PanelBackground, slicedMatchesTheRoundedPanelAtEverySizeRatioAndLook)
{
    // Sizes change between paints, as panels do from run to run; the smallest has one straight
    // pixel between its corners.
    for (int ratio : {1, 2}) {
        for (bool translucent : {false, true}) {
            for (QSize size : {QSize(1068, 798), QSize(43, 43), QSize(300, 120)}) {
                const QRectF rect(QPointF(0, 0), size);
                QImage sliced = canvas(size + QSize(4, 6), ratio);
                QImage direct = sliced;
                {
                    QPainter painter(&sliced);
                    painter.translate(3, 5);
                    paintPanelBackground(painter, rect, translucent);
                }
                {
                    QPainter painter(&direct);
                    painter.translate(3, 5);
                    drawRoundedPanel(painter, rect, translucent);
                }
                EXPECT_EQ(sliced, direct) << "ratio " << ratio << (translucent ? " translucent " : " opaque ")
                                          << size.width() << "x" << size.height();
            }
        }
    }
}

} // namespace
} // namespace zumo
