// Reading zumo-vendor's command line: see Options.h.
#include "vendor/Options.h"

#include <QCommandLineParser>

namespace zumo::vendor {

namespace {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption cert{"cert", "Server certificate chain (PEM).", "file"};
    QCommandLineOption key{"key", "Private key of the certificate (PEM).", "file"};
    QCommandLineOption data{"data", "Data folder: zumo-config.json, latest.json, latest.json.sig, privacy.html, zumo.html.", "dir"};
    QCommandLineOption releases{"releases", "Folder served under /dl/zumo/ (default <data>/releases).", "dir"};
    QCommandLineOption listen{"listen", "Address to listen on (default 127.0.0.1).", "address"};
    QCommandLineOption port{"port", "Port (default 8443; 0 picks a free one).", "port"};
    QCommandLineOption portFile{"port-file", "Write the port here once listening.", "file"};
    QCommandLineOption sqlite{"sqlite", "SQLite event store (default <data>/events.sqlite3).", "file"};
    QCommandLineOption postgres{"postgres", "Store events in PostgreSQL (libpq connection string).", "conninfo"};
    QCommandLineOption maxEvent{"max-event-bytes", "Largest accepted event body (default 1048576).", "bytes"};
    QCommandLineOption threads{"threads", "Request threads (default 32).", "count"};
    QCommandLineOption admin{"admin", "Offer the admin API under /admin/ to loopback clients."};
    QCommandLineOption switchOption{"switch", "A test switch, e.g. '/api/zumo-config?status=500&delay=100'.", "rule"};

    Parser()
    {
        parser.setApplicationDescription("The Zumo vendor service: configuration, release manifest and files, "
                                         "usage events; HTTPS only.");
        parser.addHelpOption();
        parser.addOptions({cert, key, data, releases, listen, port, portFile, sqlite, postgres, maxEvent, threads,
                           admin, switchOption});
    }
};

std::optional<long long> integer(const QString& text, long long low, long long high)
{
    bool ok = false;
    long long value = text.toLongLong(&ok);
    return ok && value >= low && value <= high ? std::optional(value) : std::nullopt;
}

bool readNumbers(Parser& p, Options& options, std::string* message)
{
    auto port = integer(p.parser.value(p.port), 0, 65535);
    auto maxEvent = integer(p.parser.value(p.maxEvent), 1, 1LL << 30);
    auto threads = integer(p.parser.value(p.threads), 1, 1024);
    if (p.parser.isSet(p.port) && !port)
        *message = "--port takes 0 to 65535";
    else if (p.parser.isSet(p.maxEvent) && !maxEvent)
        *message = "--max-event-bytes takes 1 to 1073741824";
    else if (p.parser.isSet(p.threads) && !threads)
        *message = "--threads takes 1 to 1024";
    else {
        options.port = port.value_or(options.port);
        options.maxEventBytes = uint64_t(maxEvent.value_or(qint64(options.maxEventBytes)));
        options.threads = int(threads.value_or(options.threads));
        return true;
    }
    return false;
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string* message, bool* helpAsked)
{
    Parser p;
    QStringList args{QStringLiteral("zumo-vendor")};
    for (const std::string& argument : arguments)
        args << QString::fromStdString(argument);
    *helpAsked = false;
    if (!p.parser.parse(args)) {
        *message = p.parser.errorText().toStdString();
        return std::nullopt;
    }
    if (p.parser.isSet(QStringLiteral("help"))) {
        *helpAsked = true;
        *message = p.parser.helpText().toStdString();
        return std::nullopt;
    }
    Options options;
    auto text = [&](const QCommandLineOption& option) { return p.parser.value(option).toStdString(); };
    options.cert = text(p.cert);
    options.key = text(p.key);
    options.dataDir = text(p.data);
    if (options.cert.empty() || options.key.empty() || options.dataDir.empty()) {
        *message = "--cert, --key and --data are required (see --help)";
        return std::nullopt;
    }
    options.releasesDir = p.parser.isSet(p.releases) ? text(p.releases) : options.dataDir + "/releases";
    options.listen = p.parser.isSet(p.listen) ? text(p.listen) : options.listen;
    options.portFile = text(p.portFile);
    options.sqlitePath = p.parser.isSet(p.sqlite) ? text(p.sqlite) : options.dataDir + "/events.sqlite3";
    options.postgres = text(p.postgres);
    options.admin = p.parser.isSet(p.admin);
    if (!readNumbers(p, options, message))
        return std::nullopt;
    for (const QString& rule : p.parser.values(p.switchOption)) {
        auto parsed = parsePathRule(rule.toStdString(), message);
        if (!parsed)
            return std::nullopt;
        options.switches.push_back(*parsed);
    }
    return options;
}

} // namespace zumo::vendor
