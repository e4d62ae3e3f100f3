#include "update/GuardedDownload.h"

#include <QFile>

#include "update/DownloadRules.h"
#include "update/PrivateFiles.h"
#include "update/UpdateTexts.h"

namespace zumo {

std::shared_ptr<GuardedDownload> GuardedDownload::make(double cap, QString vendorHost, Completion completion)
{
    return std::shared_ptr<GuardedDownload>(new GuardedDownload(cap, std::move(vendorHost), std::move(completion)));
}

GuardedDownload::GuardedDownload(double cap, QString vendorHost, Completion completion)
    : m_cap(cap), m_vendorHost(std::move(vendorHost)), m_completion(std::move(completion))
{
}

std::shared_ptr<TransferTask> GuardedDownload::start(UpdateTransport& transport, const TransferRequest& request,
                                                     const QString& workBase)
{
    m_saved = Updater::newPrivatePath(workBase, Updater::ParkedPrefix);
    return transport.download(request, m_saved, shared_from_this());
}

bool GuardedDownload::redirect(const QUrl& target)
{
    const Updater::RedirectVerdict verdict = Updater::redirectVerdict(target, m_vendorHost);
    if (!verdict.allowed)
        fail(verdict.message);
    return verdict.allowed;
}

bool GuardedDownload::progress(qint64 written, qint64 expected)
{
    if (!Updater::exceedsCap(written, expected, m_cap)) {
        if (m_progressListener)
            m_progressListener(written, expected);
        return true;
    }
    fail(Updater::Text::tooLarge());
    return false;
}

void GuardedDownload::finished(const TransferAnswer& answer)
{
    if (!m_completion)
        return;
    DownloadOutcome outcome{m_saved, answer.hasResponse, answer.status, std::nullopt};
    if (const std::optional<QString> reason = failure()) {
        Updater::removeTree(m_saved);
        outcome.file.clear();
        outcome.error = reason;
    } else if (answer.failed) {
        Updater::removeTree(m_saved);
        outcome.file.clear();
        outcome.error = answer.error;
    } else if (!QFile::exists(m_saved)) {
        outcome.file.clear();
    }
    std::exchange(m_completion, {})(outcome);
}

std::optional<QString> GuardedDownload::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void GuardedDownload::fail(const QString& message)
{
    std::lock_guard lock(m_mutex);
    m_failure = message;
}

} // namespace zumo
