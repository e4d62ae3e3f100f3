// Reading zumo-vendor's command line: see Options.h.
#include "vendor/Options.h"

#include <QCommandLineParser>
#include <QFile>

namespace zumo::vendor {

namespace {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption cert{"cert", "Server certificate chain (PEM).", "file"};
    QCommandLineOption key{"key", "Private key of the certificate (PEM).", "file"};
    QCommandLineOption data{"data", "Data folder: zumo-config.json, latest.json, privacy.html, zumo.html.", "dir"};
    QCommandLineOption releases{"releases", "Folder served under /dl/zumo/ (default <data>/releases).", "dir"};
    QCommandLineOption listen{"listen", "Address to listen on (default 127.0.0.1).", "address"};
    QCommandLineOption port{"port", "Port (default 8443; 0 picks a free one).", "port"};
    QCommandLineOption portFile{"port-file", "Write the port here once listening.", "file"};
    QCommandLineOption sqlite{"sqlite", "SQLite event store (default <data>/events.sqlite3).", "file"};
    QCommandLineOption postgres{"postgres-file",
                                "Store events in PostgreSQL: the file holds the libpq connection string "
                                "(or set ZUMO_VENDOR_POSTGRES).",
                                "file"};
    QCommandLineOption maxEvent{"max-event-bytes", "Largest accepted event body (default 1048576).", "bytes"};
    QCommandLineOption threads{"threads", "Request threads (default 32).", "count"};
    QCommandLineOption perAddress{"connections-per-address",
                                  "Connections one address may hold at once (default 8; 0: no limit, "
                                  "for a service behind a proxy).",
                                  "count"};
    QCommandLineOption addressRate{"events-per-address-minute",
                                   "Events one address may post a minute (default 600; 0: no limit).", "count"};
    QCommandLineOption installRate{"events-per-install-day",
                                   "Events one installation may post a day (default 2000; 0: no limit).", "count"};
    QCommandLineOption keepDays{"keep-days", "Delete events older than this (default 90; 0 keeps them).", "days"};
    QCommandLineOption admin{"admin", "Offer the admin API under /admin/ to loopback clients with the token."};
    QCommandLineOption adminToken{"admin-token-file",
                                  "The admin API's token (at least 16 characters); required with --admin.", "file"};
    QCommandLineOption switchOption{"switch", "A test switch, e.g. '/api/zumo-config?status=500&delay=100'.", "rule"};

    Parser()
    {
        parser.setApplicationDescription("The Zumo vendor service: configuration, release manifest and files, "
                                         "usage events; HTTPS only.");
        parser.addHelpOption();
        parser.addOptions({cert, key, data, releases, listen, port, portFile, sqlite, postgres, maxEvent, threads,
                           perAddress, addressRate, installRate, keepDays, admin, adminToken, switchOption});
    }
};

std::optional<long long> integer(const QString& text, long long low, long long high)
{
    bool ok = false;
    long long value = text.toLongLong(&ok);
    return ok && value >= low && value <= high ? std::optional(value) : std::nullopt;
}

// Sets *target from the option when it is given and within [low, high].
bool readNumber(Parser& p, const QCommandLineOption& option, long long low, long long high, auto* target,
                std::string* message)
{
    if (!p.parser.isSet(option))
        return true;
    auto value = integer(p.parser.value(option), low, high);
    if (!value) {
        *message = "--" + option.names().first().toStdString() + " takes " + std::to_string(low) + " to " +
                   std::to_string(high);
        return false;
    }
    *target = decltype(+*target)(*value);
    return true;
}

bool readNumbers(Parser& p, Options& options, std::string* message)
{
    return readNumber(p, p.port, 0, 65535, &options.port, message) &&
           readNumber(p, p.maxEvent, 1, 1LL << 30, &options.maxEventBytes, message) &&
           readNumber(p, p.threads, 1, 1024, &options.threads, message) &&
           readNumber(p, p.perAddress, 0, 100000, &options.connectionsPerAddress, message) &&
           readNumber(p, p.addressRate, 0, 100000000, &options.eventsPerAddressMinute, message) &&
           readNumber(p, p.installRate, 0, 100000000, &options.eventsPerInstallDay, message) &&
           readNumber(p, p.keepDays, 0, 100000, &options.keepDays, message);
}

// A secret from a file, trimmed; none with *message set when it cannot be read or is empty.
std::optional<std::string> secretFile(const QString& path, const char* what, std::string* message)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *message = "cannot read " + std::string(what) + " from " + path.toStdString();
        return std::nullopt;
    }
    std::string text = file.read(64 * 1024).trimmed().toStdString();
    if (text.empty())
        *message = path.toStdString() + " holds no " + what;
    return text.empty() ? std::nullopt : std::optional(text);
}

bool readSecrets(Parser& p, Options& options, const std::string& postgresEnvironment, std::string* message)
{
    options.postgres = postgresEnvironment;
    if (p.parser.isSet(p.postgres)) {
        auto conninfo = secretFile(p.parser.value(p.postgres), "a PostgreSQL connection string", message);
        if (!conninfo)
            return false;
        options.postgres = *conninfo;
    }
    options.admin = p.parser.isSet(p.admin);
    if (!options.admin)
        return true;
    if (!p.parser.isSet(p.adminToken)) {
        *message = "--admin needs --admin-token-file";
        return false;
    }
    auto token = secretFile(p.parser.value(p.adminToken), "admin token", message);
    if (token && token->size() < 16)
        *message = "the admin token must have at least 16 characters";
    if (!token || token->size() < 16)
        return false;
    options.adminToken = *token;
    return true;
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, const std::string& postgresEnvironment,
                                    std::string* message, bool* helpAsked)
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
    if (!readNumbers(p, options, message) || !readSecrets(p, options, postgresEnvironment, message))
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
