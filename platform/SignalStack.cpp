// An alternate signal stack per thread: sigaltstack is a per-thread setting.
#include "platform/SignalStack.h"

#include <csignal>
#include <sys/mman.h>

namespace zumo {
namespace {

// Room for the crash handler's backtrace; guard pages are not needed, the handler is small.
constexpr size_t StackBytes = 256 * 1024;

struct ThreadSignalStack {
    void* memory = nullptr;

    ThreadSignalStack()
    {
        memory = ::mmap(nullptr, StackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            memory = nullptr;
            return;
        }
        stack_t stack{};
        stack.ss_sp = memory;
        stack.ss_size = StackBytes;
        ::sigaltstack(&stack, nullptr);
    }

    ~ThreadSignalStack()
    {
        if (!memory)
            return;
        // Switched off before the memory goes, so a late signal never lands in freed pages.
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        ::munmap(memory, StackBytes);
    }
};

} // namespace

void giveThreadSignalStack()
{
    thread_local ThreadSignalStack stack;
    (void)stack;
}

} // namespace zumo
