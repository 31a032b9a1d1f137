// The string! actions against plain C++ on the same work in the same run:
// appending a million short strings through the append action, finding a
// 20-character pattern in 10 MB with and without /case, and a case-insensitive
// comparison of two equal 10 MB strings.
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"

using namespace kel;

namespace {

volatile uint64_t sink;

Cell string_of(const std::string& text) {
    Cell s = make_unset();
    string::ks_make_at(s, int32_t(text.size()));
    string::append_c_string_part(s, text.c_str(), int32_t(text.size()));
    return s;
}

}  // namespace

int main() {
    start_runtime();

    // 1,000,000 short strings appended into one.
    const char* words[] = {"alpha", "be", "gamma-ray", "d", "epsilon ", "zeta", "eta", "theta!"};
    std::vector<Cell> pieces;
    for (const char* w : words) pieces.push_back(string_of(w));
    std::vector<std::unique_ptr<Rooted>> keep;
    for (Cell& p : pieces) keep.push_back(std::make_unique<Rooted>(p));
    constexpr int APPENDS = 1000000;
    double ours = bench::best_of(5, [&] {
        Cell s = make_unset();
        string::ks_make_at(s, 16);
        Rooted hold(s);
        AppendOptions plain;
        for (int i = 0; i < APPENDS; ++i) {
            Cell out;
            actions::append(&out, &s, &pieces[size_t(i % 8)], plain);
        }
        sink = string::buffer(s)->used();
    });
    double theirs = bench::best_of(5, [&] {
        std::string t;
        for (int i = 0; i < APPENDS; ++i) t.append(words[i % 8]);
        sink = t.size();
    });
    bench::report("append 1M short strings (target 4x)", ours, theirs, "std::string::append");

    // A 20-character pattern at the end of 10 MB of text.
    constexpr size_t SIZE = 10 * 1024 * 1024;
    std::string hay;
    hay.reserve(SIZE + 32);
    for (size_t i = 0; hay.size() < SIZE; ++i) hay.push_back(char('a' + (i * 7 + i / 13) % 23));
    const std::string needle = "The Needle At The End";  // 20 characters after trimming to size
    std::string pattern = needle.substr(0, 20);
    hay += pattern;
    Cell text = string_of(hay);
    Rooted keep_text(text);
    Cell pat = string_of(pattern);
    Rooted keep_pat(pat);
    FindOptions cased;
    cased.case_sensitive = true;
    ours = bench::best_of(5, [&] {
        Cell out;
        actions::find(&out, &text, &pat, cased);
        sink = out.data1;
    });
    theirs = bench::best_of(5, [&] { sink = hay.find(pattern); });
    bench::report("find/case 20 chars in 10 MB (target 2x)", ours, theirs, "std::string::find");

    // A pattern whose first letter is frequent in the text: many candidates.
    std::string common = "abcdefghijklmnopqrsz";
    Cell common_pat = string_of(common);
    Rooted keep_common(common_pat);
    ours = bench::best_of(5, [&] {
        Cell out;
        actions::find(&out, &text, &common_pat, cased);
        sink = out.data1;
    });
    theirs = bench::best_of(5, [&] { sink = hay.find(common); });
    bench::report("find/case, frequent first letter (target 2x)", ours, theirs, "std::string::find");

    Cell lower_pat = string_of("the needle at the en");
    Rooted keep_lower(lower_pat);
    ours = bench::best_of(5, [&] {
        Cell out;
        actions::find(&out, &text, &lower_pat, FindOptions{});
        sink = out.data1;
    });
    std::string lp = "the needle at the en";
    theirs = bench::best_of(5, [&] {
        auto it = std::search(hay.begin(), hay.end(), lp.begin(), lp.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
        sink = uint64_t(it - hay.begin());
    });
    bench::report("find 20 chars in 10 MB, folded (target 2x)", ours, theirs, "std::search tolower");

    // Two 10 MB strings equal when case is ignored: one lower, one upper case.
    std::string upper = hay;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    std::string lower = hay;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    Cell a = string_of(lower);
    Rooted keep_a(a);
    Cell b = string_of(upper);
    Rooted keep_b(b);
    ours = bench::best_of(5, [&] { sink = uint64_t(string::compare_strings(a, b, COMP_EQUAL, false)); });
    theirs = bench::best_of(5, [&] {
        int r = 0;
        for (size_t i = 0; i < lower.size(); ++i) {
            int x = std::tolower(static_cast<unsigned char>(lower[i]));
            int y = std::tolower(static_cast<unsigned char>(upper[i]));
            if (x != y) {
                r = x < y ? -1 : 1;
                break;
            }
        }
        sink = uint64_t(r);
    });
    bench::report("compare 10 MB ignoring case (target 2x)", ours, theirs, "byte-wise tolower");
    return 0;
}
