// Shared libraries opened on first use instead of linked: a library the
// executable links is mapped and relocated by the dynamic loader at every
// start, with its whole dependency tree, whether a run uses it or not.
//
// A library is described by an api struct of typed function pointers, one
// per function used, each declared as `decltype(&::name)` so that the
// compiler checks every call against the library's own header. The struct
// names its soname (`SONAME`, the one the build found) and resolves its
// entries in `bool bind(SharedLibrary&)`, which may also run the library's
// one-time set-up and answers whether all went well. `load_api<Api>()`
// opens the library and binds the struct once for the process (thread-safe)
// and answers the table, or null when the library, one of its symbols or
// its set-up failed: that failure is kept, and every later call answers
// null again without trying. Callers turn null into the error their
// operation gives for a failure of the library. `opened_api<Api>()` is the
// same table without the test-only refusal below: for a library's own
// callbacks, which run only inside calls made through a table `load_api`
// gave.
//
// An opened library is never closed: its functions may be called at any
// time until exit, and LeakSanitizer resolves the frames of their
// allocations through the still-mapped library.
#pragma once

namespace kel::platform {

class SharedLibrary {
public:
    // Opens `soname` (RTLD_NOW | RTLD_LOCAL); a failure is kept.
    explicit SharedLibrary(const char* soname);
    // Resolves `name` into `entry`; a missing symbol makes the library
    // incomplete and leaves `entry` null.
    template <class Function>
    void resolve(Function*& entry, const char* name) {
        entry = reinterpret_cast<Function*>(symbol(name));
        if (!entry) complete_ = false;
    }
    // Opened, and every symbol asked for so far was found.
    bool complete() const { return complete_; }

private:
    void* symbol(const char* name);
    void* handle_ = nullptr;
    bool complete_ = false;
};

// For tests only: while one of these lives, `load_api` answers null for
// every library, whether it was opened before or not (nothing is remembered
// as failed); the setting before it comes back when it ends.
class RefusedLoading {
public:
    RefusedLoading();
    ~RefusedLoading();
    RefusedLoading(const RefusedLoading&) = delete;
    RefusedLoading& operator=(const RefusedLoading&) = delete;

private:
    bool before_;
};
bool loading_refused();

template <class Api>
const Api* opened_api() {
    static const Api* const api = [] {
        static Api table{};
        SharedLibrary library(Api::SONAME);
        return table.bind(library) && library.complete() ? &table : nullptr;
    }();
    return api;
}

template <class Api>
const Api* load_api() {
    return loading_refused() ? nullptr : opened_api<Api>();
}

}  // namespace kel::platform
