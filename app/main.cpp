// The process entry: the command line, the X11 display check, then the switcher's event loop.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "app/Application.h"
#include "app/Demos.h"

namespace {

const char* const Usage =
    "Usage: zumo [--help] [--version] [--telemetry-demo] [--remote-config-demo]\n"
    "\n"
    "Zumo is a keyboard window switcher. Hold Alt (or Control) and press Tab to see your\n"
    "windows, most recently used first; release to bring the chosen one to the front.\n"
    "In the panel: Tab/Shift+Tab or the arrow keys move, 1-9 jump, / searches, Esc cancels,\n"
    "Q quits the app, W closes the window, M minimises, H hides, L R T B F C snap it.\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this help and exit\n"
    "  -v, --version   show the version and exit\n"
    "  --telemetry-demo      print the usage-event payload as JSON and exit (nothing is sent)\n"
    "  --remote-config-demo  fetch the remote configuration, print it and exit\n";

int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] auto written = write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop normally, so settings and log lines are saved.
void quitOnSignals(QApplication& app)
{
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action{};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
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

} // namespace

int main(int argc, char** argv)
{
    if (const int status = zumo::runDemoIfAsked(argc, argv); status >= 0)
        return status;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("zumo %s\n", ZUMO_VERSION);
            return 0;
        }
        std::fprintf(stderr, "zumo: unknown option '%s'\n\n%s", argv[i], Usage);
        return 2;
    }
    if (!displayReachable())
        return 1;
    // The panel and the key grabs must live on the same X11 desktop as the windows.
    qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zumo"));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals(app);

    zumo::Application zumoApp;
    QString error;
    if (!zumoApp.start(error)) {
        std::fprintf(stderr, "zumo: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("zumo: switcher ready - hold Alt and press Tab\n");
    std::fflush(stdout);
    // Leaving main destroys zumoApp first, which saves pending settings and log lines.
    return app.exec();
}
