// The evaluator against CPython and Lua on recursive fib 30, a summing loop
// of 10,000,000, while counting to 10,000,000, loop calling a function whose
// body is an either 1,000,000 times, foreach summing a block of 1,000,000
// integers and reduce of a 10-expression block 1,000,000 times (the rows of
// bench/compare/run.sh): the Kel programs run in this process through the
// interpreter (read by the tests' small text reader until the lexer lands);
// python3 (the system's, /usr/bin/python3) and lua5.4 run theirs as child
// processes in the same run, each minus its own empty-script start-up
// measured in this run. Prints the times and the ratios Kel/CPython and
// Kel/Lua. A missing interpreter prints "missing" in its column.
//
// `bench-eval 'code'` runs only the given Kel code, once, and prints its
// time: a harness for profilers.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench.h"
#include "runtime/core/system.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/platform/process.h"
#include "tests/boot-library.h"

namespace {

using namespace kel;

struct Program {
    const char* name;
    const char* kel;
    const char* python;
    const char* lua;
};

const Program PROGRAMS[] = {
    {"fib 30", "fib: func [n] [either n < 2 [n] [(fib n - 1) + (fib n - 2)]] fib 30",
     "def fib(n):\n    return n if n < 2 else fib(n - 1) + fib(n - 2)\nfib(30)\n",
     "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end fib(30)"},
    {"sum 1..10,000,000", "s: 0 repeat i 10000000 [s: s + i] s", "s = 0\nfor i in range(1, 10000001):\n    s += i\n",
     "local s = 0 for i = 1, 10000000 do s = s + i end"},
    {"while 10,000,000", "i: 0 while [i < 10000000] [i: i + 1] i", "i = 0\nwhile i < 10000000:\n    i += 1\n",
     "local i = 0 while i < 10000000 do i = i + 1 end"},
    {"func call 1,000,000",
     "f: func [n] [either n < 500000 [n + 1] [n - 1]] i: 0 s: 0 loop 1000000 [i: i + 1 s: f i] s",
     "def f(n):\n    return n + 1 if n < 500000 else n - 1\ni = 0\ns = 0\nfor _ in range(1000000):\n    i += 1\n    s = f(i)\n",
     "local function f(n) if n < 500000 then return n + 1 else return n - 1 end end local i = 0 local s = 0 "
     "for _ = 1, 1000000 do i = i + 1 s = f(i) end"},
    {"foreach 1,000,000", "b: make block! 1000000 repeat i 1000000 [append b i] s: 0 foreach x b [s: s + x] s",
     "b = []\nfor i in range(1, 1000001):\n    b.append(i)\ns = 0\nfor x in b:\n    s += x\n",
     "local b = {} for i = 1, 1000000 do b[#b + 1] = i end local s = 0 for _, x in ipairs(b) do s = s + x end"},
    {"reduce 10 x 1,000,000",
     "x: 1 loop 1000000 [r: reduce [x + 1 x + 2 x + 3 x + 4 x + 5 x + 6 x + 7 x + 8 x + 9 x + 10]]",
     "x = 1\nfor _ in range(1000000):\n    r = [x + 1, x + 2, x + 3, x + 4, x + 5, x + 6, x + 7, x + 8, x + 9, x + 10]\n",
     "local x = 1 local r for _ = 1, 1000000 do r = {x + 1, x + 2, x + 3, x + 4, x + 5, x + 6, x + 7, x + 8, x + 9, x + 10} end"},
};

// Wall time of one run of the command (argv), or a negative value when it
// cannot run.
double run_child(const char* path, const char* flag, const char* program) {
    if (access(path, X_OK) != 0) return -1;
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execl(path, path, flag, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double best_child(const char* path, const char* flag, const char* program, int rounds) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        double t = run_child(path, flag, program);
        if (t < 0) return -1;
        if (t < best) best = t;
    }
    return best;
}

double run_kel(const char* text) {
    Cell* saved = stack::state.top;
    Cell* code = test::load(text);
    double t = bench::best_of(3, [code] {
        Cell* top = stack::state.top;
        if (interpreter::eval(*code, false)) std::abort();
        stack::state.top = top;
    });
    stack::state.top = saved;
    return t;
}

void column(double t, double kel) {
    if (t < 0)
        std::printf("   %10s %8s", "missing", "");
    else
        std::printf("   %8.1f ms %7.2fx", t * 1e3, kel / t);
}

const char* only_code = nullptr;

void body(void*) {
    with_root_catch([] {
        if (only_code) {
            test::boot_library();
            Cell* code = test::load(only_code);
            auto t0 = std::chrono::steady_clock::now();
            if (interpreter::eval(*code, false)) std::abort();
            if (std::getenv("KEL_BENCH_SHOW")) std::printf("%d ", cell_integer(*(stack::state.top - 1)));
            std::printf("%.1f ms\n",
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() * 1e3);
            return;
        }
        test::boot_library();
        const char* python = "/usr/bin/python3";
        const char* lua = "/usr/bin/lua5.4";
        double python_start = best_child(python, "-c", "", 5);
        double lua_start = best_child(lua, "-e", "", 5);
        std::printf("%-20s %12s   %21s   %21s\n", "program", "kel", "python3 (kel/py)", "lua5.4 (kel/lua)");
        for (const Program& p : PROGRAMS) {
            double kel = run_kel(p.kel);
            double py = best_child(python, "-c", p.python, 3);
            double lu = best_child(lua, "-e", p.lua, 3);
            if (py >= 0) py -= python_start;
            if (lu >= 0) lu -= lua_start;
            std::printf("%-20s %9.1f ms", p.name, kel * 1e3);
            column(py, kel);
            column(lu, kel);
            std::printf("\n");
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) only_code = argv[1];
    platform::run_on_large_stack(body, nullptr);
    return 0;
}
