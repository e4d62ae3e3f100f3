// The command line of zumo-vendor, read into one value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vendor/Switches.h"

namespace zumo::vendor {

struct Options {
    std::string cert;        // server certificate chain (PEM)
    std::string key;         // its private key (PEM)
    std::string dataDir;     // zumo-config.json, latest.json, optional privacy.html and zumo.html
    std::string releasesDir; // files served under /dl/zumo/; default <data>/releases
    std::string listen = "127.0.0.1";
    int port = 8443;         // 0: any free port (see portFile)
    std::string portFile;    // written once listening, holding the port
    std::string sqlitePath;  // default <data>/events.sqlite3
    std::string postgres;    // a libpq connection string; when set, events go to PostgreSQL
    uint64_t maxEventBytes = 1024 * 1024;
    int threads = 32;
    int connectionsPerAddress = 8; // 0: no limit (behind a proxy, every connection is the proxy's)
    int eventsPerAddressMinute = 600; // 0: no limit
    int eventsPerInstallDay = 2000;   // 0: no limit
    int keepDays = 90;                // events older than this are deleted; 0 keeps them all
    bool admin = false;      // offer /admin/ to loopback clients that show the token
    std::string adminToken;  // read from --admin-token-file
    std::vector<PathRule> switches;
};

// Reads the arguments (without the program name) and the files they name. The PostgreSQL
// connection string comes from --postgres-file or, without it, from postgresEnvironment (the
// value of ZUMO_VENDOR_POSTGRES), never from the command line, where `ps` shows it to everyone.
// None with *message set to the error or, for --help, the usage text (then *helpAsked is true).
std::optional<Options> parseOptions(const std::vector<std::string>& arguments, const std::string& postgresEnvironment,
                                    std::string* message, bool* helpAsked);

} // namespace zumo::vendor
