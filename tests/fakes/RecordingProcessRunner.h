// A process runner that runs nothing: it counts every call and reports success.
#pragma once

#include "platform/ProcessRunner.h"

namespace zumo {

class RecordingProcessRunner final : public ProcessRunner {
public:
    int calls = 0;
    bool detachedStarts = true;

    int run(const QString&, const QStringList&) override { return ++calls, 0; }
    bool startDetached(const QString&, const QStringList&) override { return ++calls, detachedStarts; }
};

} // namespace zumo
