#include "runtime/platform/process.h"

#include <pthread.h>
#include <csignal>

#include <cstring>

#include "runtime/core/print.h"
#include "runtime/core/system.h"
#include "runtime/platform/faults.h"
#include "runtime/platform/heap.h"

namespace kel::platform {

void init_process(int argc, char** argv) {
    faults::install();
    auto** vector = static_cast<char**>(heap::allocate(sizeof(char*) * size_t(argc + 1)));
    for (int i = 0; i < argc; ++i) {
        size_t n = std::strlen(argv[i]) + 1;
        vector[i] = static_cast<char*>(heap::allocate(n));
        std::memcpy(vector[i], argv[i], n);
    }
    vector[argc] = nullptr;
    sys.argc = argc;
    sys.argv = vector;
}

std::string get_command_line() {
    std::string line;
    for (int i = 0; i < sys.argc; ++i) {
        if (i) line += ' ';
        const char* a = sys.argv[i];
        bool quote = !*a || std::strpbrk(a, " \t\n\"") != nullptr;
        if (quote) line += '"';
        line += a;
        if (quote) line += '"';
    }
    return line;
}

namespace {

struct Job {
    void (*fn)(void*);
    void* arg;
};

// The signals that interrupt a blocking read of the line editor (window
// size, continue after a stop) or end or stop the process (terminate,
// hang-up, interrupt, terminal stop). The waiting main thread blocks them, so they reach the thread
// that runs Kel code: its read returns EINTR and its handlers restore the
// terminal.
sigset_t kel_thread_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGWINCH, SIGCONT, SIGTERM, SIGHUP, SIGINT, SIGTSTP}) sigaddset(&set, s);
    return set;
}

void* thread_main(void* p) {
    auto* job = static_cast<Job*>(p);
    pthread_attr_t attr;
    void* low = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
    }
    faults::set_stack_bounds(low, size);
    sigset_t signals = kel_thread_signals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    job->fn(job->arg);
    return nullptr;
}

}  // namespace

void run_on_stack(void (*fn)(void*), void* arg, size_t stack_size) {
    Job job{fn, arg};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    int failed = pthread_attr_setstacksize(&attr, stack_size);
    pthread_t thread;
    // Blocked before the thread exists, so no signal of the set can reach
    // this thread; the new thread inherits the mask and opens it.
    sigset_t signals = kel_thread_signals();
    sigset_t saved;
    pthread_sigmask(SIG_BLOCK, &signals, &saved);
    if (!failed) failed = pthread_create(&thread, &attr, thread_main, &job);
    pthread_attr_destroy(&attr);
    if (failed) {
        pthread_sigmask(SIG_SETMASK, &saved, nullptr);
        // Without its own stack, Kel code would run with no known stack
        // bounds: deep recursion would crash instead of raising its error.
        print_line({PrintItem::text("*** Cannot make the thread that runs Kel code: "),
                    PrintItem::text(std::strerror(failed))});
        system_quit(exit_status::OUT_OF_MEMORY, caller_location());
    }
    pthread_join(thread, nullptr);
}

void run_on_large_stack(void (*fn)(void*), void* arg) { run_on_stack(fn, arg, KEL_STACK_SIZE); }

}  // namespace kel::platform
