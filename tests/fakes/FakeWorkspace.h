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
    QString ownId = QStringLiteral("com.zumo.app");
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
    QString ownBundleId() const override { return ownId; }
    void terminate(Pid pid) override
    {
        calls.emplace_back(QStringLiteral("terminate"), pid);
        if (terminateAtOnce)
            if (auto* app = find(pid))
                app->terminated = true;
    }
    void hide(Pid pid) override
    {
        calls.emplace_back(QStringLiteral("hide"), pid);
        if (auto* app = find(pid))
            app->hidden = true;
    }
    void unhide(Pid pid) override
    {
        calls.emplace_back(QStringLiteral("unhide"), pid);
        if (auto* app = find(pid))
            app->hidden = false;
    }
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
    int count(const QString& call) const
    {
        int n = 0;
        for (const auto& c : calls)
            n += c.first == call;
        return n;
    }
};

} // namespace zumo
