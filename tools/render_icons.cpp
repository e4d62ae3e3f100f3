// Writes Zumo's icon as zumo.svg and zumo-<size>.png files for the desktop's icon theme.
// Usage: render_icons <folder>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "windows/AppIcon.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: render_icons <folder>\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    QFile svg(folder + QStringLiteral("/zumo.svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(zumo::appIconSvg()) < 0) {
        std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString path = QStringLiteral("%1/zumo-%2.png").arg(folder).arg(size);
        if (!zumo::appIconImage(size).save(path)) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
