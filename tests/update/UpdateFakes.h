// Stand-ins for what the update flow talks to: the network, the alerts, the install side and the
// remote configuration. Each records what it was asked and answers what the test set.
#pragma once

#include <QFile>
#include <QList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "update/UpdateChecker.h"
#include "update/UpdateConfig.h"
#include "update/UpdatePresenter.h"
#include "update/UpdateTransport.h"

namespace zumo::test {

class FakeProgressWindow final : public ProgressWindow {
public:
    QStringList labels;
    double fraction = 0;
    bool closed = false;
    bool isCancelled = false;
    std::function<void()> onCancel;

    void setLabel(const QString& text) override { labels << text; }
    void setFraction(double f) override { fraction = f; }
    void setOnCancel(std::function<void()> fn) override { onCancel = std::move(fn); }
    bool cancelled() const override { return isCancelled; }
    void close() override { closed = true; }
    void pressCancel()
    {
        isCancelled = true;
        if (onCancel)
            onCancel();
        closed = true;
    }
};

class FakePresenter final : public UpdatePresenter {
public:
    std::vector<UpdateAlert> alerts;
    int answer = 1;  // the button the user picks
    std::shared_ptr<FakeProgressWindow> window;

    int runAlert(const UpdateAlert& alert) override
    {
        alerts.push_back(alert);
        return answer;
    }
    std::shared_ptr<ProgressWindow> openProgress(const QString& version) override
    {
        window = std::make_shared<FakeProgressWindow>();
        window->labels << version;
        return window;
    }
};

// A transfer the test finishes by hand.
struct FakeTask final : TransferTask {
    bool cancelledByCaller = false;
    void cancel() override { cancelledByCaller = true; }
};

class FakeTransport final : public UpdateTransport {
public:
    struct Download {
        TransferRequest request;
        QString path;
        std::shared_ptr<TransferEvents> events;
        std::shared_ptr<FakeTask> task;
    };
    struct Probe {
        TransferRequest request;
        std::function<bool(const QUrl&)> allowRedirect;
        std::function<void(TransferAnswer)> done;
    };
    std::vector<std::function<void(Updater::CheckResult)>> fetches;
    std::vector<Probe> probes;
    std::vector<Download> downloads;

    void fetchLatestRelease(double timeoutSec, std::function<void(Updater::CheckResult)> done) override
    {
        (void)timeoutSec;
        fetches.push_back(std::move(done));
    }
    void probe(const TransferRequest& request, std::function<bool(const QUrl&)> allowRedirect,
               std::function<void(TransferAnswer)> done) override
    {
        probes.push_back({request, std::move(allowRedirect), std::move(done)});
    }
    std::shared_ptr<TransferTask> download(const TransferRequest& request, const QString& path,
                                           std::shared_ptr<TransferEvents> events) override
    {
        auto task = std::make_shared<FakeTask>();
        downloads.push_back({request, path, std::move(events), task});
        return task;
    }

    // Serves the bytes as the last download's body: written to its file, then reported done.
    void serve(const QByteArray& body, int status = 200)
    {
        Download& d = downloads.back();
        QFile file(d.path);
        if (file.open(QIODevice::WriteOnly))
            file.write(body);
        file.close();
        if (d.events->progress(body.size(), body.size()))
            d.events->finished({true, status, false, {}, body.size()});
        else
            d.events->finished({true, status, true, QStringLiteral("cancelled"), body.size()});
    }
};

class FakeHandoff final : public ReleaseHandoff {
public:
    std::vector<Updater::Release> accepted;
    std::vector<Updater::Release> prefetches;
    std::optional<QString> staged;
    bool managed = false;

    void acceptUpdate(const Updater::Release& release) override { accepted.push_back(release); }
    void schedulePrefetch(const Updater::Release& release) override { prefetches.push_back(release); }
    std::optional<QString> stagedVersion() const override { return staged; }
    bool packageManaged() override { return managed; }
};

class FakeConfig final : public UpdateConfigSource {
public:
    UpdateConfig values;
    UpdateConfig updateConfig() const override { return values; }
};

class FakeAnnouncements final : public AnnouncementSource {
public:
    std::optional<Announcement> pending;
    std::optional<Announcement> pendingAnnouncement() const override { return pending; }
    void clearPendingAnnouncement() override { pending.reset(); }
};

inline Updater::Release release(const QString& version, const QString& sha = QString(64, u'0'))
{
    return {version, QUrl(QStringLiteral("https://pellwick.example/dl/zumo/Zumo-") + version + ".tar.gz"), sha,
            QString()};
}

} // namespace zumo::test
