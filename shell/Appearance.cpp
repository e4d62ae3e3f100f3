// Light and dark palettes, and switching the application between them and the desktop's.
#include "shell/Appearance.h"

#include <QApplication>
#include <QStyle>
#include <QStyleHints>
#include <optional>

namespace zumo {
namespace {

// The palette the platform theme gave before Zumo changed anything: the desktop's own look.
const QPalette& desktopPalette()
{
    static const QPalette palette = QApplication::palette();
    return palette;
}

bool desktopPrefersDark()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (QGuiApplication::styleHints()->colorScheme() != Qt::ColorScheme::Unknown)
        return QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark;
#endif
    return desktopPalette().color(QPalette::Window).lightness() < 128;
}

} // namespace

AppearanceChoice appearanceChoice(int setting)
{
    if (setting <= 0)
        return AppearanceChoice::Light;
    return setting == 1 ? AppearanceChoice::Dark : AppearanceChoice::System;
}

QPalette lightPalette()
{
    return QApplication::style()->standardPalette();
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xea);
    const QColor dimText(0x8e, 0x8e, 0x93), button(0x3a, 0x3a, 0x3e), accent(0x3d, 0x8b, 0xf2);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, dimText);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6c, 0xaa, 0xff));
    p.setColor(QPalette::Light, button.lighter(130));
    p.setColor(QPalette::Midlight, button.lighter(115));
    p.setColor(QPalette::Mid, button.darker(120));
    p.setColor(QPalette::Dark, base.darker(120));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dimText);
    // Styles etch disabled text with the light colour, which on a dark ground reads as a blur.
    p.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
    return p;
}

void applyAppearance(int setting)
{
    desktopPalette();  // remembered before the first change
    switch (appearanceChoice(setting)) {
    case AppearanceChoice::Light:
        QApplication::setPalette(lightPalette());
        return;
    case AppearanceChoice::Dark:
        QApplication::setPalette(darkPalette());
        return;
    case AppearanceChoice::System:
        QApplication::setPalette(desktopPrefersDark() && desktopPalette().color(QPalette::Window).lightness() >= 128
                                     ? darkPalette()
                                     : desktopPalette());
        return;
    }
}

} // namespace zumo
