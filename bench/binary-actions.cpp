// The binary! work that I/O, the codecs and the natives repeat: appending
// small values (the append action, which measures and checks each value
// first, and the raw append_int32 writer), to binary! of a large string (its
// UTF-8 bytes), mold of a large binary (hex digits in lines of 32 bytes) and
// comparison of two large equal binaries, each against a plain C++ loop over
// std::vector / std::string in the same run. Prints the times and the ratio
// (ours over the plain loop).
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"

using namespace kel;

namespace {

volatile uint64_t sink;

constexpr int APPENDS = 1000000;
constexpr size_t BIG = 16 << 20;

Cell new_binary(uint64_t n, uint8_t seed) {
    Cell b = make_unset();
    binary::make_at(b, n);
    SeriesBuffer* buf = binary::buffer(b);
    for (uint64_t i = 0; i < n; ++i) buf->head_ptr()[i] = uint8_t(i * 131 + seed);
    buf->tail = buf->offset + n;
    return b;
}

}  // namespace

int main() {
    start_runtime();

    // append of a 4-byte binary, one at a time.
    Cell four = new_binary(4, 7);
    Rooted keep_four(four);
    double ours = bench::best_of(3, [&] {
        Cell b = make_unset();
        binary::make_at(b, 16);
        Rooted keep(b);
        Cell out = make_unset();
        for (int i = 0; i < APPENDS; ++i) actions::append(&out, &b, &four, AppendOptions{});
        sink = binary::buffer(b)->used();
    });
    double theirs = bench::best_of(3, [] {
        std::vector<uint8_t> v;
        const uint8_t four_bytes[4] = {7, 138, 13, 144};
        for (int i = 0; i < APPENDS; ++i) v.insert(v.end(), four_bytes, four_bytes + 4);
        sink = v.size();
    });
    bench::report("append 1M x 4-byte binary", ours, theirs, "vector insert");

    ours = bench::best_of(3, [] {
        Cell b = make_unset();
        binary::make_at(b, 16);
        Rooted keep(b);
        for (int i = 0; i < APPENDS; ++i) binary::append_int32(b, uint32_t(i));
        sink = binary::buffer(b)->used();
    });
    theirs = bench::best_of(3, [] {
        std::vector<uint8_t> v;
        for (int i = 0; i < APPENDS; ++i) {
            uint32_t x = uint32_t(i);
            const uint8_t be[4] = {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)};
            v.insert(v.end(), be, be + 4);
        }
        sink = v.size();
    });
    bench::report("append_int32 1M", ours, theirs, "vector insert");

    // to binary! of 16 MB of Latin-1 text (one byte in eight above 127).
    Cell text = make_unset();
    string::ks_make_at(text, int32_t(BIG));
    Rooted keep_text(text);
    std::string latin1(BIG, 'a');
    for (size_t i = 0; i < BIG; ++i) latin1[i] = char(i % 8 == 7 ? 0xE9 : 'a' + i % 26);
    {
        SeriesBuffer* b = string::buffer(text);
        std::memcpy(b->head_ptr(), latin1.data(), BIG);
        b->tail = b->offset + BIG;
    }
    Cell proto = make_unset();
    ours = bench::best_of(3, [&] {
        Cell out = make_unset();
        actions::slot_for<ACTION_TO>(TYPE_BINARY)(&out, &proto, &text, TYPE_BINARY);
        sink = binary::buffer(out)->used();
    });
    theirs = bench::best_of(3, [&] {
        std::string out;
        out.reserve(BIG + BIG / 8);
        for (unsigned char c : latin1) {
            if (c < 0x80) {
                out.push_back(char(c));
            } else {
                out.push_back(char(0xC0 | (c >> 6)));
                out.push_back(char(0x80 | (c & 0x3F)));
            }
        }
        sink = out.size();
    });
    bench::report("to binary! 16 MB Latin-1 string", ours, theirs, "plain UTF-8 loop");

    // mold of 4 MB.
    Cell big = new_binary(BIG / 4, 3);
    Rooted keep_big(big);
    std::vector<uint8_t> plain(BIG / 4);
    std::memcpy(plain.data(), binary::buffer(big)->head_ptr(), plain.size());
    ours = bench::best_of(3, [&] {
        Cell out = make_unset();
        string::ks_make_at(out, 16);
        Rooted keep(out);
        actions::mold(big, out, MoldOptions{});
        sink = string::buffer(out)->used();
    });
    theirs = bench::best_of(3, [&] {
        static const char hex[] = "0123456789ABCDEF";
        std::string out = "#{\n    ";
        for (size_t i = 0; i < plain.size(); ++i) {
            out.push_back(hex[plain[i] >> 4]);
            out.push_back(hex[plain[i] & 15]);
            if ((i + 1) % 32 == 0) out += "\n    ";
        }
        out += "}";
        sink = out.size();
    });
    bench::report("mold 4 MB", ours, theirs, "plain hex loop");

    // Comparison of two equal 16 MB binaries.
    Cell a = new_binary(BIG, 5);
    Rooted keep_a(a);
    Cell b = new_binary(BIG, 5);
    Rooted keep_b(b);
    std::vector<uint8_t> va(BIG), vb(BIG);
    std::memcpy(va.data(), binary::buffer(a)->head_ptr(), BIG);
    std::memcpy(vb.data(), binary::buffer(b)->head_ptr(), BIG);
    ours = bench::best_of(5, [&] { sink = uint64_t(actions::compare_values(a, b, COMP_LESSER)); });
    theirs = bench::best_of(5, [&] { sink = uint64_t(va < vb); });
    bench::report("compare 16 MB equal binaries", ours, theirs, "vector operator<");
    return 0;
}
