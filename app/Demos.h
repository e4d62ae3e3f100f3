// The two demonstration flags, handled before anything else starts.
#pragma once

namespace zumo {

// Runs "--telemetry-demo" or "--remote-config-demo" when one is among the arguments and
// returns the process's exit status; -1 when neither is.
int runDemoIfAsked(int argc, char** argv);

} // namespace zumo
