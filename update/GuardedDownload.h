// One download of a release image that cannot be led astray: redirects only to the vendor's
// https host, stopped as soon as the announced or the written size passes the cap, streamed to a
// parked file in the private directory and handed over exactly once.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "update/UpdateTransport.h"
#include "update/VerifyAndStage.h"

namespace zumo {

class GuardedDownload final : public TransferEvents, public std::enable_shared_from_this<GuardedDownload> {
public:
    using Completion = std::function<void(DownloadOutcome)>;

    // completion runs on the transport's worker once the transfer has ended.
    static std::shared_ptr<GuardedDownload> make(double cap, QString vendorHost, Completion completion);

    // Starts the transfer into "zumo-dl-<UUID>" inside workBase; the task can cancel it.
    std::shared_ptr<TransferTask> start(UpdateTransport& transport, const TransferRequest& request,
                                        const QString& workBase);

    bool redirect(const QUrl& target) override;
    bool progress(qint64 written, qint64 expected) override;
    void finished(const TransferAnswer& answer) override;

    // Told of every accepted progress report, on the transport's worker. Set before start().
    void setProgressListener(std::function<void(qint64 written, qint64 expected)> listener)
    {
        m_progressListener = std::move(listener);
    }

    // Why this object stopped the transfer, once it did.
    std::optional<QString> failure() const;

private:
    GuardedDownload(double cap, QString vendorHost, Completion completion);
    void fail(const QString& message);

    double m_cap;
    QString m_vendorHost;
    Completion m_completion;
    std::function<void(qint64, qint64)> m_progressListener;
    QString m_saved;
    mutable std::mutex m_mutex;  // failure is read by tests and set on the transport's worker
    std::optional<QString> m_failure;
};

} // namespace zumo
