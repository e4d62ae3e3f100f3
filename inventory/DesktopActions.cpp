// The window actions over the platform seam.
#include "inventory/DesktopActions.h"

#include <QCoreApplication>
#include <QThread>
#include <cmath>

namespace zumo {

namespace {

bool finite(double value)
{
    return std::isfinite(value);
}

} // namespace

MainRunner blockingMainRunner()
{
    return [](const std::function<void()>& fn) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || QThread::currentThread() == app->thread()) {
            fn();
            return;
        }
        QMetaObject::invokeMethod(
            app, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
    };
}

DesktopActions::DesktopActions(WindowInventory& inventory, Workspace& workspace, Accessibility& ax,
                               WindowServer& windowServer, const Screens& screens, MainRunner runOnMain)
    : m_inventory(inventory), m_workspace(workspace), m_ax(ax), m_windowServer(windowServer),
      m_screens(screens), m_runOnMain(std::move(runOnMain))
{
}

bool DesktopActions::isHiddenNow(const RunningApp& app) const
{
    // The entry holds the app as it was when the list was built; ask again in case it changed.
    for (const RunningApp& running : m_workspace.runningApplications())
        if (running.pid == app.pid)
            return running.hidden;
    return app.hidden;
}

void DesktopActions::activateEntry(const Entry& entry)
{
    const Pid pid = entry.app.pid;
    m_inventory.noteAppUsed(pid);
    if (isHiddenNow(entry.app))
        m_workspace.unhide(pid);
    if (entry.window && entry.minimized)
        m_ax.setBoolean(*entry.window, QStringLiteral("AXMinimized"), false);
    m_ax.setFrontmost(pid, frontmostTimeout);
    if (entry.tab) {
        m_ax.setTimeout(*entry.tab, tabTimeout);
        m_ax.perform(*entry.tab, QStringLiteral("AXPress"));
    }
    if (entry.window) {
        m_ax.perform(*entry.window, QStringLiteral("AXRaise"));
        m_ax.setBoolean(*entry.window, QStringLiteral("AXMain"), true);
        m_ax.setBoolean(*entry.window, QStringLiteral("AXFocused"), true);
    }
    std::optional<RunningApp> front = m_workspace.frontmostApplication();
    if (!front || front->pid != pid)
        m_workspace.activate(pid);
    // The user is waiting for this one: it leaves now, not at the end of the turn.
    m_workspace.sendRequestsNow();
}

void DesktopActions::closeWindow(ElementRef window)
{
    if (std::optional<ElementRef> button = m_ax.element(window, QStringLiteral("AXCloseButton")))
        m_ax.perform(*button, QStringLiteral("AXPress"));
}

void DesktopActions::minimizeWindow(ElementRef window)
{
    m_ax.setBoolean(window, QStringLiteral("AXMinimized"), true);
}

void DesktopActions::hideApp(const Entry& entry)
{
    m_workspace.hide(entry.app.pid);
}

void DesktopActions::quitApp(const Entry& entry)
{
    m_workspace.terminate(entry.app.pid);
}

std::optional<SnapScreenInfo> DesktopActions::snapScreenInfo(const QRectF& frame) const
{
    return chooseSnapScreen(toBottomLeft(m_screens.screens()), m_screens.mainScreen(), frame);
}

void DesktopActions::snapWindow(ElementRef window, SnapTo target)
{
    std::optional<QRectF> frame = m_ax.frame(window);
    if (!frame)
        return;
    std::optional<SnapScreenInfo> info;
    m_runOnMain([&] { info = snapScreenInfo(*frame); });
    if (!info)
        return;
    if (std::optional<QRectF> to = snapTarget(*info, target))
        applyFrame(window, *to);
}

void DesktopActions::applyFrame(ElementRef window, const QRectF& frame)
{
    // A value that is not a number cannot describe a frame; skip it rather than send garbage.
    const bool sizeOk =
        finite(frame.width()) && finite(frame.height()) && frame.width() >= 0 && frame.height() >= 0;
    const bool positionOk = finite(frame.x()) && finite(frame.y());
    if (sizeOk && positionOk)
        m_ax.setFrame(window, frame);
    else if (sizeOk)
        m_ax.setSize(window, frame.size());
    else if (positionOk)
        m_ax.setPosition(window, frame.topLeft());
}

QImage DesktopActions::captureWindow(std::uint32_t windowID)
{
    return m_windowServer.capture(windowID);
}

} // namespace zumo
