// Draws the switcher panel's content with QPainter, caching scaled images, fonts and text layouts
// so that a repaint allocates almost nothing. Main thread only.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPen>
#include <QPixmap>
#include <QRectF>
#include <QStaticText>
#include <QString>
#include <optional>
#include <vector>

#include "switcher/RunView.h"

class QPainter;
class QPaintDevice;

namespace zumo {

// The panel's look: light text on a dark panel, the same with or without a compositor.
namespace PanelStyle {
inline constexpr double CornerRadius = 20;
QColor label(double alpha = 0.9);
QColor secondaryLabel(double alpha = 0.55);
QColor background(bool translucent);
} // namespace PanelStyle

// For an application without an icon: its initial on a grey rounded tile, `pixels` square.
QImage letterTile(const QString& name, int pixels);
// Two tiles with an icon, every kind of glyph, a query and a hint: painted once, unseen, before
// the first run, it loads the fonts and glyphs and primes the image pipeline, which costs
// several milliseconds the first time.
RunView warmUpView();

// Everything one paint needs, borrowed for the duration of the call.
struct PanelContent {
    const RunView& view;
    int tileSize = 1;  // the "tileSize" setting, clamped by the layout
    bool showNumbers = true;
};

class PanelPainter {
public:
    // Paints content into painter in view coordinates (origin at the top left). Only the tiles
    // meeting exposed are drawn; a null exposed rectangle means everything. An entry without an
    // icon shows its application's initial on a tile; without a thumbnail, its icon. A selected
    // index out of range shows no selection.
    void paint(QPainter& painter, const PanelContent& content, const QRectF& exposed = {});
    // Drops every cached image and text layout (they refill on the next paint).
    void clear();

    enum class Role { search, empty, title, titleSelected, subtitle, badge, hint, count };
    enum class Align { left, centre };

private:
    struct TextKey {
        QString text;
        int width;  // in quarter points
        int role;
        bool operator==(const TextKey&) const = default;
    };
    struct ImageKey {
        qint64 cacheKey;
        int width;  // device pixels
        int height;
        int kind;   // 0 a plain image, 1 an image with rounded corners, 2+ a filled Shape
        int dpr;    // device pixel ratio in hundredths
        bool operator==(const ImageKey&) const = default;
    };
    // Rounded fills drawn on every tile. Painted once into pixmaps: rasterising anti-aliased
    // rounded rectangles per tile costs far more than copying, and Qt spreads large fills over
    // worker threads, which stalls a paint on a busy machine.
    enum class Shape { selection = 2, frame, badge, badgeBase, letter };
    struct TextLayout {
        QStaticText text;
        double width = 0;
    };
    friend size_t qHash(const TextKey& key, size_t seed) noexcept;
    friend size_t qHash(const ImageKey& key, size_t seed) noexcept;

    void prepareFonts(double scale, const QPaintDevice* device);
    void paintSearchLine(QPainter& p, const QString& query, double width);
    void paintTile(QPainter& p, const PanelContent& c, int index, const QRectF& r);
    double paintIconTile(QPainter& p, const Entry& e, const QRectF& r);
    double paintPreviewTile(QPainter& p, const Entry& e, const QRectF& r);
    void paintBadge(QPainter& p, const QString& digit, const QRectF& r);
    void drawText(QPainter& p, const QString& text, const QRectF& rect, Role role, Align align,
                  const QPen& pen);
    void drawImage(QPainter& p, const QImage& source, const QRectF& rect, double opacity, bool rounded);
    void drawIcon(QPainter& p, const Entry& e, const QRectF& rect, double opacity);
    void drawMagnifier(QPainter& p, const QRectF& box, const QColor& colour);
    const TextLayout& layout(const QString& text, double width, Role role);
    const QPixmap& image(const QImage& source, QSizeF size, bool rounded);
    void drawShape(QPainter& p, Shape shape, const QRectF& rect);
    const QPixmap& shapePixmap(Shape shape, QSizeF size);
    const QPixmap& letterPixmap(const QString& name, QSizeF size);
    const QPixmap& remember(const ImageKey& key, const QPixmap& pixmap);
    bool magnifierGlyphAvailable();

    QFont m_fonts[int(Role::count)];
    double m_scale = -1;
    int m_fontDpi = -1;
    double m_dpr = 1;
    // Built once: a QPen made from a colour allocates, and paints should not.
    QPen m_labelPen{PanelStyle::label()};
    QPen m_secondaryPen{PanelStyle::secondaryLabel()};
    std::optional<bool> m_hasMagnifier;
    QHash<TextKey, TextLayout> m_texts;
    QHash<ImageKey, QPixmap> m_images;
    qint64 m_imageBytes = 0;
};

} // namespace zumo
