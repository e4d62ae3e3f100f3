// In-memory window inventory, window actions, panels and update reminder, and a rig that wires a
// Switcher to the fake platform with a real settings store in a temporary directory.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakePermissions.h"
#include "tests/fakes/FakeScreens.h"
#include "tests/fakes/FakeWorkspace.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "switcher/RunPanels.h"
#include "switcher/Switcher.h"
#include "switcher/UpdateReminder.h"
#include "inventory/WindowInventory.h"

namespace zumo::test {

class FakeInventory final : public WindowInventory {
public:
    std::vector<Entry> entries;  // what a build returns, unless scripted
    std::vector<std::vector<Entry>> script;  // what the first builds return, in order
    std::vector<BuildOptions> builds;

    void noteAppUsed(Pid) override {}
    std::vector<RunningApp> switchableApps() override { return {}; }
    std::vector<Entry> buildEntries(const std::vector<RunningApp>&, const BuildOptions& options) override
    {
        builds.push_back(options);
        return builds.size() <= script.size() ? script[builds.size() - 1] : entries;
    }
};

class FakeActions final : public WindowActions {
public:
    std::vector<EntryId> activated;
    std::vector<ElementRef> closed;
    std::vector<Pid> hidden, quit;
    std::vector<std::pair<ElementRef, SnapTo>> snapped;
    std::vector<std::uint32_t> captured;

    void activateEntry(const Entry& e) override { activated.push_back(e.id); }
    void closeWindow(ElementRef w) override { closed.push_back(w); }
    void minimizeWindow(ElementRef) override {}
    void hideApp(const Entry& e) override { hidden.push_back(e.app.pid); }
    void quitApp(const Entry& e) override { quit.push_back(e.app.pid); }
    void snapWindow(ElementRef w, SnapTo t) override { snapped.emplace_back(w, t); }
    QImage captureWindow(std::uint32_t id) override
    {
        captured.push_back(id);
        QImage image(800, 400, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::red);
        return image;
    }
};

class FakeReminder final : public UpdateReminder {
public:
    int takes = 0, nudges = 0;
    std::optional<QString> takePendingNotice() override { return ++takes, std::nullopt; }
    void armUpdateNudge() override { ++nudges; }
};

// Panels that remember what they were last told to show and where.
class FakePanels final : public RunPanels {
public:
    int fitRows = 100;                   // the answer to rowsThatFit
    mutable double askedHeight = 0;      // the height rowsThatFit was last asked about
    RunView drawn;                       // the content last shown or redrawn
    std::optional<RunView> warmed;       // the content last warmed up with
    std::vector<QRect> frames;           // the displays of the last show; empty once hidden
    int pointerResets = 0;

    bool visible() const { return !frames.empty(); }
    int rowsThatFit(const RunView&, const QRectF& availableArea) const override
    {
        askedHeight = availableArea.height();
        return fitRows;
    }
    void show(const RunView& view, const std::vector<QRect>& displayFrames) override
    {
        drawn = view;
        frames = displayFrames;
    }
    void redraw(const RunView& view) override { drawn = view; }
    void warmUp(const RunView& view) override { warmed = view; }
    void hide() override { frames.clear(); }
    void resetPointer() override { ++pointerResets; }
};

// A window entry of app pid; ids are fresh, element and window numbers follow the id.
inline Entry windowEntry(Pid pid, const QString& title, QString appName = {})
{
    Entry e;
    e.id = newEntryId();
    e.app.pid = pid;
    e.app.name = appName.isEmpty() ? QStringLiteral("App%1").arg(pid) : appName;
    e.title = title;
    e.window = ElementRef(1000 + e.id);
    e.windowID = std::uint32_t(5000 + e.id);
    return e;
}

struct SwitcherRig {
    QTemporaryDir dir;
    FakeClock clock;
    FakeDispatcher dispatcher{&clock};
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    Settings settings{store};
    Counters counters{store, clock};
    FakeWorkspace workspace;
    FakeScreens screens;
    FakePermissions permissions;
    FakeInventory inventory;
    FakeActions actions;
    FakeReminder reminder;
    FakePanels panels;
    std::unique_ptr<Switcher> sw = std::make_unique<Switcher>(SwitcherDeps{
        settings, counters, dispatcher, workspace, screens, permissions, inventory, actions, reminder, panels});

    // n window entries of apps 101, 102, ...; app 101 is frontmost.
    void givenWindows(int n)
    {
        inventory.entries.clear();
        for (int i = 0; i < n; ++i) {
            const Pid pid = 101 + i;
            if (!workspace.find(pid))
                workspace.add(pid, QStringLiteral("org.app%1").arg(pid), QStringLiteral("App%1").arg(pid));
            inventory.entries.push_back(windowEntry(pid, QStringLiteral("Window %1").arg(i)));
        }
        workspace.frontmost = 101;
    }
    EntryId idAt(std::size_t i) const { return inventory.entries.at(i).id; }
    std::int64_t count(const char* metric) const { return counters.allCount(QString::fromLatin1(metric)); }
    // Delivers the pending build (and anything it posts).
    void deliver() { dispatcher.runAll(); }
    void openAndShow(bool backward = false)
    {
        sw->open(backward, SlotFilter::all);
        deliver();
        sw->move(0);  // shows at once
    }
};

} // namespace zumo::test
