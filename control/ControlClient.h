// The client side of the control socket: `zumo --sync`, `--list`, `--activate` and a second
// launch handing over to the running Zumo.
#pragma once

#include <QByteArray>
#include <QString>

#include "control/ControlProtocol.h"

namespace zumo {

// Exit codes of the client commands.
enum ControlExit : int {
    ControlOk = 0,
    ControlRefused = 1,     // the running Zumo answered with an error
    ControlNotRunning = 3,  // nothing answers at the socket
    ControlNoAnswer = 4,    // connected, but no complete answer in time
};

struct ControlOutcome {
    int exitCode = ControlOk;
    QByteArray output;  // the reply's body, for standard output
    QString error;      // a sentence for standard error when exitCode is not ControlOk
};

// Sends one request to the Zumo listening at socketPath and waits up to timeoutMs for the
// whole answer. Needs a QCoreApplication.
ControlOutcome sendControlRequest(const QString& socketPath, const ControlRequest& request, int timeoutMs);

} // namespace zumo
