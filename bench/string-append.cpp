// Building text in string buffers, the work every form and mold does:
// appending code points one at a time (ASCII into a one-byte string, and
// BMP text into a two-byte one) and appending C-strings, against the same
// work on std::string / std::u16string in the same run.
#include <string>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"

using namespace kel;

namespace {

volatile uint64_t sink;

constexpr int N = 10000000;

Cell fresh_string() {
    Cell s = make_unset();
    string::ks_make_at(s, 16);
    return s;
}

}  // namespace

int main() {
    start_runtime();

    double ours = bench::best_of(3, [] {
        Cell s = fresh_string();
        Rooted keep(s);
        SeriesBuffer* b = string::buffer(s);
        for (int i = 0; i < N; ++i) b = string::append_char(b, uint32_t('a' + i % 26));
        sink = b->used();
    });
    double theirs = bench::best_of(3, [] {
        std::string t;
        for (int i = 0; i < N; ++i) t.push_back(char('a' + i % 26));
        sink = t.size();
    });
    bench::report("append_char 10M ASCII (1-byte units)", ours, theirs, "std::string push_back");

    ours = bench::best_of(3, [] {
        Cell s = fresh_string();
        Rooted keep(s);
        SeriesBuffer* b = string::append_char(string::buffer(s), 0x3042);
        for (int i = 0; i < N; ++i) b = string::append_char(b, uint32_t(0x3040 + i % 80));
        sink = b->used();
    });
    theirs = bench::best_of(3, [] {
        std::u16string t;
        t.push_back(u'\x3042');
        for (int i = 0; i < N; ++i) t.push_back(char16_t(0x3040 + i % 80));
        sink = t.size();
    });
    bench::report("append_char 10M BMP (2-byte units)", ours, theirs, "std::u16string push_back");

    const char* words[] = {"none", "true", "[", "]", "make object! ", "    ", "\"text\"", "1.5"};
    ours = bench::best_of(3, [&] {
        Cell s = fresh_string();
        Rooted keep(s);
        for (int i = 0; i < N / 4; ++i) string::append_c_string(s, words[i % 8]);
        sink = string::buffer(s)->used();
    });
    theirs = bench::best_of(3, [&] {
        std::string t;
        for (int i = 0; i < N / 4; ++i) t.append(words[i % 8]);
        sink = t.size();
    });
    bench::report("append_c_string 2.5M short texts", ours, theirs, "std::string append");
    return 0;
}
