// Running applications held in memory; records every action asked of them.
#pragma once

#include <QString>
#include <utility>
#include <vector>

#include "platform/Workspace.h"

namespace zumo {

class FakeWorkspace final : public Workspace {
public:
    std::vector<RunningApp> apps;
    std::optional<Pid> frontmost;
    // Actions asked, in order: ("terminate", pid), ("hide", pid), ("unhide", pid), ("activate", pid).
    std::vector<std::pair<QString, Pid>> calls;
    // Whether terminate() marks the app terminated at once (a well-behaved app).
    bool terminateAtOnce = true;

    std::vector<RunningApp> runningApplications() const override { return apps; }
    std::optional<RunningApp> frontmostApplication() const override
    {
        if (!frontmost)
            return std::nullopt;
        for (const auto& app : apps)
            if (app.pid == *frontmost)
                return app;
        return std::nullopt;
    }
    QString ownBundleId() const override { return QStringLiteral("com.zumo.app"); }
    void terminate(Pid pid) override
    {
        note("terminate", pid, &RunningApp::terminated, terminateAtOnce ? std::optional(true) : std::nullopt);
    }
    void hide(Pid pid) override { note("hide", pid, &RunningApp::hidden, true); }
    void unhide(Pid pid) override { note("unhide", pid, &RunningApp::hidden, false); }
    void activate(Pid pid) override
    {
        calls.emplace_back(QStringLiteral("activate"), pid);
        frontmost = pid;
    }

    RunningApp* find(Pid pid)
    {
        for (auto& app : apps)
            if (app.pid == pid)
                return &app;
        return nullptr;
    }
    RunningApp& add(Pid pid, QString bundleId, QString name)
    {
        RunningApp app;
        app.pid = pid;
        app.bundleId = std::move(bundleId);
        app.name = std::move(name);
        apps.push_back(app);
        return apps.back();
    }

private:
    // Records the call and sets the app's flag as the system would, unless it is to stay.
    void note(const char* call, Pid pid, bool RunningApp::*flag, std::optional<bool> value)
    {
        calls.emplace_back(QString::fromLatin1(call), pid);
        if (RunningApp* app = find(pid); app && value)
            app->*flag = *value;
    }
};

} // namespace zumo
