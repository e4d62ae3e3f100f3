// Zumo's network helper: the running Zumo starts it for each HTTP request (zumo-net http), so the
// network stack and TLS are loaded only while a request runs. Not meant to be run by hand.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "desktop/qt/HttpChild.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String("http") && (args.size() == 1 || (args.size() == 3 && args[1] == QLatin1String("--ca"))))
        return zumo::runHttpChild(args.value(2));
    std::fputs("zumo-net: Zumo's network helper, started by Zumo for each request (usage: zumo-net http [--ca FILE])\n",
               stderr);
    return 2;
}
