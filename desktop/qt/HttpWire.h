// The line protocol between ProcessHttpClient and its child (zumo-net http): one JSON object per
// line, bytes in base64. The parent writes the request; the child writes progress, redirect
// questions (each answered by one line from the parent) and last the response.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <optional>

#include "platform/HttpClient.h"

namespace zumo::wire {

// The request without its hooks: whether the parent has a progress or redirect hook travels
// as a flag, so the child asks only what someone will answer.
QByteArray requestLine(const HttpRequest& request);
std::optional<HttpRequest> readRequest(const QByteArray& line, bool& wantsProgress, bool& asksRedirects);

QByteArray progressLine(qint64 received, qint64 total);
QByteArray redirectLine(const QUrl& from, const QUrl& to);
QByteArray answerLine(bool allowed);
bool readAnswer(const QByteArray& line);  // anything but a clear yes is a no
QByteArray responseLine(const HttpResponse& response);

// One line from the child, sorted.
struct ChildLine {
    enum Kind { Progress, Redirect, Response, Garbage } kind = Garbage;
    qint64 received = 0, total = -1;
    QUrl from, to;
    HttpResponse response;
};
ChildLine readChildLine(const QByteArray& line);

} // namespace zumo::wire
