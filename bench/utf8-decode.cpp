// UTF-8 decoding speed: loads of UTF-8 text into strings of 1-byte and 4-byte
// units, and the table-driven decoder's walk, each against a plain memcpy of
// the same input measured in the same run. Prints MB/s of input and the ratio
// to the copy; the target is at least 0.25 on ASCII text.
// Then prose with Latin-1 accents, with CJK and with emoji, each loaded into
// a string of the unit it needs (1, 2 and 4) against a plain loop of the checked
// decoder into units of the same size: the load should be the faster.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/memory/memory.h"
#include "runtime/text/unicode.h"

using namespace kel;

namespace {

using Clock = std::chrono::steady_clock;
volatile uint64_t sink;

// Best MB/s of input over a few timed batches.
template <class Body>
double rate(size_t bytes, Body&& body) {
    body();  // warm-up (and first allocation of targets)
    double best = 0;
    for (int batch = 0; batch < 7; batch++) {
        int reps = 0;
        auto start = Clock::now();
        double secs = 0;
        do {
            body();
            reps++;
            secs = std::chrono::duration<double>(Clock::now() - start).count();
        } while (secs < 0.05);
        double mbs = double(bytes) * reps / secs / 1e6;
        if (mbs > best) best = mbs;
    }
    return best;
}

std::vector<uint8_t> ascii_text(size_t n) {
    const char* words = "The quick brown fox jumps over the lazy dog; 0123456789 (kel) [block] {text}\n";
    std::vector<uint8_t> out;
    while (out.size() < n) out.push_back(uint8_t(words[out.size() % std::strlen(words)]));
    return out;
}

// Prose with a non-ASCII character every few words: accents, Cyrillic, a
// euro sign and an emoji, so the load ends at unit 4.
// Words of `word` (its UTF-8 repeated) and ASCII, so that about a third of
// the code points are the word's.
std::vector<uint8_t> prose_with(const char* word, size_t n) {
    std::string piece = std::string("the ") + word + " and " + word + word + ", then " + word + ".\n";
    std::vector<uint8_t> out;
    while (out.size() + piece.size() <= n) out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

// The straightforward load: one checked decode per code point, stored in a
// unit of the given type.
template <class Unit>
size_t plain_load(const uint8_t* p, size_t n, std::vector<Unit>& out) {
    size_t k = 0;
    for (size_t i = 0; i < n;) {
        int32_t len = 0;
        int32_t cp = unicode::decode_utf8_status(p + i, int32_t(n - i), len);
        if (cp < 0) break;
        out[k++] = Unit(cp);
        i += size_t(len);
    }
    return k;
}

std::vector<uint8_t> mixed_text(size_t n) {
    const char* piece =
        "caf\xC3\xA9 \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 costs 5\xE2\x82\xAC today \xF0\x9F\x98\x80 ok\n";
    size_t len = std::strlen(piece);
    std::vector<uint8_t> out;
    while (out.size() + len <= n) out.insert(out.end(), piece, piece + len);
    return out;
}

void report(const char* what, double mbs, double copy) {
    std::printf("%-40s %9.0f MB/s   %.3f x memcpy\n", what, mbs, mbs / copy);
}

}  // namespace

int main() {
    memory::init();
    memory::init_frames();
    // A typical script or data file; output of 4-byte units stays in cache.
    const size_t size = 1 << 16;

    for (int kind = 0; kind < 2; kind++) {
        std::vector<uint8_t> text = kind == 0 ? ascii_text(size) : mixed_text(size);
        const uint8_t* in = text.data();
        size_t n = text.size();
        std::vector<uint8_t> copy_to(n);
        // The reference is measured again next to each item and the best
        // taken, so that a busy moment of the machine does not flatter a ratio.
        double copy = 0;
        auto measure_copy = [&] {
            double r = rate(n, [&] {
                std::memcpy(copy_to.data(), in, n);
                sink = sink + copy_to[n / 2];
            });
            if (r > copy) copy = r;
        };
        struct Item {
            const char* what;
            double mbs;
        };
        std::vector<Item> items;
        auto item = [&](const char* what, auto&& body) {
            measure_copy();
            items.push_back({what, rate(n, body)});
            measure_copy();
        };

        // Targets made once: the loads overwrite them in place.
        NodeId unit1 = memory::alloc_codepoints(n, 1);
        NodeId unit4 = memory::alloc_codepoints(n, 4);
        if (kind == 0) {
            item("  load into 1-byte units", [&] {
                unicode::load_utf8(in, int32_t(n), unit1, nullptr, false);
                sink = sink + memory::buffer_of(unit1)->tail;
            });
        }
        item("  load into 4-byte units", [&] {
            unicode::load_utf8(in, int32_t(n), unit4, nullptr, false);
            sink = sink + memory::buffer_of(unit4)->tail;
        });
        item("  table-driven decoder walk", [&] {
            const uint8_t* p = in;
            const uint8_t* end = in + n;
            uint64_t sum = 0;
            while (p < end) {
                int32_t cp;
                p = unicode::fast_decode_utf8_char(p, end, cp);
                sum += uint32_t(cp);
            }
            sink = sink + sum;
        });
        item("  count-chars", [&] { sink = sink + uint64_t(unicode::count_chars(in, in + n)); });

        std::printf("%s text, %zu bytes; memcpy %.0f MB/s\n", kind == 0 ? "ASCII" : "mixed", n, copy);
        for (const Item& it : items) report(it.what, it.mbs, copy);
    }

    struct Prose {
        const char* what;
        const char* word;
        uint32_t unit;
    } proses[] = {
        {"Latin-1 (unit 1)", "caf\xC3\xA9 na\xC3\xAFve \xC3\xBC", 1},
        {"CJK (unit 2)", "\xE6\x96\x87\xE5\xAD\x97\xE5\x88\x97", 2},
        {"emoji (unit 4)", "\xF0\x9F\x98\x80\xF0\x9F\x8E\x89", 4},
    };
    for (const Prose& prose : proses) {
        std::vector<uint8_t> text = prose_with(prose.word, size);
        const uint8_t* in = text.data();
        size_t n = text.size();
        NodeId target = memory::alloc_codepoints(n, prose.unit);
        double load = rate(n, [&] {
            unicode::load_utf8(in, int32_t(n), target, nullptr, false);
            sink = sink + memory::buffer_of(target)->tail;
        });
        std::vector<uint8_t> out1(n);
        std::vector<uint16_t> out2(n);
        std::vector<uint32_t> out4(n);
        double plain = rate(n, [&] {
            size_t k = prose.unit == 1 ? plain_load(in, n, out1)
                : prose.unit == 2      ? plain_load(in, n, out2)
                                       : plain_load(in, n, out4);
            sink = sink + k;
        });
        std::printf("%-22s load %7.0f MB/s   plain decoder loop %7.0f MB/s   ratio %.2f\n", prose.what, load, plain,
                    load / plain);
    }
    return 0;
}
