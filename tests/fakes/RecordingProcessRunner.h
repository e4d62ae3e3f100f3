// A process runner that runs nothing: it records every call and reports success.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/ProcessRunner.h"

namespace zumo {

class RecordingProcessRunner final : public ProcessRunner {
public:
    struct Call {
        QString program;
        QStringList args;
        bool detached = false;
    };

    std::vector<Call> calls;
    bool detachedStarts = true;

    int run(const QString& program, const QStringList& args) override
    {
        calls.push_back({program, args, false});
        return 0;
    }
    bool startDetached(const QString& program, const QStringList& args) override
    {
        calls.push_back({program, args, true});
        return detachedStarts;
    }
};

} // namespace zumo
