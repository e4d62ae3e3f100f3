// ProcessRunner on QProcess.
#pragma once

#include "platform/ProcessRunner.h"

namespace zumo {

class QtProcessRunner final : public ProcessRunner {
public:
    int run(const QString& program, const QStringList& args) override;
    bool startDetached(const QString& program, const QStringList& args) override;
};

} // namespace zumo
