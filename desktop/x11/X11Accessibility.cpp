// Window attributes and actions by window id, over the window model and the actions.
#include "desktop/x11/X11Accessibility.h"

#include <algorithm>
#include "desktop/x11/X11Translate.h"

#include "desktop/x11/X11Actions.h"
#include "desktop/x11/X11WindowModel.h"
#include "desktop/x11/X11Workspace.h"

namespace zumo::x11 {

namespace {

std::optional<std::uint32_t> windowId(ElementRef element)
{
    if (element == 0 || element > 0xFFFFFFFFu)
        return std::nullopt;
    return std::uint32_t(element);
}

} // namespace

X11Accessibility::X11Accessibility(X11WindowModel& model, X11Actions& actions) : m_model(model), m_actions(actions)
{
}

std::optional<std::vector<ElementRef>> X11Accessibility::windows(Pid pid, double)
{
    // The request before the model: the main thread drops an answered request only after the
    // answer is in the model, so a snapshot read afterwards shows it. Read the other way round, the
    // answer could slip in between, and neither would name the window just asked for.
    const auto requested = m_actions.lastActivation();
    auto snapshot = m_model.snapshot();
    std::vector<ElementRef> result;
    // Only this desktop's windows, minimised ones included, as an application lists its windows
    // on one desktop; those on other desktops reach the switcher through the window list, as
    // rows marked for another desktop, and only when the user asked for them.
    for (const X11Window* w : snapshot->windowsOf(pid)) {
        if (isOnscreen(w->desktop, snapshot->currentDesktop, w->state, false))
            result.push_back(w->id);
    }
    // The window in front leads: the one just asked to come to the front while the window
    // manager has not acted, else the active one, even when the stacking order has not caught
    // up, so a quick second switch starts from it and goes back to the one before.
    std::uint32_t front = snapshot->active;
    if (requested && requested->window && activationBelieved(*snapshot, *requested, m_actions.now()))
        front = requested->window;
    if (auto it = std::find(result.begin(), result.end(), ElementRef(front)); it != result.end())
        std::rotate(result.begin(), it, it + 1);
    return result;
}

std::optional<QString> X11Accessibility::string(ElementRef element, const QString& attribute)
{
    auto snapshot = m_model.snapshot();
    auto id = windowId(element);
    const X11Window* w = id ? snapshot->find(*id) : nullptr;
    if (!w)
        return std::nullopt;
    if (attribute == QLatin1String("AXSubrole"))
        return subroleFor(w->kind);
    if (attribute == QLatin1String("AXTitle"))
        return w->title;
    if (attribute == QLatin1String("AXRole"))
        return QStringLiteral("AXWindow");
    return std::nullopt;
}

std::optional<bool> X11Accessibility::boolean(ElementRef element, const QString& attribute)
{
    auto snapshot = m_model.snapshot();
    auto id = windowId(element);
    const X11Window* w = id ? snapshot->find(*id) : nullptr;
    if (!w)
        return std::nullopt;
    if (attribute == QLatin1String("AXMinimized"))
        return w->minimised();
    if (attribute == QLatin1String("AXMain") || attribute == QLatin1String("AXFocused"))
        return w->id == snapshot->active;
    return std::nullopt;
}

std::optional<ElementRef> X11Accessibility::element(ElementRef element, const QString& attribute)
{
    auto id = windowId(element);
    if (!id || attribute != QLatin1String("AXCloseButton") || !m_model.snapshot()->find(*id))
        return std::nullopt;
    // The window manager's close request stands in for the button, so the window is its own button.
    return element;
}

std::optional<WindowFacts> X11Accessibility::facts(ElementRef element) const
{
    auto snapshot = m_model.snapshot();
    auto id = windowId(element);
    const X11Window* w = id ? snapshot->find(*id) : nullptr;
    // Without a real process id (a stand-in is negative) the window cannot be found among the
    // applications of the parts layer, which knows them by the pid the buses see: the owner.
    if (!w || w->owner <= 0)
        return std::nullopt;
    return WindowFacts{w->owner, w->title, QRectF(w->client), QRectF(w->frame())};
}

std::optional<QRectF> X11Accessibility::frame(ElementRef element)
{
    auto snapshot = m_model.snapshot();
    auto id = windowId(element);
    const X11Window* w = id ? snapshot->find(*id) : nullptr;
    if (!w || w->client.isEmpty())
        return std::nullopt;
    return QRectF(w->frame());
}

std::optional<std::uint32_t> X11Accessibility::windowNumber(ElementRef element)
{
    auto id = windowId(element);
    if (!id || !m_model.snapshot()->find(*id))
        return std::nullopt;
    return id;
}

std::optional<ElementRef> X11Accessibility::windowOfNumber(std::uint32_t number)
{
    if (!windowNumber(number))
        return std::nullopt;
    return ElementRef(number);
}

void X11Accessibility::setBoolean(ElementRef element, const QString& attribute, bool value)
{
    auto id = windowId(element);
    if (!id)
        return;
    if (attribute == QLatin1String("AXMinimized")) {
        if (value)
            m_actions.minimise(*id);
        else
            m_actions.activateWindow(*id);
        return;
    }
    if (value && (attribute == QLatin1String("AXMain") || attribute == QLatin1String("AXFocused")))
        m_actions.activateWindow(*id);
}

void X11Accessibility::setPosition(ElementRef element, QPointF position)
{
    if (auto id = windowId(element))
        m_actions.moveResizeFrame(*id, position.toPoint(), std::nullopt);
}

void X11Accessibility::setSize(ElementRef element, QSizeF size)
{
    if (auto id = windowId(element); id && !size.isEmpty())
        m_actions.moveResizeFrame(*id, std::nullopt, size.toSize());
}

void X11Accessibility::perform(ElementRef element, const QString& action)
{
    auto id = windowId(element);
    if (!id)
        return;
    if (action == QLatin1String("AXRaise"))
        m_actions.activateWindow(*id);
    else if (action == QLatin1String("AXPress"))
        m_actions.close(*id);
}

void X11Accessibility::setFrontmost(Pid pid, double)
{
    m_actions.activateApp(pid);
}

} // namespace zumo::x11
