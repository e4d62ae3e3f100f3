// Reading the script's messages and writing Zumo's requests.
#include "desktop/wayland/KWinMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace zumo::wayland {

namespace {

// A window list of a few thousand windows is already absurd; larger text is refused unread.
constexpr qsizetype MaxMessageBytes = 4 * 1024 * 1024;

// A counter as JSON carries it (a double); 0 for one that is not a whole number a double holds
// exactly, rather than a conversion out of range.
std::uint64_t counter(const QJsonValue& value)
{
    const double n = value.toDouble(0);
    return n >= 1 && n <= 9007199254740992.0 ? std::uint64_t(n) : 0;
}

std::uint32_t desktopNumber(const QJsonValue& value)
{
    const double n = value.toDouble(0);
    return n >= 1 && n <= 1000 ? std::uint32_t(n) : 0;
}

// A process id the kernel could have given (at most 2^22); 0 for anything else.
std::int32_t processId(const QJsonValue& value)
{
    const double n = value.toDouble(0);
    return n >= 1 && n <= 4194304 ? std::int32_t(n) : 0;
}

bool readWindow(const QJsonObject& o, KWinWindow& w)
{
    w.id = o.value(QLatin1String("id")).toString();
    if (w.id.isEmpty())
        return false;
    w.title = o.value(QLatin1String("title")).toString();
    w.appId = o.value(QLatin1String("appId")).toString();
    w.process = processId(o.value(QLatin1String("pid")));
    w.minimized = o.value(QLatin1String("minimized")).toBool();
    w.desktop = desktopNumber(o.value(QLatin1String("desktop")));
    w.active = o.value(QLatin1String("active")).toBool();
    w.order = counter(o.value(QLatin1String("order")));
    w.frame = QRect(o.value(QLatin1String("x")).toInt(), o.value(QLatin1String("y")).toInt(),
                    o.value(QLatin1String("width")).toInt(), o.value(QLatin1String("height")).toInt());
    return true;
}

const char* requestName(KWinRequest::Kind kind)
{
    switch (kind) {
    case KWinRequest::Kind::list: return "list";
    case KWinRequest::Kind::activate: return "activate";
    case KWinRequest::Kind::close: return "close";
    case KWinRequest::Kind::minimize: return "minimize";
    case KWinRequest::Kind::desktop: return "desktop";
    case KWinRequest::Kind::ping: return "ping";
    case KWinRequest::Kind::frame: return "frame";
    }
    return "list";
}

} // namespace

KWinMessage readKWinMessage(const QByteArray& json)
{
    KWinMessage m;
    if (json.size() > MaxMessageBytes)
        return m;
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    const QString kind = o.value(QLatin1String("kind")).toString();
    m.desktop = desktopNumber(o.value(QLatin1String("desktop")));
    if (kind == QLatin1String("windows")) {
        for (const QJsonValue value : o.value(QLatin1String("windows")).toArray()) {
            KWinWindow w;
            if (readWindow(value.toObject(), w))
                m.windows.push_back(std::move(w));
        }
        m.kind = KWinMessage::Kind::windows;
    } else if (kind == QLatin1String("window")) {
        KWinWindow w;
        if (readWindow(o.value(QLatin1String("window")).toObject(), w)) {
            m.windows.push_back(std::move(w));
            m.kind = KWinMessage::Kind::window;
        }
    } else if (kind == QLatin1String("removed") || kind == QLatin1String("activated")) {
        m.id = o.value(QLatin1String("id")).toString();
        if (!m.id.isEmpty())
            m.kind = kind == QLatin1String("removed") ? KWinMessage::Kind::removed : KWinMessage::Kind::activated;
    } else if (kind == QLatin1String("desktop")) {
        if (m.desktop)
            m.kind = KWinMessage::Kind::desktop;
    } else if (kind == QLatin1String("shortcut")) {
        // "next" or "prev" for the first of the shortcut list, "next 2" or "prev 2" for the third.
        const QStringList parts = o.value(QLatin1String("name")).toString().split(QLatin1Char(' '));
        bool number = parts.size() == 1;
        const int index = parts.size() == 2 ? parts[1].toInt(&number) : 0;
        if ((parts[0] == QLatin1String("next") || parts[0] == QLatin1String("prev")) && number && index >= 0 &&
            index < int(KWinScriptShortcuts)) {
            m.shortcut = std::size_t(index);
            m.reverse = parts[0] == QLatin1String("prev");
            m.kind = KWinMessage::Kind::shortcut;
        }
    } else if (kind == QLatin1String("pong")) {
        m.serial = counter(o.value(QLatin1String("serial")));
        m.kind = KWinMessage::Kind::pong;
    }
    return m;
}

QByteArray kwinRequestsText(const std::vector<KWinRequest>& requests)
{
    QJsonArray all;
    for (const KWinRequest& r : requests) {
        QJsonObject o{{QStringLiteral("do"), QLatin1String(requestName(r.kind))}};
        if (!r.id.isEmpty())
            o.insert(QStringLiteral("id"), r.id);
        if (r.kind == KWinRequest::Kind::minimize)
            o.insert(QStringLiteral("on"), r.on);
        if (r.kind == KWinRequest::Kind::desktop)
            o.insert(QStringLiteral("desktop"), double(r.desktop));
        if (r.kind == KWinRequest::Kind::ping)
            o.insert(QStringLiteral("serial"), double(r.serial));
        if (r.kind == KWinRequest::Kind::frame) {
            o.insert(QStringLiteral("x"), r.frame.x());
            o.insert(QStringLiteral("y"), r.frame.y());
            o.insert(QStringLiteral("width"), r.frame.width());
            o.insert(QStringLiteral("height"), r.frame.height());
        }
        all.append(o);
    }
    return QJsonDocument(all).toJson(QJsonDocument::Compact);
}

} // namespace zumo::wayland
