// A process runner that runs nothing: it records every call and answers with set statuses.
#pragma once

#include <QMap>
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
    // Status answered for a program (0 when not set); a program may also be given a list of
    // statuses answered one per call, the last one repeating.
    QMap<QString, QList<int>> statuses;
    bool detachedStarts = true;

    int run(const QString& program, const QStringList& args) override
    {
        calls.push_back({program, args, false});
        QList<int>& answers = statuses[program];
        if (answers.isEmpty())
            return 0;
        return answers.size() > 1 ? answers.takeFirst() : answers.first();
    }
    bool startDetached(const QString& program, const QStringList& args) override
    {
        calls.push_back({program, args, true});
        return detachedStarts;
    }
};

} // namespace zumo
