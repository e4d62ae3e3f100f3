// The switcher's panels: the main one and a mirror for every further display, made on first
// need and reused, all drawing the same run content. What the Switcher draws through.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "panel/SwitcherPanel.h"
#include "switcher/RunPanels.h"

namespace zumo {

class Settings;

class SwitcherPanels final : public RunPanels {
public:
    explicit SwitcherPanels(const Settings& settings);
    ~SwitcherPanels() override;
    SwitcherPanels(const SwitcherPanels&) = delete;
    SwitcherPanels& operator=(const SwitcherPanels&) = delete;

    // Translucent rounded panels need a compositor (see SwitcherPanel); mirrors made later
    // follow the main panel.
    void setTranslucent(bool on);
    // Called with the hiding itself whenever the panels are to hide; it may run it later (on X11,
    // once the window manager has answered the activation just asked for). A show in between
    // keeps the panels.
    using HideGate = std::function<void(std::function<void()> hideNow)>;
    void setHideGate(HideGate gate) { m_hideGate = std::move(gate); }
    // Shows and hides the main panel once, unseen, so the first real show is fast.
    void warmUp(const RunView& view) override;
    // Given to every panel, mirrors made later included (see SwitcherPanel).
    void setNativeControls(const SwitcherPanel::NativeControls& controls);

    SwitcherPanel& main() const { return *m_main; }
    std::size_t mirrorCount() const { return m_mirrors.size(); }
    SwitcherPanel& mirror(std::size_t i) const { return *m_mirrors.at(i); }

    // Global coordinates are the X pixels window frames are measured in; on a scaled screen the
    // panel is placed and its rows counted in Qt's logical pixels, the unit of the tiles.
    int rowsThatFit(const RunView& view, const QRectF& availableArea) const override;
    void show(const RunView& view, const std::vector<QRect>& displayFrames) override;
    void redraw(const RunView& view) override;
    // Only the selection and first row are handed over: with thousands of windows, a copy of
    // every entry at every Tab cost more than repainting the two tiles it changes.
    void moveSelection(const RunView& view) override;
    void hide() override;
    void resetPointer() override;

private:
    std::unique_ptr<SwitcherPanel> makePanel();
    void hideNow();

    const Settings& m_settings;
    std::vector<Subscription> m_subscriptions;  // to every panel's pointer input
    std::unique_ptr<SwitcherPanel> m_main;
    std::vector<std::unique_ptr<SwitcherPanel>> m_mirrors;
    std::size_t m_mirrorsShown = 0;  // the first ones of m_mirrors, while a run is shown
    HideGate m_hideGate;
    SwitcherPanel::NativeControls m_controls;
    std::shared_ptr<int> m_shows = std::make_shared<int>(0);  // counts shows; a gated hide checks it
};

} // namespace zumo
