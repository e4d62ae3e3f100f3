// Bottom-left frames, labels and centred presentation for the shell's fixed windows.
#include "windows/WindowPlacement.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace zumo {

QRect fromBottomLeft(int x, int y, int width, int height, int contentHeight)
{
    return QRect(x, contentHeight - y - height, width, height);
}

QLabel* addLabel(QWidget* parent, const QString& text, int pixelSize, QFont::Weight weight, QRect frame, bool centred)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    label->setFont(font);
    label->setGeometry(frame);
    label->setAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

void presentCentred(QWidget& window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace zumo
