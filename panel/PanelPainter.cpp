// Draws the switcher panel's content: search line, empty state, tiles, badges and hint line.
#include "panel/PanelPainter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "panel/PanelLayout.h"
#include "panel/PanelRules.h"

namespace zumo {

namespace {

// The caches are cleared when they grow past these sizes: a run shows at most a few hundred
// tiles, so this only bounds memory over a long session in which every run brings new captures.
constexpr int MaxTexts = 2048;
constexpr qint64 MaxImageBytes = 64 * 1024 * 1024;  // 200 previews at twice the density fit

constexpr double LabelRgb = 255;
constexpr double SecondaryRgb[3] = {235, 235, 245};

QColor rgba(double r, double g, double b, double alpha)
{
    QColor c;
    c.setRgbF(float(r / 255), float(g / 255), float(b / 255), float(std::clamp(alpha, 0.0, 1.0)));
    return c;
}

// Window titles may carry line breaks or tabs; a tile shows one line.
QString singleLine(const QString& text)
{
    if (!text.contains(u'\n') && !text.contains(u'\r') && !text.contains(u'\t'))
        return text;
    QString line = text;
    for (QChar& ch : line) {
        if (ch == u'\n' || ch == u'\r' || ch == u'\t')
            ch = u' ';
    }
    return line;
}

struct FontSpec {
    double size;       // in points (logical pixels)
    bool scaled;       // multiplied by the tile size factor
    QFont::Weight weight;
};

// Indexed by PanelPainter::Role.
constexpr FontSpec FontSpecs[] = {
    {14, false, QFont::Medium},   // search
    {13, false, QFont::Normal},   // empty
    {11, true, QFont::Normal},    // title
    {11, true, QFont::DemiBold},  // titleSelected
    {10, true, QFont::Normal},    // subtitle
    {10, false, QFont::DemiBold}, // badge
    {10.5, false, QFont::Normal}, // hint
};

} // namespace

QColor PanelStyle::label(double alpha)
{
    return rgba(LabelRgb, LabelRgb, LabelRgb, alpha);
}

QColor PanelStyle::secondaryLabel(double alpha)
{
    return rgba(SecondaryRgb[0], SecondaryRgb[1], SecondaryRgb[2], alpha);
}

QColor PanelStyle::background(bool translucent)
{
    return translucent ? rgba(30, 30, 36, 0.88) : rgba(38, 38, 44, 1.0);
}

RunView warmUpView()
{
    QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(QColor(90, 120, 200));
    RunView view;
    view.entries.resize(2);
    for (Entry& e : view.entries) {
        e.icon = icon;
        e.app.name = QStringLiteral("Warm-up");
    }
    view.entries[0].title = QStringLiteral("Abcdefghijklmnopqrstuvwxyz 0123456789");
    view.entries[1].title = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ …·–");
    view.query = QStringLiteral("warm");
    view.hint = QStringLiteral("Tab 1–9 Return");
    return view;
}

QImage letterTile(const QString& name, int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x8a, 0x8f, 0x98));
    painter.drawRoundedRect(QRectF(1, 1, pixels - 2, pixels - 2), pixels / 5.0, pixels / 5.0);
    QFont font;
    font.setPixelSize(std::max(1, pixels * 5 / 9));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, pixels, pixels), Qt::AlignCenter, name.isEmpty() ? QStringLiteral("?") : name.left(1).toUpper());
    return image;
}

size_t qHash(const PanelPainter::TextKey& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.text, key.width, key.role);
}

size_t qHash(const PanelPainter::ImageKey& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.cacheKey, key.width, key.height, key.kind, key.dpr);
}

void PanelPainter::clear()
{
    m_texts.clear();
    m_images.clear();
    m_imageBytes = 0;
}

void PanelPainter::paint(QPainter& p, const PanelContent& c, const QRectF& exposed)
{
    const PanelShape shape = panelShape(c.view, c.tileSize);
    const QSizeF size = preferredSize(shape);
    m_dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    prepareFonts(shape.metrics.scale, p.device());

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (c.view.query)
        paintSearchLine(p, *c.view.query, size.width());
    if (c.view.entries.empty()) {
        const double top = c.view.query ? PanelPad + SearchBand : PanelPad;
        drawText(p, QStringLiteral("No matching windows"),
                 QRectF(0, top + shape.metrics.tileHeight / 2 - 8, size.width(), 18), Role::empty,
                 Align::centre, m_secondaryPen);
    }
    for (int i = 0; i < shape.count; ++i) {
        const QRectF r = tileRect(shape, i);
        if (tileVisible(shape, i) && (exposed.isNull() || exposed.intersects(r)))
            paintTile(p, c, i, r);
    }
    if (c.view.hint) {
        drawText(p, *c.view.hint, QRectF(0, size.height() - 24, size.width(), 14), Role::hint, Align::centre,
                 m_secondaryPen);
    }
    p.restore();
}

void PanelPainter::prepareFonts(double scale, const QPaintDevice* device)
{
    const int dpi = device ? device->logicalDpiY() : 96;
    if (scale == m_scale && dpi == m_fontDpi)
        return;
    m_scale = scale;
    m_fontDpi = dpi;
    m_texts.clear();
    m_hasMagnifier.reset();
    const QFont base = QGuiApplication::font();
    for (int r = 0; r < int(Role::count); ++r) {
        const FontSpec& spec = FontSpecs[r];
        const double px = spec.scaled ? spec.size * scale : spec.size;
        QFont font = base;
        // Sizes are in logical pixels; a point size is converted with the device's resolution,
        // which differs between the screen and an image, so undo that conversion here.
        font.setPointSizeF(px * 72.0 / dpi);
        font.setWeight(spec.weight);
        m_fonts[r] = device ? QFont(font, device) : font;
    }
}

void PanelPainter::paintSearchLine(QPainter& p, const QString& query, double width)
{
    static const QString prefix = QStringLiteral("🔍  ");
    static const QString placeholder = QStringLiteral("Type to search windows…");
    const QRectF rect(20, 12, width - 40, 20);
    const QString& rest = query.isEmpty() ? placeholder : query;
    const QPen& pen = query.isEmpty() ? m_secondaryPen : m_labelPen;
    if (magnifierGlyphAvailable()) {
        drawText(p, prefix + rest, rect, Role::search, Align::left, pen);
        return;
    }
    // Without any font that has the magnifier sign, draw one of the same size, so the line never
    // starts with a missing-glyph box.
    const QFontMetricsF fm(m_fonts[int(Role::search)]);
    const double side = fm.height() * 0.8;
    const QRectF box(rect.x(), rect.y() + (fm.height() - side) / 2, side, side);
    drawMagnifier(p, box, pen.color());
    const double indent = side + fm.horizontalAdvance(QStringLiteral("  "));
    drawText(p, rest, rect.adjusted(indent, 0, 0, 0), Role::search, Align::left, pen);
}

void PanelPainter::drawMagnifier(QPainter& p, const QRectF& box, const QColor& colour)
{
    const double w = box.width();
    QPen pen(colour, std::max(1.2, w * 0.12));
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const double radius = w * 0.32;
    const QPointF centre(box.x() + w * 0.4, box.y() + w * 0.4);
    p.drawEllipse(centre, radius, radius);
    const double k = radius / std::sqrt(2.0);
    p.drawLine(centre + QPointF(k, k), QPointF(box.right() - w * 0.08, box.bottom() - w * 0.08));
}

bool PanelPainter::magnifierGlyphAvailable()
{
    if (m_hasMagnifier)
        return *m_hasMagnifier;
    // QFontMetrics only knows the primary font; a layout shows whether any fallback font
    // supplied the glyph (index 0 is the missing-glyph box).
    QTextLayout layout(QStringLiteral("🔍"), m_fonts[int(Role::search)]);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    bool found = !runs.isEmpty();
    for (const QGlyphRun& run : runs) {
        const QList<quint32> glyphs = run.glyphIndexes();
        if (glyphs.isEmpty() || std::find(glyphs.begin(), glyphs.end(), 0u) != glyphs.end())
            found = false;
    }
    m_hasMagnifier = found;
    return found;
}

void PanelPainter::paintTile(QPainter& p, const PanelContent& c, int index, const QRectF& r)
{
    const Entry& e = c.view.entries[size_t(index)];
    const bool selected = index == c.view.selected;
    if (selected)
        drawShape(p, Shape::selection, r.adjusted(4, 4, -4, -4));
    const double s = m_scale;
    const double textTop = c.view.previewMode ? paintPreviewTile(p, e, r) : paintIconTile(p, e, r);
    drawText(p, e.title, QRectF(r.x() + 8, textTop, r.width() - 16, 16 * s),
             selected ? Role::titleSelected : Role::title, Align::centre, m_labelPen);
    const QString subtitle = subtitleText(e);
    if (!subtitle.isEmpty()) {
        drawText(p, subtitle, QRectF(r.x() + 8, textTop + 15 * s, r.width() - 16, 14 * s), Role::subtitle,
                 Align::centre, m_secondaryPen);
    }
    const QString badge = badgeText(index, c.showNumbers);
    if (badge.isEmpty())
        return;
    if (c.view.previewMode) {
        // The badge overlaps the preview's corner; lay it on panel material so a light
        // capture does not swallow the digit.
        drawShape(p, Shape::badgeBase, QRectF(r.x() + 10, r.y() + 10, 16, 16));
    }
    paintBadge(p, badge, r);
}

double PanelPainter::paintIconTile(QPainter& p, const Entry& e, const QRectF& r)
{
    const double s = m_scale;
    const double side = 64 * s;
    const QRectF icon(r.center().x() - side / 2, r.y() + 14 * s, side, side);
    drawIcon(p, e, icon, e.minimized ? 0.5 : 1.0);
    return icon.bottom() + 6 * s;
}

double PanelPainter::paintPreviewTile(QPainter& p, const Entry& e, const QRectF& r)
{
    const double s = m_scale;
    const QRectF frame(r.x() + 12, r.y() + 12, 190 * s - 24, 92 * s);
    drawShape(p, Shape::frame, frame);
    const QSizeF thumb = e.thumb.deviceIndependentSize();
    if (thumb.width() > 0 && thumb.height() > 0) {
        // Unlike scaleToFit, drawing fills the frame: a small capture is enlarged here.
        const double k = std::min(frame.width() / thumb.width(), frame.height() / thumb.height());
        const QSizeF size = thumb * k;
        const QPointF origin = frame.center() - QPointF(size.width(), size.height()) / 2;
        drawImage(p, e.thumb, QRectF(origin, size), e.minimized ? 0.5 : 1.0, true);
    } else {
        const double side = 44 * s;
        const QPointF c = frame.center();
        drawIcon(p, e, QRectF(c.x() - side / 2, c.y() - side / 2, side, side), 0.8);
    }
    const double small = 24 * s;
    drawIcon(p, e, QRectF(frame.x() + 4, frame.bottom() - small - 4, small, small), 1.0);
    return frame.bottom() + 6 * s;
}

void PanelPainter::paintBadge(QPainter& p, const QString& digit, const QRectF& r)
{
    const QRectF badge(r.x() + 10, r.y() + 10, 16, 16);
    drawShape(p, Shape::badge, badge);
    drawText(p, digit, QRectF(badge.x(), badge.y() + 1.5, 16, 13), Role::badge, Align::centre,
             m_secondaryPen);
}

void PanelPainter::drawText(QPainter& p, const QString& text, const QRectF& rect, Role role, Align align,
                            const QPen& pen)
{
    if (text.isEmpty() || rect.width() <= 0)
        return;
    const TextLayout& t = layout(text, rect.width(), role);
    p.setFont(m_fonts[int(role)]);
    p.setPen(pen);
    const double x = align == Align::centre ? rect.x() + (rect.width() - t.width) / 2 : rect.x();
    p.drawStaticText(QPointF(x, rect.y()), t.text);
}

const PanelPainter::TextLayout& PanelPainter::layout(const QString& text, double width, Role role)
{
    const TextKey key{text, int(std::lround(width * 4)), int(role)};
    const auto it = m_texts.constFind(key);
    if (it != m_texts.constEnd())
        return *it;
    if (m_texts.size() >= MaxTexts)
        m_texts.clear();
    const QFont& font = m_fonts[int(role)];
    const QFontMetricsF fm(font);
    TextLayout t;
    const QString shown = fm.elidedText(singleLine(text), Qt::ElideRight, width);
    t.text.setTextFormat(Qt::PlainText);
    t.text.setPerformanceHint(QStaticText::AggressiveCaching);
    t.text.setText(shown);
    t.text.prepare(QTransform(), font);
    t.width = fm.horizontalAdvance(shown);
    return *m_texts.insert(key, t);
}

void PanelPainter::drawImage(QPainter& p, const QImage& source, const QRectF& rect, double opacity,
                             bool rounded)
{
    if (source.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    const QPixmap& pixmap = image(source, rect.size(), rounded);
    const QSizeF shown = pixmap.deviceIndependentSize();
    const QPointF origin = rect.center() - QPointF(shown.width(), shown.height()) / 2;
    p.setOpacity(opacity);
    // Pixmaps are cached at their final device size, so they are copied, never resampled.
    p.drawPixmap(QPointF(std::round(origin.x() * m_dpr) / m_dpr, std::round(origin.y() * m_dpr) / m_dpr),
                 pixmap);
    p.setOpacity(1.0);
}

void PanelPainter::drawIcon(QPainter& p, const Entry& e, const QRectF& rect, double opacity)
{
    if (!e.icon.isNull()) {
        drawImage(p, e.icon, rect, opacity, false);
        return;
    }
    const QPixmap& pixmap = letterPixmap(e.app.name.isEmpty() ? e.title : e.app.name, rect.size());
    p.setOpacity(opacity);
    p.drawPixmap(QPointF(std::round(rect.x() * m_dpr) / m_dpr, std::round(rect.y() * m_dpr) / m_dpr), pixmap);
    p.setOpacity(1.0);
}

const QPixmap& PanelPainter::letterPixmap(const QString& name, QSizeF size)
{
    const int side = std::max(1, int(std::lround(std::min(size.width(), size.height()) * m_dpr)));
    const char32_t letter = name.isEmpty() ? U'?' : name.front().toUpper().unicode();
    const ImageKey key{qint64(letter), side, side, int(Shape::letter), int(std::lround(m_dpr * 100))};
    const auto it = m_images.constFind(key);
    if (it != m_images.constEnd())
        return *it;
    QPixmap pixmap = QPixmap::fromImage(letterTile(name, side));
    pixmap.setDevicePixelRatio(m_dpr);
    return remember(key, pixmap);
}

void PanelPainter::drawShape(QPainter& p, Shape shape, const QRectF& rect)
{
    const QPixmap& pixmap = shapePixmap(shape, rect.size());
    p.drawPixmap(QPointF(std::round(rect.x() * m_dpr) / m_dpr, std::round(rect.y() * m_dpr) / m_dpr), pixmap);
}

const QPixmap& PanelPainter::shapePixmap(Shape shape, QSizeF size)
{
    const int w = std::max(1, int(std::lround(size.width() * m_dpr)));
    const int h = std::max(1, int(std::lround(size.height() * m_dpr)));
    const ImageKey key{0, w, h, int(shape), int(std::lround(m_dpr * 100))};
    const auto it = m_images.constFind(key);
    if (it != m_images.constEnd())
        return *it;
    QColor colour;
    double radius = 0;
    switch (shape) {
    case Shape::selection: colour = PanelStyle::label(0.16), radius = 12; break;
    case Shape::frame: colour = PanelStyle::label(0.07), radius = 6; break;
    case Shape::badge: colour = PanelStyle::label(0.14), radius = 5; break;
    case Shape::badgeBase: colour = PanelStyle::background(true), radius = 5; break;
    case Shape::letter: break;
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter q(&out);
    q.setRenderHint(QPainter::Antialiasing);
    q.setPen(Qt::NoPen);
    q.setBrush(colour);
    q.drawRoundedRect(QRectF(0, 0, w, h), radius * m_dpr, radius * m_dpr);
    q.end();
    QPixmap pixmap = QPixmap::fromImage(out);
    pixmap.setDevicePixelRatio(m_dpr);
    return remember(key, pixmap);
}

const QPixmap& PanelPainter::remember(const ImageKey& key, const QPixmap& pixmap)
{
    const qint64 bytes = qint64(pixmap.width()) * pixmap.height() * 4;
    if (m_imageBytes + bytes > MaxImageBytes) {
        m_images.clear();
        m_imageBytes = 0;
    }
    m_imageBytes += bytes;
    return *m_images.insert(key, pixmap);
}

const QPixmap& PanelPainter::image(const QImage& source, QSizeF size, bool rounded)
{
    // Keep the aspect ratio of a non-square icon instead of stretching it into the square.
    const QSizeF fitted = QSizeF(source.size()).scaled(size, Qt::KeepAspectRatio);
    const int w = std::max(1, int(std::lround(fitted.width() * m_dpr)));
    const int h = std::max(1, int(std::lround(fitted.height() * m_dpr)));
    const ImageKey key{source.cacheKey(), w, h, rounded ? 1 : 0, int(std::lround(m_dpr * 100))};
    const auto it = m_images.constFind(key);
    if (it != m_images.constEnd())
        return *it;
    QImage scaled = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (rounded) {
        QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter q(&out);
        q.setRenderHint(QPainter::Antialiasing);
        q.setPen(Qt::NoPen);
        q.setBrush(QBrush(scaled));
        q.drawRoundedRect(QRectF(0, 0, w, h), 4 * m_dpr, 4 * m_dpr);
        q.end();
        scaled = out;
    }
    QPixmap pixmap = QPixmap::fromImage(scaled);
    pixmap.setDevicePixelRatio(m_dpr);
    return remember(key, pixmap);
}

} // namespace zumo
