// The public routes of the vendor service: see Service.h.
#include "vendor/Service.h"

#include <QCryptographicHash>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <sys/socket.h>

namespace zumo::vendor {

namespace {

// Configuration and manifest are small; anything bigger in the data folder is a mistake.
constexpr uint64_t MaxDataFileBytes = 16 * 1024 * 1024;
// Events wait for the writer in memory only up to this many.
constexpr size_t MaxQueuedEvents = 20000;
// Our own clients send a dozen header lines; a request with more is refused.
constexpr size_t MaxHeaderLines = 64;
// No route but POST /api/t takes a body beyond a few bytes (admin calls carry none).
constexpr uint64_t MaxOtherBodyBytes = 4096;
// Headers, request line and TLS framing on top of the largest event body.
constexpr uint64_t RequestOverheadBytes = 128 * 1024;
// An event a little over the cap is read and dropped, so that its sender gets the 413 (closing
// on unread bytes resets the connection, and the answer with it); a larger one is not read.
constexpr uint64_t DrainBytes = 64 * 1024;
constexpr int KeepAliveRequests = 100;
constexpr int KeepAliveIdleSec = 5;
constexpr int IoTimeoutSec = 5;

// cpp-httplib adds the peer's and our own address as if they were headers.
constexpr size_t AddedHeaders = 4;

void refuse(httplib::Response& response, int status, const std::string& text)
{
    response.status = status;
    // Whatever the client still sends is not read: the connection cannot carry another request.
    response.set_header("Connection", "close");
    response.set_content(text, "text/plain; charset=utf-8");
}

uint64_t declaredLength(const httplib::Request& request)
{
    return QString::fromStdString(request.get_header_value("Content-Length")).toULongLong();
}

// Status 0 when the request's framing is acceptable for its route, before its body is read.
int framingRefusal(const httplib::Request& request, bool eventRoute, uint64_t maxEventBytes)
{
    if (request.headers.size() > MaxHeaderLines + AddedHeaders)
        return 431;
    // Our client never compresses; a compressed body would be held decoded, bigger than sent.
    std::string encoding = request.get_header_value("Content-Encoding");
    if (!encoding.empty() && encoding != "identity")
        return 415;
    uint64_t cap = eventRoute ? maxEventBytes + DrainBytes : MaxOtherBodyBytes;
    if (declaredLength(request) > cap)
        return 413;
    if (!eventRoute && request.has_header("Transfer-Encoding"))
        return 413;
    return 0;
}

std::optional<std::string> readSmallFile(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) > MaxDataFileBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in.bad() ? std::nullopt : std::optional(bytes);
}

std::string entityTag(const std::string& bytes)
{
    QByteArray digest = QCryptographicHash::hash(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())),
                                                 QCryptographicHash::Sha256);
    // Joined as bytes: GCC 12 at -O3 takes "\"" + std::string&& for an overlapping copy (-Werror=restrict).
    const QByteArray tag = '"' + digest.toHex().left(32) + '"';
    return tag.toStdString();
}

// If-None-Match holds a list of tags (weak ones with W/) or "*".
bool tagMatches(const std::string& ifNoneMatch, const std::string& tag)
{
    for (const QString& item : QString::fromStdString(ifNoneMatch).split(u',')) {
        QString candidate = item.trimmed();
        if (candidate.startsWith(QLatin1String("W/")))
            candidate = candidate.mid(2);
        if (candidate == u"*" || candidate.toStdString() == tag)
            return true;
    }
    return false;
}

bool plainFileName(const std::string& name)
{
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

} // namespace

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

Service::Service(const Options& options, EventStore& store)
    : m_options(options), m_store(store),
      m_writer(store, MaxQueuedEvents, WriterTiming{.keepDays = options.keepDays}),
      m_perAddress(options.eventsPerAddressMinute * 24.0 * 60, options.eventsPerAddressMinute / 6.0 + 10),
      m_perInstall(options.eventsPerInstallDay, options.eventsPerInstallDay / 10.0 + 10),
      m_guard(GuardLimits{.workers = options.threads,
                          .requestBytes = options.maxEventBytes + RequestOverheadBytes,
                          .connectionsPerAddress = options.connectionsPerAddress}),
      m_server(std::make_unique<httplib::SSLServer>(options.cert.c_str(), options.key.c_str()))
{
    for (const PathRule& rule : options.switches)
        m_switches.set(rule);
    setLimits();
    if (options.admin)
        addAdminRoutes();
    addPublicRoutes();
}

void Service::setLimits()
{
    if (m_server->is_valid())
        m_guard.watch(m_server->ssl_context());
    m_server->new_task_queue = [this] { return m_guard.newWorkers(); };
    m_server->set_payload_max_length(m_options.maxEventBytes);
    // cpp-httplib closes a connection after 5 requests by default, and a new TLS handshake
    // costs more than storing an event; but no client keeps a worker for good.
    m_server->set_keep_alive_max_count(KeepAliveRequests);
    m_server->set_keep_alive_timeout(KeepAliveIdleSec);
    // An answer goes out as several writes (headers, body, TLS records): with Nagle on, the last
    // waits for the client's delayed acknowledgement, 40 ms on Linux.
    m_server->set_tcp_nodelay(true);
    m_server->set_socket_options([this](socket_t sock) {
        httplib::default_socket_options(sock);
        m_listenSocket = sock;
    });
    m_server->set_read_timeout(IoTimeoutSec);
    m_server->set_write_timeout(IoTimeoutSec);
    m_server->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        bool eventRoute = request.method == "POST" && request.path == "/api/t";
        if (int status = framingRefusal(request, eventRoute, m_options.maxEventBytes); status && !eventRoute) {
            refuse(response, status, "refused: see the status\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_server->set_post_routing_handler([](const httplib::Request&, httplib::Response&) { ConnectionGuard::answered(); });
}

Service::~Service() = default;

std::string Service::certificateError() const
{
    return m_server->is_valid() ? std::string()
                                : "cannot use the certificate " + m_options.cert + " with the key " + m_options.key;
}

int Service::bind()
{
    const int port = m_options.port == 0 ? m_server->bind_to_any_port(m_options.listen)
                                         : (m_server->bind_to_port(m_options.listen, m_options.port) ? m_options.port : -1);
    // The library listens with a backlog of 5: a front end opening a few dozen connections at
    // once has the rest of its handshakes dropped, and each waits for the kernel's retry a second
    // later, or fails at its connect timeout. Listening again on the bound socket only sets the
    // longer queue.
    if (port > 0 && m_listenSocket >= 0)
        ::listen(m_listenSocket, SOMAXCONN);
    return port;
}

bool Service::run()
{
    return m_server->listen_after_bind();
}

void Service::stop()
{
    m_stop.stop();
    m_server->stop();
}

void Service::get(const std::string& pattern, Route route)
{
    m_server->Get(pattern, [this, route](const httplib::Request& request, httplib::Response& response) {
        handle(request, response, route);
    });
}

void Service::handle(const httplib::Request& request, httplib::Response& response, const Route& route)
{
    ConnectionGuard::answering();
    if (m_options.admin)
        m_requests.record(request, nowMs());
    std::optional<Rule> rule = m_switches.take(request.path);
    Answer answer = route(request, rule);
    transmit(rule ? switched(std::move(answer), *rule) : answer, response, m_stop);
}

void Service::addPublicRoutes()
{
    get("/api/zumo-config", [this](const httplib::Request& request, const std::optional<Rule>&) {
        return dataFile("zumo-config.json", "application/json", request);
    });
    get("/dl/zumo/latest.json", [this](const httplib::Request& request, const std::optional<Rule>&) {
        return dataFile("latest.json", "application/json", request);
    });
    // The manifest's seal is published with it, in the data folder.
    get("/dl/zumo/latest.json.sig", [this](const httplib::Request& request, const std::optional<Rule>&) {
        return dataFile("latest.json.sig", "text/plain", request);
    });
    get(R"(/dl/zumo/([^/]+))", [this](const httplib::Request& request, const std::optional<Rule>&) {
        return releaseFile(request.matches[1]);
    });
    get("/privacy", [this](const httplib::Request&, const std::optional<Rule>&) { return page("privacy"); });
    get("/zumo", [this](const httplib::Request&, const std::optional<Rule>&) { return page("zumo"); });
    m_server->Post("/api/t", [this](const httplib::Request& request, httplib::Response& response,
                                    const httplib::ContentReader& reader) { receiveEvent(request, response, reader); });
}

// The body is read here, in pieces, and never past the cap, however it is framed (a stated
// length or chunks); compressed bodies are refused before a byte of them is read.
void Service::receiveEvent(const httplib::Request& request, httplib::Response& response,
                           const httplib::ContentReader& reader)
{
    if (int status = framingRefusal(request, true, m_options.maxEventBytes))
        return refuse(response, status, status == 415 ? "send the event uncompressed\n" : "the event is too large\n");
    std::string body;
    bool tooLarge = false;
    bool read = reader([&](const char* data, size_t length) {
        tooLarge = body.size() + length > m_options.maxEventBytes;
        if (!tooLarge)
            body.append(data, length);
        return !tooLarge;
    });
    tooLarge = tooLarge || declaredLength(request) > m_options.maxEventBytes; // drained by cpp-httplib
    if (!read)
        return refuse(response, tooLarge ? 413 : 400, tooLarge ? "the event is too large\n" : "the body was cut short\n");
    handle(request, response, [this, &body](const httplib::Request& r, const std::optional<Rule>& rule) {
        return postEvent(std::move(body), r, rule);
    });
}

bool Service::eventAllowed(const std::string& address, const std::string& install)
{
    int64_t now = nowMs();
    std::lock_guard lock(m_limitsMutex);
    return m_perAddress.allow(address, now) && (install.empty() || m_perInstall.allow(install, now));
}

Answer Service::dataFile(const std::string& name, const std::string& contentType,
                         const httplib::Request& request) const
{
    auto bytes = readSmallFile(std::filesystem::path(m_options.dataDir) / name);
    if (!bytes)
        return textAnswer(404, name + " is not in the data folder\n");
    Answer answer = textAnswer(200, std::move(*bytes), contentType);
    std::string tag = entityTag(answer.text);
    // The application asks without a cache, but a proxy or another client may revalidate.
    answer.headers = {{"ETag", tag}, {"Cache-Control", "no-cache"}};
    if (request.has_header("If-None-Match") && tagMatches(request.get_header_value("If-None-Match"), tag)) {
        answer.status = 304;
        answer.text.clear();
    }
    return answer;
}

Answer Service::releaseFile(const std::string& name) const
{
    if (!plainFileName(name))
        return textAnswer(404, "no such release file\n");
    std::filesystem::path path = std::filesystem::path(m_options.releasesDir) / name;
    std::error_code error;
    // A symbolic link could point anywhere on the machine: only plain files are served.
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
        return textAnswer(404, "no such release file\n");
    Answer answer = textAnswer(200, {}, path.extension() == ".json" ? "application/json" : "application/octet-stream");
    answer.file = path.string();
    answer.fileSize = std::filesystem::file_size(path, error);
    return error ? textAnswer(404, "no such release file\n") : answer;
}

Answer Service::postEvent(std::string body, const httplib::Request& request, const std::optional<Rule>& rule)
{
    // A switched failure refuses the event, as a failing service would; the client must not
    // count it as delivered, and the test sees it was not kept.
    if (rule && rule->refuses())
        return textAnswer(204, {});
    std::optional<Event> event = readEvent(std::move(body), nowMs());
    if (!event)
        return textAnswer(400, "the body is not a JSON object\n");
    if (!eventAllowed(request.remote_addr, event->install)) {
        Answer limited = textAnswer(429, "too many events from here, try later\n");
        limited.headers = {{"Retry-After", "60"}};
        return limited;
    }
    switch (m_writer.submit(std::move(*event))) {
    case EventWriter::Outcome::Stored:
        return textAnswer(204, {});
    case EventWriter::Outcome::Busy: {
        Answer busy = textAnswer(503, "too many events at once, try later\n");
        busy.headers = {{"Retry-After", "1"}};
        return busy;
    }
    case EventWriter::Outcome::Unavailable: {
        Answer unavailable = textAnswer(503, "events cannot be stored now, try later\n");
        unavailable.headers = {{"Retry-After", "30"}};
        return unavailable;
    }
    case EventWriter::Outcome::Failed:
        break;
    }
    std::fprintf(stderr, "zumo-vendor: event not stored: %s\n", m_store.error().c_str());
    return textAnswer(503, "the event could not be stored\n");
}

} // namespace zumo::vendor
