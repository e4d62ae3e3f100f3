// The child side of ProcessHttpClient: one request read from standard input, run on
// QtHttpClient, its progress, redirect questions and response written to standard output.
#pragma once

#include <QString>

namespace zumo {

// Needs a QCoreApplication. Returns the process's exit code (0 once a response was written).
int runHttpChild(const QString& extraCaFile);

} // namespace zumo
