// Counting the words of a 10 MB text with a charset rule,
//     parse text [any [some letters (n: n + 1) | skip]]
// through the parse native, against python3's len(re.findall("[A-Za-z]+",
// text)) on the same text (a child process in the same run, reading the
// text from a file this run writes) and a hand-written C++ loop. Target: at
// most 1.5x python3's time. Also the same count with the letters rule in a
// block (one state-machine pass per letter: the price of the fast loops'
// absence) and `to`/`thru` of a string over the text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "bench/bench.h"
#include "bench/python.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/io/lexer.h"
#include "tests/boot-library.h"

using namespace kel;

namespace {

constexpr size_t SIZE = 10 << 20;
constexpr int ROUNDS = 3;

std::string make_text() {
    std::mt19937 gen(11);
    std::string text;
    text.reserve(SIZE + 16);
    const char* gaps[] = {" ", " ", " ", ", ", ". ", "\n", " - ", "  "};
    while (text.size() < SIZE) {
        int n = 1 + int(gen() % 9);
        for (int i = 0; i < n; ++i) {
            uint32_t r = gen();
            text += char((r & 32 ? 'a' : 'A') + (r >> 8) % 26);
        }
        text += gaps[gen() % 8];
        if (gen() % 50 == 0) text += std::to_string(gen() % 1000);
    }
    return text;
}

int64_t count_loop(const std::string& t) {
    int64_t n = 0;
    bool in_word = false;
    for (unsigned char c : t) {
        bool letter = (c | 32) >= 'a' && (c | 32) <= 'z';
        if (letter && !in_word) ++n;
        in_word = letter;
    }
    return n;
}

Cell* lex(const char* text) {
    Cell* b = stack::push(make_none());
    lexer::scan(b, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    return b;
}

// Runs the code and answers its integer! value.
int64_t run(const char* code) {
    Cell* top = stack::state.top;
    Cell* block = lex(code);
    if (interpreter::eval(*block, false)) std::abort();
    int64_t n = cell_integer(*(stack::state.top - 1));
    stack::state.top = top;
    return n;
}

}  // namespace

int main() {
    test::boot_library();
    std::string text = make_text();
    const char* path = "/tmp/kel-bench-parse.txt";
    FILE* f = std::fopen(path, "wb");
    if (!f) return 1;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    Cell* str =
        string::import(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), string::ENCODING_UTF8);
    test::set_global("text", *str);
    run("letters: make bitset! {abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ} 0");

    auto python =
        bench::python_timings("import re\n" + bench::python_best_of(ROUNDS) + "text = open('" + path +
                              "').read()\n"
                              "print('count', len(re.findall('[A-Za-z]+', text)), file=__import__('sys').stderr)\n"
                              "print('findall', best(lambda: len(re.findall('[A-Za-z]+', text))))\n");

    int64_t expected = count_loop(text);
    int64_t got = 0;
    double ours =
        bench::best_of(ROUNDS, [&] { got = run("n: 0 parse text [any [some letters (n: n + 1) | skip]] n"); });
    volatile int64_t sink = 0;
    double loop = bench::best_of(ROUNDS, [&] { sink = count_loop(text); });
    (void)sink;
    if (got != expected) {
        std::printf("parse counted %lld words, the loop %lld\n", (long long)got, (long long)expected);
        return 1;
    }
    std::printf("10 MB text, %lld words, best of %d\n", (long long)expected, ROUNDS);
    bench::report("parse word count (charset)", ours, loop, "C++ loop");
    auto p = python.find("findall");
    if (p != python.end())
        bench::report("parse word count (charset)", ours, p->second, "python3 re.findall");
    else
        std::printf("python3: missing\n");

    double block_rule = bench::best_of(
        ROUNDS, [&] { got = run("n: 0 word: [some [letters]] parse text [any [word (n: n + 1) | skip]] n"); });
    if (got != expected) return 1;
    bench::report("word count, letters in a block", block_rule, ours, "charset rule");
    double search = bench::best_of(ROUNDS, [&] { got = run("n: 0 parse text [to {zzzzzzzzzzzzzz} | to end] 0"); });
    bench::report("to {zzzz...} over 10 MB", search, loop, "C++ word loop");
    std::remove(path);
    return 0;
}
