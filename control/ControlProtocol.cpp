// Parsing and formatting of the control socket's requests and replies.
#include "control/ControlProtocol.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <algorithm>
#include <array>

#include "platform/KeyCodes.h"

namespace zumo {
namespace {

struct KeyName {
    const char* name;
    std::int64_t code;
};
// The keys a shortcut of the list can have.
constexpr std::array<KeyName, 4> ShortcutKeys{{{"tab", keys::Tab}, {"grave", keys::Grave}, {"space", keys::Space},
                                               {"section", keys::Section}}};

// "alt+grave", "Ctrl+Alt+Tab": at least one modifier, then one of the shortcut keys.
std::optional<HookShortcut> parseShortcutKeys(QByteArrayView text)
{
    const QList<QByteArray> parts = text.toByteArray().toLower().split('+');
    HookShortcut shortcut;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] == "alt")
            shortcut.mask |= keys::Option;
        else if (parts[i] == "ctrl")
            shortcut.mask |= keys::Control;
        else
            return std::nullopt;
    }
    for (const KeyName& key : ShortcutKeys) {
        if (parts.back() == key.name)
            shortcut.key = key.code;
    }
    if (!shortcut.mask || !shortcut.key)
        return std::nullopt;
    return shortcut;
}

QByteArray shortcutKeysText(const HookShortcut& shortcut)
{
    QByteArray text;
    if (shortcut.mask & keys::Control)
        text += "ctrl+";
    if (shortcut.mask & keys::Option)
        text += "alt+";
    for (const KeyName& key : ShortcutKeys) {
        if (shortcut.key == key.code)
            text += key.name;
    }
    return text;
}

// A window id as X gives it out: decimal or 0x-hex, 32 bits, never 0.
std::optional<std::uint32_t> parseWindowId(QByteArrayView text)
{
    bool ok = false;
    const bool hex = text.startsWith("0x") || text.startsWith("0X");
    const qulonglong value = hex ? text.sliced(2).toULongLong(&ok, 16) : text.toULongLong(&ok, 10);
    if (!ok || value == 0 || value > 0xffffffffULL || (hex && text.size() == 2))
        return std::nullopt;
    return std::uint32_t(value);
}

// A tab's number as --list gives it: decimal, from 1.
std::optional<int> parseTabNumber(QByteArrayView text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 1)
        return std::nullopt;
    return value;
}

// The line as the client sent it, shortened and with control characters shown as "?", for
// an error message that cannot itself mislead a terminal.
QString quoted(QByteArrayView line)
{
    QByteArray shown = line.first(std::min<qsizetype>(40, line.size())).toByteArray();
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return QStringLiteral("\"%1%2\"").arg(QString::fromUtf8(shown), line.size() > 40 ? QStringLiteral("…") : QString());
}

ParsedRequest failed(QString error)
{
    return {std::nullopt, std::move(error)};
}

} // namespace

ParsedRequest parseRequest(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    const QList<QByteArray> words = line.toByteArray().split(' ');
    const QByteArray& verb = words.front();
    const auto arity = [&](qsizetype n) { return words.size() == n; };
    if (verb == "sync" && arity(1))
        return {ControlRequest{ControlVerb::sync}, {}};
    if (verb == "list" && arity(1))
        return {ControlRequest{ControlVerb::list}, {}};
    if (verb == "show-settings" && arity(1))
        return {ControlRequest{ControlVerb::showSettings}, {}};
    if ((verb == "next" || verb == "prev") && (arity(1) || arity(2))) {
        ControlRequest request{verb == "next" ? ControlVerb::next : ControlVerb::prev};
        if (arity(2)) {
            const std::optional<HookShortcut> keys = parseShortcutKeys(words[1]);
            if (!keys)
                return failed(QStringLiteral("%1 is not a shortcut Zumo can have, such as alt+tab or alt+grave").arg(quoted(words[1])));
            request.keys = *keys;
        }
        return {request, {}};
    }
    if (verb == "check-updates" && arity(1))
        return {ControlRequest{ControlVerb::checkUpdates}, {}};
    if (verb == "activate") {
        if (!arity(2) && !arity(3))
            return failed(QStringLiteral("activate takes a window id and maybe a tab number, e.g. \"activate 0x1e00004 2\""));
        const std::optional<std::uint32_t> window = parseWindowId(words[1]);
        if (!window)
            return failed(QStringLiteral("%1 is not a window id (a number such as 31457284 or 0x1e00004)")
                              .arg(quoted(words[1])));
        const std::optional<int> tab = arity(3) ? parseTabNumber(words[2]) : std::optional<int>(0);
        if (!tab)
            return failed(QStringLiteral("%1 is not a tab number (1 for the first tab)").arg(quoted(words[2])));
        return {ControlRequest{ControlVerb::activate, *window, *tab}, {}};
    }
    if (verb == "sync" || verb == "list" || verb == "show-settings" || verb == "check-updates")
        return failed(QStringLiteral("%1 takes no arguments").arg(QString::fromLatin1(verb)));
    if (verb == "next" || verb == "prev")
        return failed(QStringLiteral("%1 takes at most the binding's keys, e.g. \"%1 alt+grave\"").arg(QString::fromLatin1(verb)));
    return failed(QStringLiteral("unknown request %1; the requests are sync, list, activate <id> [<tab>], show-settings, check-updates, next [<keys>] and prev [<keys>]")
                      .arg(quoted(line)));
}

QByteArray requestLine(const ControlRequest& request)
{
    switch (request.verb) {
    case ControlVerb::sync:
        return "sync\n";
    case ControlVerb::list:
        return "list\n";
    case ControlVerb::showSettings:
        return "show-settings\n";
    case ControlVerb::next:
    case ControlVerb::prev:
        return (request.verb == ControlVerb::next ? "next" : "prev") +
               (request.keys.key ? ' ' + shortcutKeysText(request.keys) : QByteArray()) + '\n';
    case ControlVerb::checkUpdates:
        return "check-updates\n";
    case ControlVerb::activate:
        return "activate 0x" + QByteArray::number(request.window, 16) +
               (request.tab ? ' ' + QByteArray::number(request.tab) : QByteArray()) + '\n';
    }
    return {};
}

QByteArray okReply(const QByteArray& body)
{
    return "ok\n" + body;
}

QByteArray errorReply(const QString& message)
{
    QString oneLine = message;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return "error " + oneLine.toUtf8() + '\n';
}

std::optional<ControlReply> parseReply(const QByteArray& data)
{
    const qsizetype end = data.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    const QByteArray status = data.left(end);
    if (status == "ok")
        return ControlReply{true, {}, data.mid(end + 1)};
    if (status.startsWith("error "))
        return ControlReply{false, QString::fromUtf8(status.mid(6)), {}};
    return std::nullopt;
}

namespace {

QJsonObject tabObject(const ListedRow::Tab& tab)
{
    return {{QStringLiteral("window"), tab.window ? QJsonValue(qint64(*tab.window)) : QJsonValue()},
            {QStringLiteral("number"), tab.number},
            {QStringLiteral("selected"), tab.selected}};
}

} // namespace

QByteArray listLine(const ListedRow& row)
{
    QJsonObject object{
        {QStringLiteral("row"), row.row},
        {QStringLiteral("window"), row.window ? QJsonValue(qint64(*row.window)) : QJsonValue()},
        {QStringLiteral("app"), row.app},
        {QStringLiteral("bundleId"), row.bundleId},
        {QStringLiteral("title"), row.title},
        {QStringLiteral("desktop"), row.desktop ? QJsonValue(qint64(*row.desktop)) : QJsonValue()},
        {QStringLiteral("minimized"), row.minimized},
        {QStringLiteral("icon"), row.icon},
        {QStringLiteral("tab"), row.tab ? QJsonValue(tabObject(*row.tab)) : QJsonValue()},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace zumo
