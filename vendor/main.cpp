// zumo-vendor: parses the command line, opens the event store, serves until SIGINT or SIGTERM.
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <thread>

#include "vendor/Service.h"

using namespace zumo::vendor;

namespace {

std::unique_ptr<EventStore> openStore(const Options& options, std::string* error)
{
    if (options.postgres.empty())
        return openSqliteStore(options.sqlitePath, error);
    auto store = openPostgresStore(options.postgres, error);
    // Configuration, manifest and downloads do not need the database: serve them, and refuse
    // events until it answers.
    if (store && !error->empty())
        std::fprintf(stderr, "zumo-vendor: %s; events are refused until it answers\n", error->c_str());
    return store;
}

// Written under a temporary name and renamed, so a waiting test never reads half a number.
bool writePortFile(const std::string& path, int port)
{
    std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << port << '\n';
        if (!out)
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "zumo-vendor: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string message;
    bool helpAsked = false;
    const char* postgres = std::getenv("ZUMO_VENDOR_POSTGRES");
    auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), postgres ? postgres : "", &message,
                                &helpAsked);
    if (!options) {
        std::fputs(message.c_str(), helpAsked ? stdout : stderr);
        std::fputs("\n", helpAsked ? stdout : stderr);
        return helpAsked ? 0 : 2;
    }
    // A peer that hangs up mid-answer must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Blocked in every thread; one thread waits for them and stops the service in order.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    auto store = openStore(*options, &message);
    if (!store)
        return fail(message);
    Service service(*options, *store);
    if (auto error = service.certificateError(); !error.empty())
        return fail(error);
    int port = service.bind();
    if (port < 0)
        return fail("cannot listen on " + options->listen + ":" + std::to_string(options->port));
    if (!options->portFile.empty() && !writePortFile(options->portFile, port))
        return fail("cannot write " + options->portFile);
    std::printf("zumo-vendor: listening on https://%s:%d (events in %s)\n", options->listen.c_str(), port,
                options->postgres.empty() ? options->sqlitePath.c_str() : "PostgreSQL");
    std::fflush(stdout);

    std::thread watcher([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        service.stop();
    });
    bool served = service.run();
    service.stop();
    pthread_kill(watcher.native_handle(), SIGTERM); // wakes the watcher if no signal came
    watcher.join();
    return served ? 0 : fail("the listening socket failed");
}
