#include "runtime/platform/faults.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

#include "runtime/core/interrupt.h"
#include "runtime/core/system.h"

namespace kel::faults {

namespace {

uintptr_t stack_low = 0;  // lowest usable address of the Kel thread's stack
uintptr_t stack_size = 0;
constexpr uintptr_t OVERFLOW_SLACK = 256 * 1024;  // faults this close below the limit are overflows

void write_all(const char* text, size_t n) {
    while (n > 0) {
        ssize_t w = write(STDOUT_FILENO, text, n);
        if (w <= 0) return;
        text += w;
        n -= size_t(w);
    }
}

// Formats the report into a local buffer without any allocation or stdio.
void report(int32_t status, uint32_t address) {
    char buf[160];
    size_t n = 0;
    auto put = [&](const char* s) {
        while (*s && n < sizeof buf) buf[n++] = *s++;
    };
    put("\n*** Runtime Error ");
    char digits[12];
    int d = 0;
    uint32_t v = uint32_t(status);
    do {
        digits[d++] = char('0' + v % 10);
        v /= 10;
    } while (v && d < 11);
    while (d > 0 && n < sizeof buf) buf[n++] = digits[--d];
    put(": ");
    put(runtime_error_message(status));
    put("\n*** at: ");
    static const char hex[] = "0123456789ABCDEF";
    for (int shift = 28; shift >= 0 && n < sizeof buf; shift -= 4) buf[n++] = hex[(address >> shift) & 0xF];
    put("h\n");
    write_all(buf, n);
}

uintptr_t fault_pc(void* context) {
    auto* uc = static_cast<ucontext_t*>(context);
#if defined(__x86_64__)
    return uintptr_t(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return uintptr_t(uc->uc_mcontext.pc);
#else
    (void)uc;
    return 0;
#endif
}

bool is_stack_overflow(const siginfo_t* info) {
    if (!stack_size) return false;
    auto a = reinterpret_cast<uintptr_t>(info->si_addr);
    return a + OVERFLOW_SLACK >= stack_low && a < stack_low + OVERFLOW_SLACK;
}

void on_fault(int signal, siginfo_t* info, void* context) {
    int32_t status = status_for(signal, info->si_code, signal == SIGSEGV && is_stack_overflow(info));
    run_exit_hook();
    report(status, relative_address(reinterpret_cast<const void*>(fault_pc(context))));
    _exit(exit_status::exit_code(status));
}

void on_interrupt(int) {
    if (interrupt::on_signal()) return;
    run_exit_hook();
    _exit(exit_status::INTERRUPTED);
}

// The handlers need little stack. A thread that already has an alternate
// stack of a fair size keeps it: whoever installed it (a sanitizer runtime
// does, for every thread) also releases it when the thread ends.
void give_alternate_stack() {
    constexpr size_t enough = 16 * 1024;
    constexpr size_t size = 64 * 1024;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size >= enough) return;
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return;
    stack_t ss{};
    ss.ss_sp = p;
    ss.ss_size = size;
    sigaltstack(&ss, nullptr);
}

}  // namespace

int32_t status_for(int signal, int code, bool stack_overflow) {
    using namespace exit_status;
    switch (signal) {
    case SIGSEGV:
        return stack_overflow ? STACK_OVERFLOW : ACCESS_VIOLATION;
    case SIGBUS:
        return INVALID_ALIGNMENT;
    case SIGILL:
        return code == ILL_PRVOPC ? PRIVILEGED_INSTRUCTION : ILLEGAL_INSTRUCTION;
    case SIGTRAP:
        return code == TRAP_TRACE ? SINGLE_STEP : BREAKPOINT;
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV:
            return INTEGER_DIVIDE_BY_ZERO;
        case FPE_INTOVF:
            return INTEGER_OVERFLOW;
        case FPE_FLTDIV:
            return FLOAT_DIVIDE_BY_ZERO;
        case FPE_FLTRES:
            return FLOAT_INEXACT_RESULT;
        case FPE_FLTINV:
            return FLOAT_INVALID_OPERATION;
        case FPE_FLTOVF:
            return FLOAT_OVERFLOW;
        case FPE_FLTUND:
            return FLOAT_UNDERFLOW;
        case FPE_FLTSUB:
            return BOUNDS_EXCEEDED;
        default:
            return UNKNOWN_ERROR;
        }
    default:
        return UNKNOWN_ERROR;  // SIGABRT included
    }
}

void install() {
    install_terminate_handler();
    give_alternate_stack();
    struct sigaction sa {};
    sa.sa_sigaction = on_fault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (int s : {SIGSEGV, SIGBUS, SIGILL, SIGTRAP, SIGFPE, SIGABRT}) sigaction(s, &sa, nullptr);
    struct sigaction si {};
    si.sa_handler = on_interrupt;
    sigemptyset(&si.sa_mask);
    sigaction(SIGINT, &si, nullptr);
}

void set_stack_bounds(const void* low, size_t size) {
    stack_low = reinterpret_cast<uintptr_t>(low);
    stack_size = size;
    give_alternate_stack();
}

}  // namespace kel::faults
