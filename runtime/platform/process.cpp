#include "runtime/platform/process.h"

#include <pthread.h>

#include <cstring>

#include "runtime/platform/faults.h"
#include "runtime/platform/heap.h"
#include "runtime/core/system.h"

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

namespace {

struct Job {
    void (*fn)(void*);
    void* arg;
};

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
    job->fn(job->arg);
    return nullptr;
}

}  // namespace

bool run_on_large_stack(void (*fn)(void*), void* arg) {
    Job job{fn, arg};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, KEL_STACK_SIZE);
    pthread_t thread;
    bool made = pthread_create(&thread, &attr, thread_main, &job) == 0;
    pthread_attr_destroy(&attr);
    if (!made) {
        fn(arg);
        return false;
    }
    pthread_join(thread, nullptr);
    return true;
}

}  // namespace kel::platform
