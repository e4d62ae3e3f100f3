// One helper process per check: a few a day at most, each a few milliseconds.
#include "app/UpdateHelper.h"

#include <QProcess>
#include <memory>

#include "desktop/qt/HelperProgram.h"
#include "platform/Log.h"
#include "update/Ed25519.h"
#include "update/SafeExtract.h"

namespace zumo {
namespace {

std::unique_ptr<HelperProgram>& helper()
{
    static std::unique_ptr<HelperProgram> program;  // set once in main, before any thread
    return program;
}

struct HelperRun {
    bool ran = false;  // it ran and exited normally
    int exitCode = -1;
    QByteArray output;
    QString error;
};

HelperRun runHelper(const QStringList& arguments, const QByteArray& input, int timeoutMs)
{
    HelperRun run;
    if (!helper() || !helper()->found()) {
        run.error = helper() ? helper()->missing() : QStringLiteral("the helper was not opened");
        return run;
    }
    QProcess process;
    helper()->prepare(process);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(timeoutMs)) {
        run.error = QStringLiteral("cannot start the helper: %1").arg(process.errorString());
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        run.error = QStringLiteral("the helper did not finish");
        return run;
    }
    run.ran = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    if (!run.ran)
        run.error = QStringLiteral("the helper died");
    return run;
}

} // namespace

void openUpdateHelper()
{
    helper() = std::make_unique<HelperProgram>(HelperProgram::beside());
}

namespace Updater {

bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature)
{
    const HelperRun run = runHelper({QStringLiteral("verify"), QString::fromLatin1(publicKey.toHex()),
                                     QString::fromLatin1(signature.toHex())},
                                    message, 60000);
    if (!run.ran)
        appLog(QStringLiteral("cannot check a signature: %1").arg(run.error));
    return run.ran && run.exitCode == 0;
}

// The running program never signs; only the release tool does.
QByteArray signEd25519(const QByteArray&, const QByteArray&)
{
    return {};
}

QByteArray publicKeyOf(const QByteArray&)
{
    return {};
}

QString extractArchive(const QString& archivePath, qint64 length, const QString& dest, const ExtractLimits& limits)
{
    const HelperRun run = runHelper({QStringLiteral("extract"), archivePath, QString::number(length), dest,
                                     QString::number(limits.maxEntries), QString::number(limits.maxBytes)},
                                    {}, 10 * 60000);
    if (!run.ran)
        return QStringLiteral("cannot unpack: %1").arg(run.error);
    if (run.exitCode == 0)
        return {};
    const QString reason = QString::fromUtf8(run.output).trimmed();
    return reason.isEmpty() ? QStringLiteral("cannot unpack (helper exit code %1)").arg(run.exitCode) : reason;
}

} // namespace Updater
} // namespace zumo
