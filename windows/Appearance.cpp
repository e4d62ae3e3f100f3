// Applies "appearance" to the application's style and palette.
#include "windows/Appearance.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <memory>

namespace zumo {

namespace {

struct DesktopLook {
    QString style;
    QPalette palette;
};

// What the desktop gave us before the first change, to go back to for "follow the desktop".
const DesktopLook& desktopLook()
{
    static const DesktopLook look{QApplication::style()->name(), QApplication::palette()};
    return look;
}

void useStyle(const QString& name)
{
    if (QApplication::style()->name().compare(name, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(name);
}

} // namespace

QPalette lightPalette()
{
    static const QPalette palette = [] {
        std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        return fusion->standardPalette();
    }();
    return palette;
}

QPalette darkPalette()
{
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xea);
    const QColor button(0x3a, 0x3a, 0x3e), highlight(0x3d, 0x7a, 0xd6), disabled(0x80, 0x80, 0x86);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, button.lighter(130));
    p.setColor(QPalette::Midlight, button.lighter(115));
    p.setColor(QPalette::Mid, button.darker(120));
    p.setColor(QPalette::Dark, base.darker(130));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, highlight.lighter(130));
    p.setColor(QPalette::LinkVisited, highlight.lighter(110));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    // Styles etch disabled text with the light colour, which on a dark ground reads as a blur.
    p.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
    return p;
}

void applyAppearance(int appearance)
{
    const DesktopLook& desktop = desktopLook();
    if (appearance > 1) {
        useStyle(desktop.style);
        QApplication::setPalette(desktop.palette);
        return;
    }
    useStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(appearance == 1 ? darkPalette() : lightPalette());
}

} // namespace zumo
