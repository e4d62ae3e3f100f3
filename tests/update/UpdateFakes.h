// Stand-ins for what the update flow talks to (each records what it was asked and answers what the
// test set), and release images: a small install folder signed with the test key, packed and signed
// the way the maker's tool does it, and hand-made hostile archives.
#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/support/TestFiles.h"
#include "update/BundleList.h"
#include "update/PinnedKey.h"
#include "update/ReleaseMaker.h"
#include "update/SignedImage.h"
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
        writeAll(d.path, body);
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

inline QByteArray testKey(const char* name = "test-signing.pem")
{
    return readAll(QStringLiteral(ZUMO_TEST_KEYS "/") + name);
}

// The public half of the test key, which the tests hand to the code they check.
inline QByteArray testPublicKey()
{
    return QByteArray::fromHex(readAll(QStringLiteral(ZUMO_TEST_KEYS "/test-signing.pub.hex")).trimmed());
}

// An install folder of version: bin/zumo (a script that notes it ran), a library and a link.
inline void makeInstallFolder(const QString& folder, const QString& version)
{
    writeAll(folder + "/bin/zumo", "#!/bin/sh\necho " + version.toUtf8() + " >> \"$ZUMO_TEST_RAN\"\n");
    QFile::setPermissions(folder + "/bin/zumo", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeAll(folder + "/lib/libzumo.so.1.0", QByteArray("library ") + version.toUtf8());
    QFile::link("libzumo.so.1.0", folder + "/lib/libzumo.so.1");
}

// An install folder of version packed into a signed image at path.
inline void makeImage(const QString& folder, const QString& path, const QString& version,
                      const char* key = "test-signing.pem")
{
    makeInstallFolder(folder, version);
    EXPECT_EQ(Updater::makeReleaseImage({folder, version, testKey(key), path}), "");
}

// The same, its file list signed with the test key; false when signing failed.
inline bool makeSignedFolder(const QString& folder, const QString& version)
{
    makeInstallFolder(folder, version);
    return Updater::signFolder(folder, {Updater::productIdentifier(), version, Updater::makerIdentifier()}, testKey());
}

// Packs the entries the test adds (by libarchive calls) into a tar archive at path.
inline void writeTar(const QString& path, const std::function<void(struct archive*)>& addEntries)
{
    struct archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    ASSERT_EQ(archive_write_open_filename(writer, QFile::encodeName(path).constData()), ARCHIVE_OK);
    addEntries(writer);
    archive_write_close(writer);
    archive_write_free(writer);
}

// Adds one entry: type AE_IFREG with contents, AE_IFDIR, AE_IFLNK with link as target,
// AE_IFCHR/AE_IFIFO, or a hard link to link when hardlink is set.
inline void addEntry(struct archive* writer, const char* name, unsigned type, const QByteArray& contents = {},
                     const char* link = nullptr, bool hardlink = false)
{
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name);
    archive_entry_set_filetype(e, type);
    archive_entry_set_perm(e, 0755);
    if (type == AE_IFREG && !hardlink)
        archive_entry_set_size(e, contents.size());
    if (link && hardlink)
        archive_entry_set_hardlink(e, link);
    else if (link)
        archive_entry_set_symlink(e, link);
    archive_write_header(writer, e);
    if (!contents.isEmpty())
        archive_write_data(writer, contents.constData(), size_t(contents.size()));
    archive_entry_free(e);
}

} // namespace zumo::test
