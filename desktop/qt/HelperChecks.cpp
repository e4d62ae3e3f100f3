// One helper process per check: a few a day at most, each a few milliseconds. Any thread.
#include "desktop/qt/HelperChecks.h"

#include <QProcess>

#include "desktop/qt/HelperProgram.h"
#include "platform/Log.h"

namespace zumo {
namespace {

struct HelperRun {
    bool ran = false;  // it ran and exited normally
    int exitCode = -1;
    QByteArray output;
    QString error;
};

HelperRun runHelper(const HelperProgram& helper, const QStringList& arguments, const QByteArray& input, int timeoutMs)
{
    HelperRun run;
    if (!helper.found()) {
        run.error = helper.missing();
        return run;
    }
    QProcess process;
    helper.prepare(process);
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

bool helperVerifyEd25519(const HelperProgram& helper, const QByteArray& publicKey, const QByteArray& message,
                         const QByteArray& signature)
{
    const HelperRun run = runHelper(helper, {QStringLiteral("verify"), QString::fromLatin1(publicKey.toHex()),
                                             QString::fromLatin1(signature.toHex())},
                                    message, 60000);
    if (!run.ran)
        appLog(QStringLiteral("cannot check a signature: %1").arg(run.error));
    return run.ran && run.exitCode == 0;
}

QString helperExtractArchive(const HelperProgram& helper, const QString& archivePath, qint64 length,
                             const QString& dest, const Updater::ExtractLimits& limits)
{
    const HelperRun run = runHelper(helper, {QStringLiteral("extract"), archivePath, QString::number(length), dest,
                                             QString::number(limits.maxEntries), QString::number(limits.maxBytes)},
                                    {}, 10 * 60000);
    if (!run.ran)
        return QStringLiteral("cannot unpack: %1").arg(run.error);
    if (run.exitCode == 0)
        return {};
    const QString reason = QString::fromUtf8(run.output).trimmed();
    return reason.isEmpty() ? QStringLiteral("cannot unpack (helper exit code %1)").arg(run.exitCode) : reason;
}

} // namespace zumo
