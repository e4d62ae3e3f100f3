// The main panel and its mirrors: one copy of the run content for all of them, and their
// pointer input told as one.
#include "panel/SwitcherPanels.h"

#include <QGuiApplication>
#include <QScreen>

#include "panel/PanelLayout.h"
#include "panel/SwitcherPanel.h"
#include "panel/SwitcherView.h"
#include "settings/Settings.h"

namespace zumo {

namespace {

// A frame in X pixels as Qt's logical coordinates. Qt keeps a screen's top-left corner in X
// pixels and divides what lies inside it by the screen's device pixel ratio; a frame on no
// screen is taken as it is.
QRectF logicalFrame(const QRectF& frame)
{
    for (const QScreen* screen : QGuiApplication::screens()) {
        const qreal ratio = screen->devicePixelRatio();
        const QPointF origin = screen->geometry().topLeft();
        if (ratio <= 0 || !QRectF(origin, QSizeF(screen->geometry().size()) * ratio).contains(frame.center()))
            continue;
        return QRectF(origin + (frame.topLeft() - origin) / ratio, frame.size() / ratio);
    }
    return frame;
}

} // namespace

// The main panel is made in the body: making a panel looks at m_main, which must exist first.
SwitcherPanels::SwitcherPanels(const Settings& settings) : m_settings(settings)
{
    m_main = makePanel();
}

SwitcherPanels::~SwitcherPanels() = default;

std::unique_ptr<SwitcherPanel> SwitcherPanels::makePanel()
{
    auto panel = std::make_unique<SwitcherPanel>(m_settings);
    // Mirrors look like the main panel, which the app set up for the desktop's compositor.
    if (m_main) {
        panel->setTranslucent(m_main->translucent());
        panel->setNativeControls(m_controls);
    }
    SwitcherView& view = *panel->view();
    m_subscriptions.push_back(view.hovered.subscribe([this](int i) { hovered.notify(i); }));
    m_subscriptions.push_back(view.picked.subscribe([this](int i) { picked.notify(i); }));
    m_subscriptions.push_back(view.scrolled.subscribe([this](int step) { scrolled.notify(step); }));
    return panel;
}

void SwitcherPanels::setTranslucent(bool on)
{
    m_main->setTranslucent(on);
    for (auto& mirror : m_mirrors)
        mirror->setTranslucent(on);
}

void SwitcherPanels::setNativeControls(const SwitcherPanel::NativeControls& controls)
{
    m_controls = controls;
    m_main->setNativeControls(controls);
    for (auto& mirror : m_mirrors)
        mirror->setNativeControls(controls);
}

void SwitcherPanels::warmUp(const RunView& view)
{
    m_main->warmUp(view);
}

int SwitcherPanels::rowsThatFit(const RunView& view, const QRectF& availableArea) const
{
    return zumo::rowsThatFit(panelShape(view, m_settings.tileSize()), logicalFrame(availableArea).height());
}

void SwitcherPanels::show(const RunView& view, const std::vector<QRect>& displayFrames)
{
    if (displayFrames.empty())
        return;
    const std::size_t needed = displayFrames.size() - 1;
    while (m_mirrors.size() < needed)
        m_mirrors.push_back(makePanel());
    m_mirrorsShown = needed;
    ++*m_shows;
    redraw(view);
    const QSize size = m_main->view()->preferredSize();
    m_main->showCentered(logicalFrame(displayFrames.front()).toRect(), size);
    for (std::size_t i = 0; i < m_mirrors.size(); ++i) {
        if (i < needed)
            m_mirrors[i]->showCentered(logicalFrame(displayFrames[i + 1]).toRect(), size);
        else
            m_mirrors[i]->hidePanel();
    }
}

void SwitcherPanels::redraw(const RunView& view)
{
    m_main->view()->draw(view);
    for (std::size_t i = 0; i < m_mirrorsShown; ++i)
        m_mirrors[i]->view()->draw(view);
}

void SwitcherPanels::moveSelection(const RunView& view)
{
    m_main->view()->select(view.selected, view.firstRow);
    for (std::size_t i = 0; i < m_mirrorsShown; ++i)
        m_mirrors[i]->view()->select(view.selected, view.firstRow);
}

void SwitcherPanels::hide()
{
    if (!m_hideGate)
        return hideNow();
    std::weak_ptr<int> shows = m_shows;
    m_hideGate([this, shows, shownBefore = *m_shows] {
        if (auto now = shows.lock(); now && *now == shownBefore)
            hideNow();
    });
}

void SwitcherPanels::hideNow()
{
    m_main->hidePanel();
    for (auto& mirror : m_mirrors)
        mirror->hidePanel();
    m_mirrorsShown = 0;
}

void SwitcherPanels::resetPointer()
{
    m_main->view()->resetPointer();
    for (auto& mirror : m_mirrors)
        mirror->view()->resetPointer();
}

} // namespace zumo
