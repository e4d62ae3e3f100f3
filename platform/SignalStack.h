// A stack of its own for signal handlers on the calling thread, so a crash handler can still run
// when the thread's own stack is what ran out.
#pragma once

namespace zumo {

// Gives the calling thread an alternate signal stack, once; later calls on the same thread cost
// a thread-local read. The stack is released when the thread ends. Every thread that runs our
// code long enough to crash calls it (the main thread, the thread pool's workers, the log writer).
void giveThreadSignalStack();

} // namespace zumo
