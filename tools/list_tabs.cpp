// list_tabs: the rows the switcher would show with browser tabs on, over the real X11 desktop and
// accessibility bus, one JSON object per line; for trying browsers by hand (scripts/try-firefox-tabs).
//   list_tabs [--announce] [--wait SECONDS] [--select N]
// --announce first turns accessibility on as "listTabs" does (IsEnabled only), and back at exit;
// --wait keeps looking until some tab rows appear (a busy browser may miss a time-out once);
// --select N chooses the N-th tab row (from 0) as the switcher would, then lists again.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <unistd.h>

#include "inventory/DesktopActions.h"
#include "inventory/Inventory.h"
#include "desktop/atspi/AtspiParts.h"
#include "desktop/atspi/AtspiStatus.h"
#include "desktop/atspi/PartsOverlay.h"
#include "desktop/x11/X11Accessibility.h"
#include "desktop/x11/X11Actions.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Screens.h"
#include "desktop/x11/X11WindowModel.h"
#include "desktop/x11/X11WindowServer.h"
#include "desktop/x11/X11Workspace.h"

using namespace zumo;
using namespace zumo::x11;

namespace {

struct Options {
    bool announce = false;
    double wait = 0;
    int select = -1;
};

Options parse(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--announce"))
            options.announce = true;
        else if (arguments[i] == QLatin1String("--wait") && i + 1 < arguments.size())
            options.wait = arguments[++i].toDouble();
        else if (arguments[i] == QLatin1String("--select") && i + 1 < arguments.size())
            options.select = arguments[++i].toInt();
    }
    return options;
}

std::vector<Entry> rows(Workspace& workspace, Accessibility& ax, WindowServer& server)
{
    SystemClock clock;  // a fresh inventory: nothing remembered from the last look
    Inventory inventory(workspace, ax, server, clock, InventoryPrefs{});
    BuildOptions options;
    options.tabs = true;
    return inventory.buildEntries(workspace.runningApplications(), options);
}

void print(const std::vector<Entry>& entries, Accessibility& ax)
{
    for (const Entry& entry : entries) {
        QJsonObject row{{QStringLiteral("title"), entry.title},
                        {QStringLiteral("app"), entry.app.bundleId},
                        {QStringLiteral("pid"), qint64(entry.app.pid)},
                        {QStringLiteral("tab"), bool(entry.tab)}};
        if (entry.tab) {
            row.insert(QStringLiteral("window"), entry.windowTitle);
            row.insert(QStringLiteral("selected"), ax.number(*entry.tab, QStringLiteral("AXValue")) == 1.0);
        }
        std::printf("%s\n", QJsonDocument(row).toJson(QJsonDocument::Compact).constData());
    }
    std::fflush(stdout);
}

bool hasTabs(const std::vector<Entry>& entries)
{
    return std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return e.tab.has_value(); });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options = parse(app.arguments());
    QString error;
    auto connection = X11Connection::open(error);
    if (!connection) {
        std::fprintf(stderr, "list_tabs: %s\n", qPrintable(error));
        return 1;
    }
    SystemClock clock;
    X11WindowModel model(*connection);
    X11Actions actions(model);
    X11Workspace workspace(model, actions);
    atspi::AtspiParts parts(clock, TabCollector::maxAge);
    // The launcher keeps the switch in the user's settings: put back as Zumo does, at exit.
    QTemporaryDir noteDir;
    atspi::AtspiStatus status(parts.bus(), noteDir.filePath(QStringLiteral("accessibility-changed.json")));
    struct PutBack {
        atspi::AtspiStatus& status;
        ~PutBack() { status.setWanted(false); }
    } putBack{status};
    if (options.announce)
        status.setWanted(true);
    X11Accessibility windows(model, actions);
    atspi::PartsOverlay ax(windows, parts, [&windows](ElementRef element) { return windows.facts(element); });
    X11WindowServer server(model, connection->displayName());
    X11Screens screens(model);

    QDeadlineTimer deadline(qint64(options.wait * 1000));
    std::vector<Entry> entries = rows(workspace, ax, server);
    while (!hasTabs(entries) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 500);
        QThread::msleep(500);
        entries = rows(workspace, ax, server);
    }
    print(entries, ax);
    if (options.select < 0)
        return hasTabs(entries) ? 0 : 2;

    std::vector<Entry> tabs;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(tabs), [](const Entry& e) { return e.tab; });
    if (options.select >= int(tabs.size())) {
        std::fprintf(stderr, "list_tabs: there is no tab row %d\n", options.select);
        return 2;
    }
    Inventory inventory(workspace, ax, server, clock, InventoryPrefs{});
    DesktopActions desktop(inventory, workspace, ax, server, screens, [](const std::function<void()>& fn) { fn(); });
    desktop.activateEntry(tabs[std::size_t(options.select)]);
    std::printf("-- chose \"%s\"\n", qPrintable(tabs[std::size_t(options.select)].title));
    QDeadlineTimer settle(1000);
    while (!settle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    print(rows(workspace, ax, server), ax);
    return 0;
}
