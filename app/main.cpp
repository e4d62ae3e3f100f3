// The process entry: the command line, a hand-over to a Zumo already running, the X11 display
// check, then the application's event loop.
#include <QApplication>
#include <QSocketNotifier>
#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <optional>
#include <cstdio>
#include <cstring>
#include <variant>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/Demos.h"
#include "app/UpdateHelper.h"
#include "app/UpdateLink.h"
#include "platform/AppVersion.h"
#include "desktop/gnome/GnomeSetup.h"
#include "desktop/wayland/WaylandSession.h"
#include "shell/Autostart.h"
#include "control/ControlClaim.h"
#include "control/ControlClient.h"
#include "control/ControlServer.h"
#include "telemetry/EventSender.h"

namespace {

const char* const Usage =
    "Usage: zumo [--help] [--version] [--login] [--sync] [--list] [--activate ID [TAB]]\n"
    "            [--next] [--prev] [--print-config COMPOSITOR] [--check-updates]\n"
    "            [--telemetry-demo] [--remote-config-demo]\n"
    "\n"
    "Zumo is a keyboard window switcher. Hold Alt (or Control) and press Tab to see your\n"
    "windows, most recently used first; release to bring the chosen one to the front.\n"
    "In the panel: Tab/Shift+Tab or the arrow keys move, 1-9 jump, / searches, Esc cancels,\n"
    "Q quits the app, W closes the window, M minimises, H hides, L R T B F C snap it.\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this help and exit\n"
    "  -v, --version   show the version and exit\n"
    "  --login         started at login (by the autostart entry): open no window\n"
    "  --list          print the windows the switcher would show now, one JSON object a line\n"
    "  --activate ID   bring window ID (as --list prints it) to the front; with TAB, the\n"
    "                  browser tab of that number in it (its tab \"number\" in --list)\n"
    "  --check-updates ask the running Zumo to check for a new version now, as its menu does\n"
    "  --sync          return once the running Zumo has handled everything sent to it so far\n"
    "  --next, --prev  on Wayland: what the compositor's Alt+Tab (Alt+Shift+Tab) binding runs\n"
    "  --print-config COMPOSITOR  print the lines that start Zumo and bind Alt+Tab, for sway,\n"
    "                  wayfire, labwc, hyprland or river; for gnome, the command that turns\n"
    "                  on Zumo's GNOME Shell extension\n"
    "  --telemetry-demo      print the usage-event payload as JSON and exit (nothing is sent)\n"
    "  --remote-config-demo  fetch the remote configuration, print it and exit\n"
    "\n"
    "Started while Zumo runs, zumo asks the running one to show its settings and exits.\n"
    "Exit status: 0 done, 1 refused by the running Zumo, 2 bad usage, 3 no Zumo running,\n"
    "4 no answer in time.\n";

// Seconds a client command waits for the whole answer (a list is built like a switch's).
constexpr int ClientTimeoutMs = 10000;

int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] auto written = write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP (the terminal Zumo was started from closing) end the event loop
// normally, so settings, pending counts and log lines are saved.
void quitOnSignals(QApplication& app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        // Read, or the notifier fires again in the loops the shutdown turns and ends them early.
        char bytes[16];
        [[maybe_unused]] auto got = read(signalPipe[0], bytes, sizeof bytes);
        // The session is ending: settings and the log still get saved, the network only a moment.
        zumo::hurryQuit();
        zumo::quitApp();
    });
    struct sigaction action{};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// Qt aborts when it cannot reach the display, so the check comes first, with a useful message.
bool displayReachable()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs("zumo: no X11 display: DISPLAY is not set. Zumo switches the windows of an X11\n"
                   "session; start it from one (on Wayland, under XWayland with DISPLAY set).\n",
                   stderr);
        return false;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    if (!ok)
        std::fprintf(stderr, "zumo: cannot open the X11 display '%s'. Is the X server running, and may this user "
                             "connect to it?\n",
                     qgetenv("DISPLAY").constData());
    return ok;
}

int runClient(int argc, char** argv, const zumo::ControlRequest& request)
{
    QCoreApplication app(argc, argv);
    const zumo::ControlOutcome outcome =
        zumo::sendControlRequest(zumo::controlSocketPath(), request, ClientTimeoutMs);
    std::fwrite(outcome.output.constData(), 1, std::size_t(outcome.output.size()), stdout);
    if (outcome.exitCode != zumo::ControlOk)
        std::fprintf(stderr, "zumo: %s\n", qPrintable(outcome.error));
    return outcome.exitCode;
}

// A second launch hands over to the Zumo that holds the claim: its answer. That Zumo binds its
// socket right after taking the lock, and a connection waits in the socket's queue until its
// event loop runs. At login it only checks, since a login launch never opens a window.
zumo::ControlOutcome handOver(int argc, char** argv, bool loginLaunch)
{
    QCoreApplication app(argc, argv);
    const zumo::ControlVerb verb = loginLaunch ? zumo::ControlVerb::sync : zumo::ControlVerb::showSettings;
    zumo::ControlOutcome outcome = zumo::sendControlRequest(zumo::controlSocketPath(), {verb}, ClientTimeoutMs);
    // The lock is taken a moment before the socket is bound.
    for (int i = 0; i < 20 && outcome.exitCode == zumo::ControlNotRunning; ++i) {
        usleep(50000);
        outcome = zumo::sendControlRequest(zumo::controlSocketPath(), {verb}, ClientTimeoutMs);
    }
    return outcome;
}

// The claim, or the exit code of handing over to its holder. A holder that never answers, or
// hangs up unanswered, may be no Zumo at all: a child of a Zumo just killed holds its lock and
// socket from its fork until its exec closes them. The claim is tried again once.
std::variant<zumo::ControlClaim, int> claimOrHandOver(int argc, char** argv, bool loginLaunch)
{
    zumo::ControlClaim claim = zumo::ControlClaim::take(zumo::controlSocketPath());
    if (claim.state() != zumo::ControlClaim::State::taken)
        return claim;
    const zumo::ControlOutcome outcome = handOver(argc, argv, loginLaunch);
    if (outcome.exitCode == zumo::ControlOk) {
        std::puts(loginLaunch ? "zumo: already running" : "zumo: already running; asked it to show its settings");
        return 0;
    }
    if (outcome.exitCode == zumo::ControlNotRunning || outcome.exitCode == zumo::ControlNoAnswer) {
        claim = zumo::ControlClaim::take(zumo::controlSocketPath());
        if (claim.state() != zumo::ControlClaim::State::taken)
            return claim;
    }
    std::fprintf(stderr, "zumo: already running, but: %s\n", qPrintable(outcome.error));
    return outcome.exitCode;
}

// What the command line asks for: a client request, an exit at once, or (neither) the switcher.
struct CommandLine {
    std::optional<zumo::ControlRequest> request;
    std::optional<int> exitCode;
    bool loginLaunch = false;
};

int printConfig(const char* compositor)
{
    const QString name = QString::fromUtf8(compositor);
    const std::optional<QString> lines = name.compare(QLatin1String("gnome"), Qt::CaseInsensitive) == 0
                                             ? zumo::gnome::enableCommand() + QLatin1Char('\n')
                                             : zumo::wayland::bindingLines(name);
    if (!lines) {
        std::fprintf(stderr, "zumo: --print-config takes sway, wayfire, labwc, hyprland, river or gnome\n");
        return 2;
    }
    std::fputs(qPrintable(*lines), stdout);
    return 0;
}

bool waylandSession()
{
    return zumo::wayland::chooseBackend(qgetenv("ZUMO_BACKEND"), qgetenv("WAYLAND_DISPLAY"),
                                        qgetenv("XDG_SESSION_TYPE"),
                                        qgetenv("DISPLAY")) == zumo::wayland::Backend::wayland;
}

CommandLine parseCommandLine(int argc, char** argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            std::fputs(Usage, stdout);
            return {std::nullopt, 0};
        }
        if (!std::strcmp(arg, "--version") || !std::strcmp(arg, "-v")) {
            std::printf("zumo %s\n", qPrintable(zumo::runningVersion()));
            return {std::nullopt, 0};
        }
        if (!std::strcmp(arg, zumo::LoginFlag)) {
            line.loginLaunch = true;
            continue;
        }
        if (!std::strcmp(arg, "--print-config"))
            return {std::nullopt, printConfig(i + 1 < argc ? argv[i + 1] : "")};
        const bool activate = !std::strcmp(arg, "--activate");
        const bool trigger = !std::strcmp(arg, "--next") || !std::strcmp(arg, "--prev");
        if (line.request || !(activate || trigger || !std::strcmp(arg, "--sync") || !std::strcmp(arg, "--list") ||
                             !std::strcmp(arg, "--check-updates"))) {
            std::fprintf(stderr, "zumo: unknown option '%s'\n\n%s", arg, Usage);
            return {std::nullopt, 2};
        }
        QByteArray words = activate ? (i + 1 < argc ? QByteArray("activate ") + argv[++i] : "activate")
                                    : QByteArray(arg + 2);
        // A tab number may follow the window id.
        if (activate && i + 1 < argc && argv[i + 1][0] != '-')
            words += QByteArray(" ") + argv[++i];
        const zumo::ParsedRequest parsed = zumo::parseRequest(words);
        if (!parsed.request) {
            std::fprintf(stderr, "zumo: %s\n", qPrintable(parsed.error));
            return {std::nullopt, 2};
        }
        line.request = parsed.request;
    }
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything else: the helper of this version, whatever an update does to the folder later.
    zumo::openUpdateHelper();
    // A copy installed by an update runs as the version its signed install folder names.
    zumo::setRunningVersion(zumo::runningVersionFor(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))));
    if (const int status = zumo::runDemoIfAsked(argc, argv); status >= 0)
        return status;
    const CommandLine line = parseCommandLine(argc, argv);
    if (line.exitCode)
        return *line.exitCode;
    if (line.request)
        return runClient(argc, argv, *line.request);
    if (const int status = zumo::finishSwapStartedBeside(argc, argv); status >= 0)
        return status;
    // Claimed before anything else, so that of two launches at once only one goes on.
    std::variant<zumo::ControlClaim, int> claimed = claimOrHandOver(argc, argv, line.loginLaunch);
    if (const int* exitCode = std::get_if<int>(&claimed))
        return *exitCode;
    zumo::ControlClaim claim = std::move(std::get<zumo::ControlClaim>(claimed));
    const bool wayland = waylandSession();
    if (!wayland && !displayReachable())
        return 1;
    // The panel and the key grabs must live on the same X11 desktop as the windows. On Wayland
    // the panel has a connection of its own; Zumo's other windows go wherever Qt can show them.
    if (!wayland)
        qputenv("QT_QPA_PLATFORM", "xcb");
    else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "wayland;xcb;offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zumo"));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals(app);

    zumo::Application zumoApp(line.loginLaunch, wayland, std::move(claim));
    QString error;
    if (!zumoApp.start(error)) {
        std::fprintf(stderr, "zumo: %s\n", qPrintable(error));
        return 1;
    }
    // Leaving main destroys zumoApp first, which saves pending settings and log lines.
    return app.exec();
}
