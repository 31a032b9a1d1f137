// image! form and mold: "make image! [", the size, the colours of the
// pixels from the index as #{RRGGBB...}, then, when one of them is not
// opaque, their transparencies as a second binary, and "]". More than 30
// bytes of pixels (4 each) put the colours on lines of their own, 10 pixels
// a line, unless /flat. The transparency run covers the same pixels as the
// colour run, from the index, so both have one entry per pixel.
//
// Pixels are read through the record after every append: appending may
// collect, and the pixel block itself never moves while the value is held.
#include <algorithm>
#include <cstdio>

#include "runtime/datatypes/image-internal.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"

namespace kel::image {

namespace {

constexpr int64_t LONG_VALUE = 30;
constexpr int64_t LINE_PIXELS = 10;

class Writer {
public:
    Writer(const Cell& target, int64_t budget) : target_(target), budget_(budget) {}
    void text(const char* s) {
        string::append_c_string(target_, s);
        while (*s++) --budget_;
    }
    void hex(uint8_t b) {
        static constexpr char digits[] = "0123456789ABCDEF";
        char two[3] = {digits[b >> 4], digits[b & 15], 0};
        text(two);
    }
    void new_line(int level) {
        text("\n");
        budget_ = mold_indent(target_, level < 0 ? 0 : level, budget_);
    }
    int64_t budget() const { return budget_; }

private:
    const Cell& target_;
    int64_t budget_;
};

int64_t mold_at(const Cell& img, const Cell& target, bool only, bool flat, bool part, int64_t limit, int level) {
    Writer out(target, limit);
    if (!only) out.text("make image! [");
    char size[32];
    std::snprintf(size, sizeof size, "%ux%u", width(img), height(img));
    out.text(size);
    if (!pixels(img)) {
        out.text(" #{}");
        if (!only) out.text("]");
        return out.budget();
    }
    int64_t n = pixel_count(img);
    int64_t from = std::clamp<int64_t>(index_of_cell(img), 0, n);
    int64_t count = n - from;
    bool lines = count * 4 > LONG_VALUE && !flat;
    out.text(" #{");
    if (lines) out.new_line(level);
    bool transparent = false;
    for (int64_t i = 0; i < count; ++i) {
        const uint8_t* p = pixels(img) + (from + i) * 4;
        uint8_t b = p[0], g = p[1], r = p[2];
        if (p[3] != 255) transparent = true;
        out.hex(r);
        out.hex(g);
        out.hex(b);
        if (!flat && (i + 1) % LINE_PIXELS == 0) out.new_line(level);
        if (part && out.budget() <= 0) return out.budget();
    }
    if (lines && count % LINE_PIXELS != 0) out.new_line(level - 1);
    out.text("}");
    if (transparent) {
        out.text(" #{");
        out.new_line(level);
        for (int64_t i = 0; i < count; ++i) {
            out.hex(uint8_t(255 - pixels(img)[(from + i) * 4 + 3]));
            if (!flat && (i + 1) % LINE_PIXELS == 0) out.new_line(level);
            if (part && out.budget() <= 0) return out.budget();
        }
        out.new_line(level - 1);
        out.text("}");
    }
    if (!only) out.text("]");
    return out.budget();
}

}  // namespace

int64_t form(Cell value, Cell buffer, bool part, int64_t limit) {
    Rooted keep_value(value), keep_buffer(buffer);
    return mold_at(value, buffer, false, false, part, limit, 0);
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    Rooted keep_value(value), keep_buffer(buffer);
    return mold_at(value, buffer, options.only, options.flat, options.part, options.limit, options.indent + 1);
}

}  // namespace kel::image
