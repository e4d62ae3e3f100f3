// zumo-tabclient: one window with a tab bar that publishes its tabs on the accessibility bus,
// standing in for a browser in the end-to-end tests and benchmarks.
//   zumo-tabclient [--class NAME] [--title TITLE] [--tabs N] [TAB...]
// With --tabs N the tabs are called "Tab 1".."Tab N"; otherwise one tab per name given. The
// window class (WM_CLASS) is NAME, so a test can make it count as a browser. Prints
// "window <id>" once the window is shown and "current <index>" each time the selected tab changes.
// Set QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 so it publishes without an assistive technology.
#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

#include "TabAccessible.h"

int main(int argc, char** argv)
{
    QString className = QStringLiteral("ZumoTabTest");
    QString title = QStringLiteral("Tabs");
    QStringList names;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--class") && i + 1 < argc)
            className = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--title") && i + 1 < argc)
            title = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--tabs") && i + 1 < argc)
            for (int n = 1, count = QString::fromLocal8Bit(argv[++i]).toInt(); n <= count; ++n)
                names << QStringLiteral("Tab %1").arg(n);
        else
            names << arg;
    }
    // The X11 platform takes the window class from the application name, Wayland's app id from
    // the desktop file name.
    QCoreApplication::setApplicationName(className);
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(className);
    installTabBarAccessible();
    QTextStream out(stdout);

    QTabWidget tabs;
    tabs.setWindowTitle(title);
    for (const QString& name : names)
        tabs.addTab(new QLabel(name), name);
    QObject::connect(&tabs, &QTabWidget::currentChanged, [&out](int index) {
        out << "current " << index << Qt::endl;
    });
    tabs.resize(500, 300);
    tabs.show();
    QTimer::singleShot(0, [&] {
        out << "window " << tabs.winId() << Qt::endl;
        out << "current " << tabs.currentIndex() << Qt::endl;
    });
    return app.exec();
}
