#include "desktop/qt/QtProcessRunner.h"

#include <QProcess>

namespace zumo {
namespace {

void silence(QProcess& process)
{
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
}

} // namespace

int QtProcessRunner::run(const QString& program, const QStringList& args)
{
    QProcess process;
    silence(process);
    process.start(program, args);
    if (!process.waitForStarted(-1))
        return -1;
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool QtProcessRunner::startDetached(const QString& program, const QStringList& args)
{
    QProcess process;
    silence(process);
    process.setProgram(program);
    process.setArguments(args);
    return process.startDetached();
}

} // namespace zumo
