// The admin API, offered with --admin to loopback clients that show the token: test switches at
// run time and what the service received (stored events, a page at a time; recent requests).
// Loopback alone is not enough: any local account, or a proxy on the same machine, is loopback.
#include "vendor/Service.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <httplib.h>
#include <openssl/crypto.h>

namespace zumo::vendor {

namespace {

bool fromLoopback(const httplib::Request& request)
{
    const std::string& peer = request.remote_addr;
    return peer.rfind("127.", 0) == 0 || peer == "::1" || peer.rfind("::ffff:127.", 0) == 0;
}

void reply(httplib::Response& response, int status, const QJsonValue& value)
{
    response.status = status;
    QByteArray json = value.isObject() ? QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)
                                       : QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    response.set_content(json.toStdString(), "application/json");
}

void replyError(httplib::Response& response, int status, const std::string& message)
{
    reply(response, status, QJsonObject{{"error", QString::fromStdString(message)}});
}

QString text(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QJsonObject eventJson(const StoredEvent& stored)
{
    return {{"id", qint64(stored.id)},
            {"receivedMs", qint64(stored.event.receivedMs)},
            {"event", text(stored.event.name)},
            {"install", text(stored.event.install)},
            {"body", text(stored.event.body)}};
}

QJsonObject requestJson(const RequestRecord& record)
{
    QJsonObject headers;
    for (const auto& [name, value] : record.headers)
        headers.insert(text(name), text(value));
    return {{"receivedMs", qint64(record.receivedMs)}, {"method", text(record.method)},
            {"path", text(record.path)},               {"query", text(record.query)},
            {"headers", headers},                      {"bodyBytes", qint64(record.bodyBytes)}};
}

QUrlQuery queryOf(const httplib::Request& request)
{
    auto mark = request.target.find('?');
    return QUrlQuery(mark == std::string::npos ? QString() : text(request.target.substr(mark + 1)));
}

std::string param(const QUrlQuery& query, const char* name)
{
    return query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded).toStdString();
}

// Compared in constant time, so the answer's timing tells nothing about the token.
bool showsToken(const httplib::Request& request, const std::string& token)
{
    std::string given = request.get_header_value("Authorization");
    std::string expected = "Bearer " + token;
    return given.size() == expected.size() && CRYPTO_memcmp(given.data(), expected.data(), given.size()) == 0;
}

} // namespace

httplib::Server::Handler Service::guarded(AdminHandler handler) const
{
    return [this, handler](const httplib::Request& request, httplib::Response& response) {
        ConnectionGuard::answering();
        if (!fromLoopback(request))
            return replyError(response, 403, "the admin API answers loopback clients only");
        if (!showsToken(request, m_options.adminToken))
            return replyError(response, 401, "the admin API needs Authorization: Bearer <token>");
        handler(request, response, queryOf(request));
    };
}

namespace {

// A page's rows must fit in memory whatever the events' size: at most 64 MiB of bodies.
int pageLimit(const QUrlQuery& query, uint64_t maxEventBytes)
{
    int most = int(std::clamp<uint64_t>((64u << 20) / std::max<uint64_t>(maxEventBytes, 1), 1, 1000));
    bool limited = query.hasQueryItem(QStringLiteral("limit"));
    return limited ? std::clamp(QString::fromStdString(param(query, "limit")).toInt(), 0, most) : most;
}

} // namespace

void Service::addAdminRoutes()
{
    addSwitchRoutes();
    addRecordRoutes();
}

void Service::addSwitchRoutes()
{
    m_server->Get("/admin/switches", guarded([this](auto&, auto& response, auto&) {
        QJsonArray rules;
        for (const PathRule& rule : m_switches.list())
            rules.append(QJsonObject{{"path", text(rule.path)}, {"rule", text(describeRule(rule.rule))}});
        reply(response, 200, rules);
    }));
    m_server->Post("/admin/switch", guarded([this](auto&, auto& response, const QUrlQuery& query) {
        std::string path = param(query, "path"), error;
        auto rule = parseRule(query, &error);
        if (path.empty() || path[0] != '/')
            return replyError(response, 400, "path=/... names the path the switch applies to");
        if (!rule)
            return replyError(response, 400, error);
        m_switches.set({path, *rule});
        reply(response, 200, QJsonObject{{"path", text(path)}, {"rule", text(describeRule(*rule))}});
    }));
    // Without path=, every switch is cleared.
    m_server->Delete("/admin/switch", guarded([this](auto&, auto& response, const QUrlQuery& query) {
        m_switches.clear(param(query, "path"));
        reply(response, 200, QJsonObject{});
    }));
}

void Service::addRecordRoutes()
{
    m_server->Get("/admin/events", guarded([this](auto&, auto& response, const QUrlQuery& query) {
        EventQuery filter{param(query, "event"), param(query, "install"),
                          QString::fromStdString(param(query, "after")).toLongLong(),
                          pageLimit(query, m_options.maxEventBytes)};
        auto rows = m_store.query(filter);
        if (!rows)
            return replyError(response, 503, m_store.error());
        QJsonArray events;
        for (const StoredEvent& stored : *rows)
            events.append(eventJson(stored));
        reply(response, 200, events);
    }));
    m_server->Get("/admin/events/count", guarded([this](auto&, auto& response, auto&) {
        auto count = m_store.count();
        if (!count)
            return replyError(response, 503, m_store.error());
        reply(response, 200, QJsonObject{{"count", qint64(*count)}});
    }));
    m_server->Get("/admin/requests", guarded([this](auto&, auto& response, const QUrlQuery& query) {
        QJsonArray records;
        for (const RequestRecord& record : m_requests.recent(param(query, "path")))
            records.append(requestJson(record));
        reply(response, 200, records);
    }));
    m_server->Delete("/admin/requests", guarded([this](auto&, auto& response, auto&) {
        m_requests.clear();
        reply(response, 200, QJsonObject{});
    }));
}

} // namespace zumo::vendor
