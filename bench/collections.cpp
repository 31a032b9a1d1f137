// map! and vector! through their action slots, each against a plain C++
// reference on the same data in the same run:
//   - 1,000,000 puts and then selects of string keys against
//     std::unordered_map<std::string, int32_t>;
//   - v + 1 over 10,000,000 32-bit integers and v * 1.5 over 10,000,000
//     64-bit floats against a loop over a std::vector;
//   - the map row of bench/compare (500,000 string-key inserts and lookups,
//     the same Kel program) run in this process through the interpreter,
//     against /usr/bin/python3's dict as a child process minus its start-up.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/vector.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/platform/process.h"
#include "tests/boot-library.h"

namespace {

using namespace kel;

constexpr int KEYS = 1000000;
constexpr int ELEMENTS = 10000000;

void map_rows() {
    std::vector<std::string> names(KEYS);
    for (int i = 0; i < KEYS; ++i) names[size_t(i)] = "key" + std::to_string(int64_t(i) * 7919);
    // The keys as Kel strings, made once, in a block on the stack.
    Cell* keys = block::push_only(KEYS);
    for (int i = 0; i < KEYS; ++i) {
        Cell* s = string::import(reinterpret_cast<const uint8_t*>(names[size_t(i)].data()),
                                 int32_t(names[size_t(i)].size()), 0);
        block::append_cell(*keys, *s);
        stack::pop(1);
    }
    Cell* m = stack::push(make_none());
    Cell* out = stack::push(make_none());
    Cell* key = stack::push(make_none());
    Cell* value = stack::push(make_none());
    auto put_slot = actions::slot_for<ACTION_PUT>(TYPE_MAP);
    auto select_slot = actions::slot_for<ACTION_SELECT>(TYPE_MAP);
    double put = bench::best_of(3, [&] {
        *m = *map::push_new(nullptr, 0);
        stack::pop(1);
        for (int i = 0; i < KEYS; ++i) {
            *key = block::buffer(*keys)->cells()[i];
            *value = make_integer(i);
            put_slot(out, m, key, value, false);
        }
    });
    int64_t sum = 0;
    double select = bench::best_of(3, [&] {
        FindOptions o;
        for (int i = 0; i < KEYS; ++i) {
            *key = block::buffer(*keys)->cells()[i];
            select_slot(out, m, key, o);
            sum += cell_integer(*out);
        }
    });
    std::unordered_map<std::string, int32_t> reference;
    double ref_put = bench::best_of(3, [&] {
        reference = {};
        for (int i = 0; i < KEYS; ++i) reference[names[size_t(i)]] = i;
    });
    int64_t ref_sum = 0;
    double ref_select = bench::best_of(3, [&] {
        for (int i = 0; i < KEYS; ++i) ref_sum += reference.find(names[size_t(i)])->second;
    });
    if (sum != ref_sum) std::printf("(sums differ: %lld %lld)\n", (long long)sum, (long long)ref_sum);
    bench::report("map! put, 1,000,000 string keys", put, ref_put, "unordered_map insert");
    bench::report("map! select, 1,000,000 string keys", select, ref_select, "unordered_map find");
    stack::pop(5);
}

void vector_rows() {
    Cell* v = stack::push(make_none());
    vector::make_at(*v, ELEMENTS, TYPE_INTEGER, 4);
    for (int i = 0; i < ELEMENTS; ++i) vector::ks_append_int(*v, uint32_t(i));
    std::vector<int32_t> ints(static_cast<size_t>(ELEMENTS));
    for (int i = 0; i < ELEMENTS; ++i) ints[size_t(i)] = i;
    auto add = actions::slot_for<ACTION_ADD>(TYPE_VECTOR);
    auto multiply = actions::slot_for<ACTION_MULTIPLY>(TYPE_VECTOR);
    Cell* saved = stack::state.arguments;
    auto in_frame = [&](Cell vector, Cell scalar, auto slot) {
        stack::state.arguments = stack::state.top;
        stack::push(vector);
        stack::push(scalar);
        slot();
        stack::state.top = stack::state.arguments;
        stack::state.arguments = saved;
    };
    double ours = bench::best_of(3, [&] { in_frame(*v, make_integer(1), add); });
    double ref = bench::best_of(3, [&] {
        for (auto& x : ints) x = int32_t(uint32_t(x) + 1u);
        asm volatile("" : : "r"(ints.data()) : "memory");
    });
    bench::report("vector! v + 1, 10,000,000 integers", ours, ref, "C++ loop");
    stack::pop(1);
    Cell* f = stack::push(make_none());
    vector::make_at(*f, ELEMENTS, TYPE_FLOAT, 8);
    for (int i = 0; i < ELEMENTS; ++i) vector::ks_append(*f, kel::float_::make_cell(double(i)));
    std::vector<double> doubles(static_cast<size_t>(ELEMENTS));
    for (int i = 0; i < ELEMENTS; ++i) doubles[size_t(i)] = double(i);
    Cell scale{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(scale, 1.5);
    ours = bench::best_of(3, [&] { in_frame(*f, scale, multiply); });
    ref = bench::best_of(3, [&] {
        for (auto& x : doubles) x = x * 1.5;
        asm volatile("" : : "r"(doubles.data()) : "memory");
    });
    bench::report("vector! v * 1.5, 10,000,000 floats", ours, ref, "C++ loop");
    stack::pop(1);
}

double run_child(const char* path, const char* program) {
    if (access(path, X_OK) != 0) return -1;
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execl(path, path, "-c", program, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double best_child(const char* program, int rounds) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        double t = run_child("/usr/bin/python3", program);
        if (t < 0) return -1;
        best = std::min(best, t);
    }
    return best;
}

void compare_row() {
    const char* kel =
        "m: make map! 500000 repeat i 500000 [put m append copy \"key\" i i] "
        "n: 0 repeat i 500000 [n: n + select m append copy \"key\" i] n";
    const char* python =
        "m = {}\nfor i in range(1, 500001):\n    m['key' + str(i)] = i\nn = 0\n"
        "for i in range(1, 500001):\n    n += m['key' + str(i)]\n";
    Cell* saved = stack::state.top;
    Cell* code = test::load(kel);
    double ours = bench::best_of(3, [code] {
        Cell* top = stack::state.top;
        if (interpreter::eval(*code, false)) std::abort();
        stack::state.top = top;
    });
    stack::state.top = saved;
    double start = best_child("", 5);
    double py = best_child(python, 3);
    if (py < 0 || start < 0) {
        std::printf("%-44s %10.3f ms   python3 missing\n", "map row of bench/compare (in process)", ours * 1e3);
        return;
    }
    bench::report("map row of bench/compare (in process)", ours, py - start, "python3 dict");
}

void body(void*) {
    with_root_catch([] {
        test::boot_library();
        map_rows();
        vector_rows();
        compare_row();
    });
}

}  // namespace

int main() {
    platform::run_on_large_stack(body, nullptr);
    return 0;
}
