// Reading the two indexed fields of a posted event: see Event.h.
#include "vendor/Event.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace zumo::vendor {

namespace {

constexpr int MaxFieldChars = 200;

std::string field(const QJsonObject& object, const char* name)
{
    QString text = object.value(QLatin1String(name)).toString();
    text.remove(QChar(u'\0'));
    return text.left(MaxFieldChars).toStdString();
}

} // namespace

std::optional<Event> readEvent(std::string body, int64_t receivedMs)
{
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromRawData(body.data(), qsizetype(body.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QJsonObject object = document.object();
    return Event{receivedMs, field(object, "event"), field(object, "install"), std::move(body)};
}

} // namespace zumo::vendor
