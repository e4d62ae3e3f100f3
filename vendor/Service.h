// The vendor web service: the routes the application uses (configuration, release manifest and
// files, events, privacy and product pages), the test switches in front of them, and the
// loopback-only admin API.
#pragma once

#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>

#include <QUrlQuery>

#include "vendor/Answer.h"
#include "vendor/ConnectionGuard.h"
#include "vendor/EventWriter.h"
#include "vendor/Options.h"
#include "vendor/RateLimiter.h"
#include "vendor/RequestLog.h"
#include "vendor/Switches.h"
#include "vendor/Transmit.h"

namespace httplib {
class SSLServer;
class ContentReader;
struct Request;
struct Response;
} // namespace httplib

namespace zumo::vendor {

class Service {
public:
    Service(const Options& options, EventStore& store);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Empty when the certificate and key were loaded; else what is wrong with them.
    std::string certificateError() const;
    // Binds the listening socket; the port it got (the asked one, or a free one for 0), or -1.
    int bind();
    // Serves until stop(). False when the socket failed.
    bool run();
    // Any thread (the signal watcher): ends delays and drips at once, then the server.
    void stop();

private:
    using Route = std::function<Answer(const httplib::Request&, const std::optional<Rule>&)>;
    void get(const std::string& pattern, Route route);
    void handle(const httplib::Request& request, httplib::Response& response, const Route& route);
    void addPublicRoutes();
    void addAdminRoutes();
    void addSwitchRoutes(); // set, clear and list test switches
    void addRecordRoutes(); // stored events and recent requests
    using AdminHandler = std::function<void(const httplib::Request&, httplib::Response&, const QUrlQuery&)>;
    // Loopback and the token, or an error answer.
    std::function<void(const httplib::Request&, httplib::Response&)> guarded(AdminHandler handler) const;
    void setLimits();
    void receiveEvent(const httplib::Request& request, httplib::Response& response,
                      const httplib::ContentReader& reader);
    bool eventAllowed(const std::string& address, const std::string& install);

    Answer dataFile(const std::string& name, const std::string& contentType, const httplib::Request& request) const;
    Answer releaseFile(const std::string& name) const;
    Answer page(const std::string& name) const;
    Answer postEvent(std::string body, const httplib::Request& request, const std::optional<Rule>& rule);

    Options m_options;
    EventStore& m_store;
    EventWriter m_writer;
    Switches m_switches;
    RequestLog m_requests{1000};
    StopSignal m_stop;
    std::mutex m_limitsMutex;
    RateLimiter m_perAddress;
    RateLimiter m_perInstall;
    ConnectionGuard m_guard; // outlives the server, whose workers it runs
    std::unique_ptr<httplib::SSLServer> m_server;
    int m_listenSocket = -1;
};

// Milliseconds since 1970 UTC, now.
int64_t nowMs();

} // namespace zumo::vendor
