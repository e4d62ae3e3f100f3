// The content of a switcher panel: tiles, search line, hint line, and pointer input.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "switcher/PanelLayout.h"
#include "inventory/Entry.h"

namespace zumo {

class Settings;
class PanelPainter;

class SwitcherView : public QWidget {
    Q_OBJECT
public:
    explicit SwitcherView(const Settings& settings, QWidget* parent = nullptr);

    const std::vector<Entry>& entries() const { return m_entries; }
    void setEntries(std::vector<Entry> entries);
    // Entries are edited in place by the switcher (thumbnails, minimised marks).
    std::vector<Entry>& mutableEntries() { return m_entries; }
    int selected() const { return m_selected; }
    void setSelected(int index);
    const std::optional<QString>& query() const { return m_query; }
    void setQuery(std::optional<QString> query);
    const std::optional<QString>& hint() const { return m_hint; }
    void setHint(std::optional<QString> hint);
    bool previewMode() const { return m_previewMode; }
    void setPreviewMode(bool on);
    // The most rows shown at once (0: all). With fewer than all, the shown rows scroll to keep
    // the selected tile in view whenever the selection, the entries or the limit change.
    int maxRows() const { return m_maxRows; }
    void setMaxRows(int rows);
    int firstRow() const { return m_firstRow; }
    void setMirrors(std::vector<SwitcherView*> mirrors);
    const std::vector<SwitcherView*>& mirrors() const { return m_mirrors; }
    // Forgets the last pointer position and the scroll distance (each run starts fresh).
    void resetPointer();

    // The panel content size for the current entries and bands.
    QSize preferredSize() const;
    QRectF tileRect(int index) const;
    PanelShape shape() const;

    // Schedules a repaint of this view and brings its mirrors in step (each mirror gets a copy
    // of the entries, selection, query, hint, mode, row limit and scroll position). When only the selection changed since
    // the last redraw, just the two tiles involved are repainted.
    void redraw();
    // Paints the current content into painter, as the widget would (used for PNG output).
    void render(QPainter& painter) const;

    // Pointer input, all ignored while the "mouse" setting is off. onHover(i): the pointer moved
    // more than 3 points onto tile i (the first move after resetPointer() only records where the
    // pointer is). onPick(i): left click on tile i. onScroll(+1 or -1): next or previous tile,
    // one step per 14 points of wheel travel. Nothing is called for points outside every tile.
    std::function<void(int)> onHover;
    std::function<void(int)> onPick;
    std::function<void(int)> onScroll;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void syncMirrors();
    void followSelection();
    // A digest of everything drawn except the selection, to tell a selection-only redraw.
    std::size_t contentDigest() const;

    // Caches of scaled images and text layouts; shared_ptr so the header needs no complete type.
    std::shared_ptr<PanelPainter> m_painter;
    std::size_t m_requestedDigest = 0;
    int m_requestedSelected = -1;

    const Settings& m_settings;
    std::vector<Entry> m_entries;
    int m_selected = 0;
    std::optional<QString> m_query;
    std::optional<QString> m_hint;
    bool m_previewMode = false;
    int m_maxRows = 0;
    int m_firstRow = 0;
    std::vector<SwitcherView*> m_mirrors;
    std::optional<QPointF> m_lastMouse;
    double m_scrollAcc = 0;
};

// The image scaled to fit mw x mh keeping its shape, never enlarged, at least 1 x 1 pixel (also
// for a zero or negative bound), with smooth filtering and a device pixel ratio of 1. Null when
// the image is empty or a bound is not a number. Safe on any thread.
QImage scaleToFit(const QImage& image, double mw, double mh);

} // namespace zumo
