// Library helpers on large texts, each row timed inside the interpreter
// with `dt` (no process start, no file reading), the median of several runs,
// against python3 on the same texts in the same run:
// - split of a 10 MB text at a comma against str.split (target: at most 2x
//   python3's time);
// - replace/all of a 1 MB and a 4 MB text, a match every 10 characters and a
//   longer replacement, against str.replace (target: the 4 MB run at most 5x
//   the 1 MB run, that is linear; the ratio to python3 is reported).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/kel-run.h"
#include "bench/python.h"
#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"

using namespace kel;

namespace {

constexpr int ROUNDS = 5;

double run(const std::string& code) { return bench::run_seconds(code); }
double median_of(const std::string& code) { return bench::median_of(code, ROUNDS); }

void report(const char* what, double ours, double reference, const char* reference_name) {
    std::printf("%-40s %10.1f ms   %-16s %10.1f ms   ratio %.2f\n", what, ours * 1e3, reference_name, reference * 1e3,
                ours / reference);
}

}  // namespace

int main() {
    start_runtime();
    boot::build();
    // The texts: fields of nine letters, each followed by a comma.
    run("text10: make string! 10000000 loop 1000000 [append text10 {abcdefghi,}] "
        "text1: copy/part text10 1000000 text4: copy/part text10 4000000 0.0");
    double split = median_of("to float! dt [split text10 #\",\"]");
    double replace1 = median_of("t: copy text1 to float! dt [replace/all t {,} {<comma>}]");
    double replace4 = median_of("t: copy text4 to float! dt [replace/all t {,} {<comma>}]");
    if (run("to float! length? replace/all copy text1 {,} {<comma>}") != 1600000.0) {
        std::printf("replace/all made the wrong text\n");
        return 1;
    }

    auto python = bench::python_timings(bench::python_median_of(ROUNDS) +
                                        "text10 = 'abcdefghi,' * 1000000\n"
                                        "text1 = text10[:1000000]\n"
                                        "text4 = text10[:4000000]\n"
                                        "print('split', median(lambda: text10.split(',')))\n"
                                        "print('replace1', median(lambda: text1.replace(',', '<comma>')))\n"
                                        "print('replace4', median(lambda: text4.replace(',', '<comma>')))\n");

    std::printf("median of %d runs\n", ROUNDS);
    const char* rows[][2] = {
        {"split", "split 10 MB at a comma"}, {"replace1", "replace/all 1 MB"}, {"replace4", "replace/all 4 MB"}};
    double ours[] = {split, replace1, replace4};
    for (int i = 0; i < 3; ++i) {
        auto p = python.find(rows[i][0]);
        if (p == python.end())
            std::printf("%-40s %10.1f ms   python3: missing\n", rows[i][1], ours[i] * 1e3);
        else
            report(rows[i][1], ours[i], p->second, "python3");
    }
    report("replace/all 4 MB against 1 MB", replace4, replace1, "1 MB");
    return 0;
}
