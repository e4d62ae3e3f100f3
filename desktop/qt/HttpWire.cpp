// JSON lines both ways; header names and values are bytes, so they travel in base64 like bodies.
#include "desktop/qt/HttpWire.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace zumo::wire {
namespace {

QString b64(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

QByteArray unb64(const QJsonValue& value)
{
    return QByteArray::fromBase64(value.toString().toLatin1());
}

QJsonArray headersJson(const HttpHeaders& headers)
{
    QJsonArray out;
    for (const auto& [name, value] : headers)
        out.append(QJsonArray{b64(name), b64(value)});
    return out;
}

HttpHeaders headersFrom(const QJsonValue& value)
{
    HttpHeaders out;
    for (const QJsonValue& pair : value.toArray())
        out.append({unb64(pair.toArray().at(0)), unb64(pair.toArray().at(1))});
    return out;
}

QByteArray line(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> object(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

} // namespace

QByteArray requestLine(const HttpRequest& r)
{
    return line({{"method", b64(r.method)}, {"url", r.url.toString(QUrl::FullyEncoded)},
                 {"headers", headersJson(r.headers)}, {"body", b64(r.body)}, {"ignoreCache", r.ignoreCache},
                 {"idle", r.idleTimeoutSec}, {"deadline", r.deadlineSec}, {"maxBody", QString::number(r.maxBodyBytes)},
                 {"saveTo", r.saveTo}, {"progress", bool(r.progress)}, {"redirects", bool(r.allowRedirect)}});
}

std::optional<HttpRequest> readRequest(const QByteArray& text, bool& wantsProgress, bool& asksRedirects)
{
    const std::optional<QJsonObject> o = object(text);
    if (!o || !(*o)["url"].isString())
        return std::nullopt;
    HttpRequest r;
    r.method = unb64((*o)["method"]);
    r.url = QUrl((*o)["url"].toString(), QUrl::StrictMode);
    r.headers = headersFrom((*o)["headers"]);
    r.body = unb64((*o)["body"]);
    r.ignoreCache = (*o)["ignoreCache"].toBool();
    r.idleTimeoutSec = (*o)["idle"].toDouble(r.idleTimeoutSec);
    r.deadlineSec = (*o)["deadline"].toDouble(r.deadlineSec);
    // A string: caps up to the largest 64-bit number do not fit a JSON number exactly.
    bool capRead = false;
    const qint64 cap = (*o)["maxBody"].toString().toLongLong(&capRead);
    r.maxBodyBytes = capRead ? cap : r.maxBodyBytes;
    r.saveTo = (*o)["saveTo"].toString();
    wantsProgress = (*o)["progress"].toBool();
    asksRedirects = (*o)["redirects"].toBool();
    return r;
}

QByteArray progressLine(qint64 received, qint64 total)
{
    return line({{"progress", QJsonArray{double(received), double(total)}}});
}

QByteArray redirectLine(const QUrl& from, const QUrl& to)
{
    return line({{"redirect", QJsonArray{from.toString(QUrl::FullyEncoded), to.toString(QUrl::FullyEncoded)}}});
}

QByteArray answerLine(bool allowed)
{
    return line({{"allow", allowed}});
}

bool readAnswer(const QByteArray& text)
{
    const std::optional<QJsonObject> o = object(text);
    return o && (*o)["allow"].toBool(false);
}

QByteArray responseLine(const HttpResponse& r)
{
    return line({{"response", QJsonObject{{"status", r.status}, {"headers", headersJson(r.headers)},
                                          {"body", b64(r.body)}, {"finalUrl", r.finalUrl.toString(QUrl::FullyEncoded)},
                                          {"bodyBytes", double(r.bodyBytes)}, {"error", r.error}}}});
}

ChildLine readChildLine(const QByteArray& text)
{
    ChildLine out;
    const std::optional<QJsonObject> o = object(text);
    if (!o)
        return out;
    if (const QJsonArray p = (*o)["progress"].toArray(); p.size() == 2) {
        out.kind = ChildLine::Progress;
        out.received = qint64(p[0].toDouble());
        out.total = qint64(p[1].toDouble());
    } else if (const QJsonArray d = (*o)["redirect"].toArray(); d.size() == 2) {
        out.kind = ChildLine::Redirect;
        out.from = QUrl(d[0].toString(), QUrl::StrictMode);
        out.to = QUrl(d[1].toString(), QUrl::StrictMode);
    } else if (const QJsonObject r = (*o)["response"].toObject(); !r.isEmpty()) {
        out.kind = ChildLine::Response;
        out.response.status = r["status"].toInt();
        out.response.headers = headersFrom(r["headers"]);
        out.response.body = unb64(r["body"]);
        out.response.finalUrl = QUrl(r["finalUrl"].toString(), QUrl::StrictMode);
        out.response.bodyBytes = qint64(r["bodyBytes"].toDouble());
        out.response.error = r["error"].toString();
    }
    return out;
}

} // namespace zumo::wire
