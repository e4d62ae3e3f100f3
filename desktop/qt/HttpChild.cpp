// The child blocks on its standard input only for a redirect's answer; a parent that went away
// answers with end of file, which refuses the redirect.
#include "desktop/qt/HttpChild.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "desktop/qt/HttpWire.h"
#include "desktop/qt/QtHttpClient.h"

namespace zumo {

int runHttpChild(const QString& extraCaFile)
{
    QFile in;
    QFile out;
    if (!in.open(stdin, QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 2;
    const auto write = [&out](const QByteArray& line) { out.write(line); };
    bool wantsProgress = false;
    bool asksRedirects = false;
    std::optional<HttpRequest> request = wire::readRequest(in.readLine(), wantsProgress, asksRedirects);
    if (!request) {
        HttpResponse unread;
        unread.error = QStringLiteral("the network helper could not read its request");
        write(wire::responseLine(unread));
        return 2;
    }
    if (wantsProgress)
        request->progress = [&](qint64 received, qint64 total) { write(wire::progressLine(received, total)); };
    if (asksRedirects) {
        request->allowRedirect = [&](const QUrl& from, const QUrl& to) {
            write(wire::redirectLine(from, to));
            return wire::readAnswer(in.readLine());
        };
    }
    QtHttpClient client(extraCaFile);
    client.send(std::move(*request), [&](const HttpResponse& response) {
        write(wire::responseLine(response));
        QCoreApplication::exit(0);
    });
    return QCoreApplication::exec();
}

} // namespace zumo
