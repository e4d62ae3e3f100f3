// Application-wide key equivalents standing in for the main menu.
#include "windows/MainMenu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace zumo {

MainMenuKeys::MainMenuKeys()
{
    // An application shortcut needs a visible owner, and Zumo may show none of its windows for
    // hours; a filter on the application sees every window's keys instead.
    qApp->installEventFilter(this);
}

MainMenuKeys::~MainMenuKeys()
{
    qApp->removeEventFilter(this);
}

bool MainMenuKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() != Qt::ControlModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Comma:
        triggered.notify(MainMenuAction::openSettings);
        return true;
    case Qt::Key_Q:
        triggered.notify(MainMenuAction::quit);
        return true;
    case Qt::Key_W:
        static_cast<QWidget*>(watched)->window()->close();
        return true;
    default:
        return false;
    }
}

} // namespace zumo
