// Symbol interning: 1,000,000 distinct names interned, then looked up again
// (interning a known spelling answers its id), against the same work on a
// std::unordered_map<std::string, int> in the same run.
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hashing/symbol-table.h"

using namespace kel;

namespace {

volatile int64_t sink;

// Word-like names of 4 to 14 bytes, mixed case, all distinct.
std::vector<std::string> make_names(size_t n) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-?!*";
    std::vector<std::string> names;
    names.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        std::string s;
        size_t v = i * 2654435761u + 12345;
        s += letters[v % 26];
        for (size_t k = i; k; k /= 56) s += letters[k % 56];
        s += '-';
        s += letters[(v >> 8) % 56];
        s += letters[(v >> 16) % 56];
        names.push_back(std::move(s));
    }
    return names;
}

}  // namespace

int main() {
    start_runtime();
    symbol_table::init();
    constexpr size_t N = 1000000;
    std::vector<std::string> names = make_names(N);

    // Interning: each name is new (one run: symbols are never removed).
    std::unordered_map<std::string, int> reference;
    double ours = bench::best_of(1, [&] {
        int64_t s = 0;
        for (const std::string& n : names)
            s += symbol::make_with_length(reinterpret_cast<const uint8_t*>(n.data()), uint32_t(n.size()));
        sink = s;
    });
    double theirs = bench::best_of(1, [&] {
        int id = 0;
        for (const std::string& n : names) reference.emplace(n, ++id);
        sink = id;
    });
    bench::report("intern 1,000,000 distinct names", ours, theirs, "unordered_map insert");

    // Look-ups of names already interned.
    ours = bench::best_of(5, [&] {
        int64_t s = 0;
        for (const std::string& n : names)
            s += symbol::make_with_length(reinterpret_cast<const uint8_t*>(n.data()), uint32_t(n.size()));
        sink = s;
    });
    theirs = bench::best_of(5, [&] {
        int64_t s = 0;
        for (const std::string& n : names) s += reference.find(n)->second;
        sink = s;
    });
    bench::report("look up 1,000,000 interned names", ours, theirs, "unordered_map find");
    return 0;
}
