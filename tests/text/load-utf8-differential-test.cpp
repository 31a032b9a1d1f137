// The UTF-8 loader's block and inline paths against a plain decoder written
// from the encoding's rules, over random texts made to hit the paths' edges:
// ASCII runs of every length around the 16- and 32-byte blocks, CR LF split
// across a block boundary, code points of every unit (Latin-1, above U+00FF,
// CJK, emoji), the invalid sequences next to the valid ones, and sequences
// cut off by the end. Every text is loaded into a new buffer and into
// targets of each unit, with and without line-end conversion, and gives the
// same code points, unit and unconsumed count, or the same error with the
// same bytes.
#include <algorithm>
#include <random>
#include <string>

#include "runtime/memory/roots.h"
#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

using namespace unicode;

// The reference: one sequence at a time from the lead byte's length. A
// sequence is malformed when a byte that must continue it does not, or when
// its value is overlong, a surrogate or above U+10FFFF; one cut off by the
// end is incomplete when some continuation of it would be valid. Overlong
// forms, surrogates and values above U+10FFFF show in the first two bytes.
struct Decoded {
    int32_t cp;  // or DECODE_MALFORMED / DECODE_INCOMPLETE
    int32_t length;
};
Decoded reference_decode(const uint8_t* p, size_t n) {
    uint32_t lead = p[0];
    if (lead < 0x80) return {int32_t(lead), 1};
    int32_t need = lead >= 0xC0 && lead < 0xE0 ? 2
        : lead >= 0xE0 && lead < 0xF0          ? 3
        : lead >= 0xF0 && lead < 0xF8          ? 4
                                               : 0;
    if (need == 0) return {DECODE_MALFORMED, 0};
    // A lead byte alone continues validly when some sequence starts with it;
    // past the second byte, cut-off bytes stand in as 0x80.
    if (n == 1) return {lead >= 0xC2 && lead <= 0xF4 ? DECODE_INCOMPLETE : DECODE_MALFORMED, 0};
    uint8_t full[4] = {uint8_t(lead), 0x80, 0x80, 0x80};
    for (int32_t i = 1; i < need && size_t(i) < n; i++) {
        if ((p[i] & 0xC0) != 0x80) return {DECODE_MALFORMED, 0};
        full[i] = p[i];
    }
    uint32_t cp = lead & (0x7F >> need);
    for (int32_t i = 1; i < need; i++) cp = cp << 6 | (full[i] & 0x3F);
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[need] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return {DECODE_MALFORMED, 0};
    if (size_t(need) > n) return {DECODE_INCOMPLETE, 0};
    return {int32_t(cp), need};
}

struct Outcome {
    Points cps;
    uint32_t unit = 0;
    int32_t unconsumed = 0;
    int error = -1;
    Bytes error_bytes;
};

Outcome reference_load(const Bytes& in, bool crlf, uint32_t target_unit) {
    Outcome out;
    size_t i = in.size() >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF ? 3 : 0;
    uint32_t widest = 0;
    while (i < in.size()) {
        Decoded d = reference_decode(in.data() + i, in.size() - i);
        if (d.cp == DECODE_MALFORMED) {
            out.error = int(ErrorId::access_invalid_utf8);
            out.error_bytes.assign(in.begin() + long(i), in.begin() + long(std::min(in.size(), i + 4)));
            return out;
        }
        if (d.cp == DECODE_INCOMPLETE) {
            out.unconsumed = int32_t(in.size() - i);
            break;
        }
        i += size_t(d.length);
        uint32_t cp = uint32_t(d.cp);
        if (crlf && cp == '\r') {
            if (i < in.size() && in[i] == '\n') continue;
            cp = '\n';
        }
        out.cps.push_back(cp);
        widest = std::max(widest, cp);
    }
    uint32_t needed = widest > 0xFFFF ? 4 : widest > 0xFF ? 2 : 1;
    out.unit = std::max(target_unit, needed);
    return out;
}

void append(Bytes& out, uint32_t cp) {
    uint8_t b[4];
    out.insert(out.end(), b, b + encode_utf8_char(cp, b));
}

Bytes random_text(std::mt19937& rng) {
    // Code points of each unit: Latin-1, above U+00FF, CJK, emoji.
    const uint32_t firsts[] = {0x80, 0x100, 0x4E00, 0x1F300};
    const uint32_t spans[] = {0x80, 0x700, 0x5000, 0x300};
    Bytes out;
    if (rng() % 8 == 0) out = {0xEF, 0xBB, 0xBF};
    int pieces = int(rng() % 30);
    uint32_t kinds = 1 + rng() % 4;  // the widest class this text uses
    for (int i = 0; i < pieces; i++) {
        switch (rng() % 12) {
        case 0:
        case 1:
        case 2:  // ASCII runs around the block sizes, CR and LF among them
            for (uint32_t k = rng() % 70; k > 0; k--) {
                uint32_t r = rng() % 16;
                out.push_back(uint8_t(r == 0 ? '\r' : r == 1 ? '\n' : 0x20 + rng() % 0x5F));
            }
            break;
        case 3: {  // CR LF at every offset of a block
            for (uint32_t k = rng() % 40; k > 0; k--) out.push_back('a');
            out.push_back('\r');
            out.push_back('\n');
            break;
        }
        case 4:
        case 5:
        case 6:
        case 7: {  // runs of code points of one class
            uint32_t c = rng() % kinds;
            for (uint32_t k = 1 + rng() % 6; k > 0; k--) append(out, firsts[c] + rng() % spans[c]);
            break;
        }
        case 8: {  // the edges of the valid ranges
            const uint32_t edges[] = {0x7F,   0x80,   0xFF,   0x100,  0x7FF,   0x800,   0xD7FF,
                                      0xE000, 0xFFFD, 0xFFFE, 0xFFFF, 0x10000, 0x10FFFF};
            append(out, edges[rng() % std::size(edges)]);
            break;
        }
        case 9: {  // a valid sequence cut short
            Bytes seq;
            append(seq, 0x80 + rng() % 0x10FF80);
            if (seq.size() > 1) out.insert(out.end(), seq.begin(), seq.begin() + long(1 + rng() % (seq.size() - 1)));
            break;
        }
        case 10: {  // invalid forms: overlong, surrogate, above U+10FFFF, bad leads
            const Bytes bad[] = {{0xC0, 0x80},
                                 {0xC1, 0xBF},
                                 {0xE0, 0x9F, 0xBF},
                                 {0xED, 0xA0, 0x80},
                                 {0xED, 0xBF, 0xBF},
                                 {0xF0, 0x8F, 0xBF, 0xBF},
                                 {0xF4, 0x90, 0x80, 0x80},
                                 {0xF5, 0x80, 0x80, 0x80},
                                 {0xFF},
                                 {0x80},
                                 {0xBF},
                                 {0xE2, 0x41}};
            const Bytes& b = bad[rng() % std::size(bad)];
            out.insert(out.end(), b.begin(), b.end());
            break;
        }
        default:
            out.push_back(uint8_t(rng()));
            break;
        }
    }
    // Most texts stay valid so that the paths run long; the rest carry a
    // sequence cut off at the end.
    if (rng() % 6 == 0) {
        Bytes seq;
        append(seq, firsts[rng() % 4] + 0x40);
        if (seq.size() > 1) out.insert(out.end(), seq.begin(), seq.begin() + long(1 + rng() % (seq.size() - 1)));
    }
    return out;
}

// Drops the invalid pieces of most texts, so that the paths run long.
void mostly_valid(std::mt19937& rng, Bytes& text) {
    if (rng() % 3 == 0) return;
    Bytes kept;
    size_t i = 0;
    while (i < text.size()) {
        Decoded d = reference_decode(text.data() + i, text.size() - i);
        if (d.cp == DECODE_INCOMPLETE) {  // the tail cut off at the end stays
            kept.insert(kept.end(), text.begin() + long(i), text.end());
            break;
        }
        if (d.cp < 0) {
            i++;
            continue;
        }
        kept.insert(kept.end(), text.begin() + long(i), text.begin() + long(i) + d.length);
        i += size_t(d.length);
    }
    text = kept;
}

const Points old_text = {'o', 'l', 'd', 0xE9};

struct LoadUtf8Differential : Text {
    // Loads into a new buffer (target_unit 0) or into a string of that unit
    // holding other text.
    static Outcome load(const Bytes& in, bool crlf, uint32_t target_unit) {
        Outcome out;
        NodeId target = 0;
        if (target_unit) target = cell_node(make_string(old_text, target_unit));
        Rooted keep(target);
        NodeId node = 0;
        int32_t unconsumed = -1;
        Cell arg = make_unset();
        out.error = error_of([&] { node = load_utf8(in.data(), int32_t(in.size()), target, &unconsumed, crlf); }, &arg);
        if (out.error >= 0) {
            out.error_bytes = contents(cell_node(arg));
            return out;
        }
        out.cps = points_of(node);
        out.unit = unit_of(node);
        out.unconsumed = unconsumed;
        return out;
    }
};

TEST_F(LoadUtf8Differential, RandomTextsLoadAsThePlainDecoderSays) {
    std::mt19937 rng(20261210);
    int valid = 0, failed = 0, cut = 0;
    for (int round = 0; round < 6000; round++) {
        Bytes text = random_text(rng);
        mostly_valid(rng, text);
        for (bool crlf : {false, true}) {
            for (uint32_t target_unit : {0u, 1u, 2u, 4u}) {
                Outcome want = reference_load(text, crlf, target_unit ? target_unit : 1);
                if (text.empty() && target_unit) want.cps = old_text;  // no text leaves a target as it is
                Outcome got = load(text, crlf, target_unit);
                std::string where = "round " + std::to_string(round) + " crlf " + std::to_string(crlf) + " target " +
                    std::to_string(target_unit) + " " + ::testing::PrintToString(text);
                ASSERT_EQ(got.error, want.error) << where;
                if (want.error >= 0) {
                    ASSERT_EQ(got.error_bytes, want.error_bytes) << where;
                    failed++;
                    continue;
                }
                ASSERT_EQ(got.cps, want.cps) << where;
                ASSERT_EQ(got.unit, want.unit) << where;
                ASSERT_EQ(got.unconsumed, want.unconsumed) << where;
                (want.unconsumed ? cut : valid)++;
            }
        }
    }
    // The generator reaches each outcome often.
    EXPECT_GT(valid, 10000);
    EXPECT_GT(failed, 5000);
    EXPECT_GT(cut, 2000);
}

}  // namespace
}  // namespace kel::test
