// Stand-ins for what the update flow talks to: each records what it was asked and answers what the test set.
#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "update/UpdateChecker.h"
#include "update/UpdateConfig.h"
#include "update/UpdatePresenter.h"
#include "update/UpdateTransport.h"

namespace zumo::test {

struct FakeProgressWindow final : ProgressWindow {
    QStringList labels;
    double fraction = 0;
    bool closed = false, isCancelled = false;
    std::function<void()> onCancel;

    void setLabel(const QString& text) override { labels << text; }
    void setFraction(double f) override { fraction = f; }
    void setOnCancel(std::function<void()> fn) override { onCancel = std::move(fn); }
    bool cancelled() const override { return isCancelled; }
    void close() override { closed = true; }
    void pressCancel()
    {
        isCancelled = closed = true;
        if (onCancel)
            onCancel();
    }
};

struct FakePresenter final : UpdatePresenter {
    std::vector<UpdateAlert> alerts;
    int answer = 1;  // the button the user picks
    std::shared_ptr<FakeProgressWindow> window;

    int runAlert(const UpdateAlert& alert) override { return alerts.push_back(alert), answer; }
    std::shared_ptr<ProgressWindow> openProgress(const QString& version) override
    {
        window = std::make_shared<FakeProgressWindow>();
        window->labels << version;
        return window;
    }
};

struct FakeTask final : TransferTask {
    bool cancelledByCaller = false;
    void cancel() override { cancelledByCaller = true; }
};

struct FakeTransport final : UpdateTransport {
    struct Download {
        QString path;
        std::shared_ptr<TransferEvents> events;
        std::shared_ptr<FakeTask> task;
    };
    struct Probe {
        std::function<bool(const QUrl&)> allowRedirect;
        std::function<void(TransferAnswer)> done;
    };
    std::vector<std::function<void(Updater::CheckResult)>> fetches;
    std::vector<Probe> probes;
    std::vector<Download> downloads;
    bool avoidMetered = false;  // as the last download asked

    void fetchLatestRelease(double, std::function<void(Updater::CheckResult)> done) override
    {
        fetches.push_back(std::move(done));
    }
    void probe(const TransferRequest&, std::function<bool(const QUrl&)> allowRedirect,
               std::function<void(TransferAnswer)> done) override
    {
        probes.push_back({std::move(allowRedirect), std::move(done)});
    }
    std::shared_ptr<TransferTask> download(const TransferRequest& request, const QString& path,
                                           std::shared_ptr<TransferEvents> events) override
    {
        avoidMetered = request.avoidMetered;
        downloads.push_back({path, std::move(events), std::make_shared<FakeTask>()});
        return downloads.back().task;
    }

    // Serves the bytes as the last download's body: written to its file, then reported done.
    void serve(const QByteArray& body, int status = 200)
    {
        Download& d = downloads.back();
        QFile file(d.path);
        if (file.open(QIODevice::WriteOnly))
            file.write(body);
        file.close();
        const bool going = d.events->progress(body.size(), body.size());
        d.events->finished({true, status, !going, going ? QString() : QStringLiteral("cancelled"), body.size()});
    }
};

struct FakeHandoff final : ReleaseHandoff {
    std::vector<Updater::Release> accepted, prefetches;
    std::optional<QString> staged;
    bool managed = false;

    void acceptUpdate(const Updater::Release& release) override { accepted.push_back(release); }
    void schedulePrefetch(const Updater::Release& release) override { prefetches.push_back(release); }
    std::optional<QString> stagedVersion() const override { return staged; }
    bool packageManaged() override { return managed; }
};

struct FakeConfig final : UpdateConfigSource {
    UpdateConfig values;
    UpdateConfig updateConfig() const override { return values; }
};

struct FakeAnnouncements final : AnnouncementSource {
    std::optional<Announcement> pending;
    std::optional<Announcement> pendingAnnouncement() const override { return pending; }
    void clearPendingAnnouncement() override { pending.reset(); }
};

// What the checker, the installer and the nudge share: time, settings, counters and the fakes above.
class UpdateRig : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    FakeClock clock;
    FakeDispatcher dispatcher{&clock};
    SettingsStore store{tmp.path() + "/defaults.json"};
    Counters counters{store, clock};
    FakeConfig config;
    FakeTransport transport;
    FakePresenter presenter;
};

inline Updater::Release release(const QString& version, const QString& sha = QString(64, u'0'))
{
    return {version, QUrl("https://pellwick.example/dl/zumo/Zumo-" + version + ".tar.gz"), sha, QString()};
}

} // namespace zumo::test
