// binary! form and mold: "#{", two upper-case hexadecimal digits per byte,
// "}". A binary of more than 30 bytes (unless /flat) starts its digits on a
// line of their own, indented one level deeper than the value, breaks the
// line after every 32 bytes and ends on a new line at the value's own level.
// form is mold without /only, /all and /flat at level 0.
//
// The level is the caller's (MoldOptions::indent) and passed on by value: no
// exit, a /part budget that runs out included, can leave it raised for the
// molds that follow.
#include <cstring>

#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"

namespace kel::binary {

namespace {

constexpr int64_t LONG_VALUE = 30;  // more bytes than this: the digits go on lines of their own
constexpr int64_t LINE_BYTES = 32;

// Digits gathered in a local buffer and appended in runs: the bytes are read
// through the node for each run, as appending may move every buffer.
class Digits {
public:
    explicit Digits(const Cell& target) : target_(target) {}
    void byte(uint8_t b) {
        static constexpr char hex[] = "0123456789ABCDEF";
        if (n_ + 2 > sizeof run_) flush();
        run_[n_++] = hex[b >> 4];
        run_[n_++] = hex[b & 15];
    }
    void flush() {
        string::append_c_string_part(target_, run_, int32_t(n_));
        n_ = 0;
    }

private:
    const Cell& target_;
    char run_[2 * LINE_BYTES];
    size_t n_ = 0;
};

void new_line(const Cell& target, int level, int64_t& budget) {
    string::append_c_string(target, "\n");
    budget = mold_indent(target, level, budget);
}

}  // namespace

int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    Rooted keep_value(value);
    Rooted keep_target(target);
    int64_t budget = options.limit;
    int level = options.indent + 1;
    bool lines = detail::bytes_of(value).n > LONG_VALUE && !options.flat;
    if (!options.only) {
        string::append_c_string(target, "#{");
        budget -= 2;
    }
    if (lines) new_line(target, level, budget);
    int64_t n = detail::bytes_of(value).n;
    int64_t head = detail::head_of(value);
    NodeId node = cell_node(value);
    Digits digits(target);
    for (int64_t i = 0; i < n; ++i) {
        digits.byte(memory::buffer_of(node)->head_ptr()[head + i]);
        budget -= 2;
        if ((i + 1) % LINE_BYTES == 0 && !options.flat) {
            digits.flush();
            new_line(target, level, budget);
        }
        if (options.part && budget <= 0) {
            digits.flush();
            return budget;
        }
    }
    digits.flush();
    if (lines && n % LINE_BYTES != 0) new_line(target, level - 1, budget);
    if (!options.only) {
        string::append_c_string(target, "}");
        budget -= 1;
    }
    return budget;
}

int64_t form(Cell value, Cell target, bool part, int64_t limit) {
    MoldOptions options;
    options.part = part;
    options.limit = limit;
    return mold(value, target, options);
}

}  // namespace kel::binary
