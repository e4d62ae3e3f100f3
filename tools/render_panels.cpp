// Renders sample switcher panels to PNG files, to look at the drawing without a desktop.
// Usage: render_panels [output directory, default build/panels]
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <cstdio>

#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "panel/SwitcherPanel.h"
#include "panel/SwitcherView.h"
#include "switcher/Thumbnail.h"

using namespace zumo;

namespace {

constexpr int Margin = 48;

const char* const MoveHint =
    "Tab move   1–9 jump   Q quit   W close   M min   H hide   L R T B F C snap   / search";

QImage appIcon(const QColor& colour, QChar letter)
{
    QImage icon(128, 128, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 8, 0, 120);
    fill.setColorAt(0, colour.lighter(125));
    fill.setColorAt(1, colour.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    QFont font = QApplication::font();
    font.setPixelSize(64);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 235));
    p.drawText(QRectF(8, 8, 112, 112), Qt::AlignCenter, QString(letter));
    return icon;
}

// A made-up window picture: title bar, sidebar and lines of content.
QImage windowPicture(const QColor& accent, bool dark, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(dark ? QColor(36, 38, 44) : QColor(246, 246, 248));
    QPainter p(&image);
    p.fillRect(QRect(0, 0, width, 44), dark ? QColor(52, 54, 62) : QColor(226, 226, 232));
    p.fillRect(QRect(0, 44, width / 4, height - 44), accent.lighter(dark ? 60 : 170));
    const QColor line = dark ? QColor(120, 124, 136) : QColor(180, 182, 190);
    for (int y = 80, i = 0; y < height - 30; y += 34, ++i)
        p.fillRect(QRect(width / 4 + 40, y, (width * 3 / 4 - 80) * (i % 3 + 2) / 4, 12), line);
    p.fillRect(QRect(width / 4 + 40, 60, width / 3, 8), accent);
    return image;
}

Entry entry(const QString& app, const QString& title, const QColor& colour)
{
    Entry e;
    e.id = newEntryId();
    e.app.name = app;
    e.title = title;
    e.icon = appIcon(colour, app.isEmpty() ? QChar(u'?') : app.front());
    return e;
}

std::vector<Entry> iconEntries()
{
    return {
        entry("Terminal", "~/src/zumo — build", QColor(52, 58, 70)),
        entry("Browser", "Release notes — Qt 6.4", QColor(230, 110, 40)),
        entry("Mail", "Inbox (3 unread) — work account", QColor(40, 120, 230)),
        entry("Editor", "PanelPainter.cpp — zumo", QColor(60, 160, 110)),
        entry("Files", "Files", QColor(200, 160, 40)),
        entry("Music", "Now playing: A very long track title that will not fit", QColor(220, 60, 90)),
        entry("Calendar", "December 2026", QColor(210, 60, 50)),
        entry("Notes", "Shopping list", QColor(235, 190, 50)),
        entry("Chat", "#team — 12 new messages", QColor(120, 80, 200)),
        entry("Photos", "Holidays", QColor(40, 170, 190)),
    };
}

std::vector<Entry> previewEntries()
{
    std::vector<Entry> list = {
        entry("Browser", "Release notes — Qt 6.4", QColor(230, 110, 40)),
        entry("Editor", "PanelPainter.cpp — zumo", QColor(60, 160, 110)),
        entry("Terminal", "~/src/zumo — build", QColor(52, 58, 70)),
        entry("Mail", "Inbox (3 unread)", QColor(40, 120, 230)),
        entry("Chat", "#team", QColor(120, 80, 200)),
        entry("Browser", "Design review", QColor(230, 110, 40)),
    };
    list[0].thumb = scaleToFit(windowPicture(QColor(230, 110, 40), false, 1280, 800), 380, 200);
    list[1].thumb = scaleToFit(windowPicture(QColor(60, 160, 110), true, 1200, 900), 380, 200);
    list[2].thumb = scaleToFit(windowPicture(QColor(52, 58, 70), true, 900, 560), 380, 200);
    list[3].thumb = scaleToFit(windowPicture(QColor(40, 120, 230), false, 160, 100), 380, 200);
    list[3].minimized = true;
    list[4].otherSpace = true;  // no capture for another desktop: the icon stands in
    list[5].tab = 1;
    list[5].windowTitle = "Release notes — Qt 6.4";
    list[5].thumb = list[0].thumb;
    return list;
}

// The panel composed over a desktop-like backdrop, with a soft shadow, as a user would see it.
QImage compose(SwitcherPanel& panel)
{
    const QSize size = panel.view()->preferredSize();
    panel.resize(size);
    panel.view()->setGeometry(QRect(QPoint(0, 0), size));
    QImage image(size + QSize(2 * Margin, 2 * Margin), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient backdrop(0, 0, image.width(), image.height());
    backdrop.setColorAt(0, QColor(64, 92, 140));
    backdrop.setColorAt(1, QColor(150, 110, 150));
    p.fillRect(image.rect(), backdrop);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 12; i > 0; --i) {
        p.setBrush(QColor(0, 0, 0, 6));
        p.drawRoundedRect(QRectF(QPointF(Margin, Margin + 6), QSizeF(size)).adjusted(-i, -i, i, i), 20 + i,
                          20 + i);
    }
    panel.render(&p, QPoint(Margin, Margin), QRegion(),
                 QWidget::DrawWindowBackground | QWidget::DrawChildren);
    p.end();
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "render_panels: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(QFileInfo(path).absoluteFilePath()));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/panels");
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "render_panels: cannot create the directory %s\n", qPrintable(dir));
        return 1;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "render_panels: no temporary directory for the settings\n");
        return 1;
    }
    SettingsStore store(scratch.filePath("settings.json"));
    Settings settings(store);
    SwitcherPanel panel(settings);
    panel.setTranslucent(true);
    SwitcherView& view = *panel.view();

    RunView content;
    content.entries = iconEntries();
    content.selected = 1;
    content.hint = QString::fromUtf8(MoveHint);
    view.draw(content);
    bool ok = save(compose(panel), dir + "/icon-mode.png");

    content.entries = previewEntries();
    content.previewMode = true;
    content.selected = 0;
    view.draw(content);
    ok = save(compose(panel), dir + "/preview-mode.png") && ok;

    content = RunView();
    content.query = QStringLiteral("xyzzy");
    content.hint = QStringLiteral("Type to filter    Return switch    Esc back");
    view.draw(content);
    ok = save(compose(panel), dir + "/search-empty.png") && ok;
    return ok ? 0 : 1;
}
