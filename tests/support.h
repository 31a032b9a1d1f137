// Shared by the test programs: a started runtime, whether every allocation
// collects (KEL_GC_STRESS) so that the heaviest cases can use smaller data
// sizes under stress, language errors caught as ids, an argument frame, and
// the guards that keep one test's changes to process-wide state from reaching
// the next: every test program passes in any order and when repeated.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <type_traits>

#include "environment/boot/start.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/memory.h"

namespace kel::test {

inline void boot() { start_runtime(); }

inline bool gc_stress() { return memory::stress(); }

// `full` normally, `reduced` when every allocation collects.
inline size_t scaled(size_t full, size_t reduced) { return gc_stress() ? reduced : full; }

// Runs body under an error catcher. Answers the id of the language error it
// raised, or -1 when it returned; a throw of another kind fails the test.
// With `arg`, the error's first argument is copied there.
// The argument stack comes back to where it stood, as a catcher's does:
// fire leaves the error value on it.
template <class Body>
int error_of(Body&& body, Cell* arg = nullptr) {
    Cell* top = stack::state.top;
    uint32_t code = protect(catch_level::ERRORS, body);
    stack::state.top = top;
    handled();
    if (code == 0) return -1;
    EXPECT_EQ(code, thrown::ERROR) << "a throw that is no language error";
    if (code != thrown::ERROR) return -1;
    if (arg && error_in_flight().argc > 0) *arg = error_in_flight().args[0];
    return int(error_in_flight().id);
}
inline int id(ErrorId e) { return int(e); }

// Opens an argument frame at the stack top holding the given cells and
// closes it again when it goes out of scope.
class Frame {
public:
    explicit Frame(std::initializer_list<Cell> cells) : arguments_(stack::state.arguments), top_(stack::state.top) {
        stack::state.arguments = stack::state.top;
        for (const Cell& c : cells) stack::push(c);
    }
    ~Frame() {
        stack::state.arguments = arguments_;
        stack::state.top = top_;
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    Cell& operator[](int i) { return stack::state.arguments[i]; }

private:
    Cell* arguments_;
    Cell* top_;
};

// Gives a variable back the value it had when the guard was made.
template <class T>
class Restore {
public:
    explicit Restore(T& place) : place_(place), saved_(place) {}
    ~Restore() { place_ = saved_; }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& place_;
    T saved_;
};

// Installs a hook through a function that answers the hook it replaces, and
// puts that one back when it goes out of scope.
template <class Hook>
class Installed {
public:
    Installed(Hook (*install)(Hook), std::type_identity_t<Hook> hook) : install_(install), previous_(install(hook)) {}
    ~Installed() { install_(previous_); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

private:
    Hook (*install_)(Hook);
    Hook previous_;
};

// A stand-in for the collector, run by allocation while the guard lives
// (with `stress`, before every allocation). The collector that was installed,
// whether it was enabled and the stress switch come back afterwards.
class StandInCollector {
public:
    StandInCollector(memory::CollectFn collect, bool stress)
        : collector_(memory::install_collector, collect),
          enabled_(memory::collector_enabled()),
          stress_(memory::state.stress) {
        memory::set_collector_enabled(true);
        memory::state.stress = stress;
    }
    ~StandInCollector() { memory::set_collector_enabled(enabled_); }

private:
    Installed<memory::CollectFn> collector_;
    bool enabled_;
    Restore<bool> stress_;
};

// Runs body in a child process and expects the child to pass its checks,
// for a case that uses up a process-wide capacity or changes something once
// per process. The child's failed checks are printed by the child.
template <class Body>
void in_child_process(Body&& body) {
    EXPECT_EXIT(
        {
            body();
            std::fflush(nullptr);
            std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace kel::test
