// image! actions: make and to, positions, pick and poke, path access,
// compare, change (a pixel or a pasted image) and copy.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/image-internal.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"

namespace kel::image {

namespace {

void set_index(Cell& img, int64_t index) { img.data1 = uint32_t(int32_t(index)); }

// A copy of the rectangle as a new image! in `out` (empty when it has no
// pixels).
void copy_rectangle(Cell* out, const Cell& img, int64_t x, int64_t y, int64_t w, int64_t h) {
    if (w <= 0 || h <= 0) {
        *out = image_cell(0, 0, 0);
        return;
    }
    Cell keep_img = img;
    Rooted keep(keep_img);
    NodeId record = image::copy_rect(record_of(img), uint32_t(x), uint32_t(y), uint32_t(w), uint32_t(h));
    *out = image_cell(record, uint32_t(w), uint32_t(h));
}

}  // namespace

void checked_size(const Cell& pair, uint32_t& w, uint32_t& h) {
    int64_t x = pair::x_of(pair), y = pair::y_of(pair);
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (x > 65535 || y > 65535 || x * y > INT32_MAX) fire(ErrorId::script_out_of_range, {pair});
    w = uint32_t(x);
    h = uint32_t(y);
}

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    Cell s = *spec;
    if (type_of(s) == TYPE_PAIR) {
        uint32_t w, h;
        checked_size(s, w, h);
        *out = image_cell(create_bitmap(w, h, nullptr, nullptr, nullptr), w, h);
        return;
    }
    if (type_of(s) != TYPE_BLOCK) return to(out, proto, spec, type);
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    int64_t head = int32_t(s.data1);
    int64_t n = int64_t(b->cell_count()) - (head < 0 ? 0 : head);
    if (n <= 0) {
        if (type_of(*proto) == TYPE_IMAGE) return copy(out, proto, CopyOptions{});
        fire(ErrorId::script_invalid_arg, {s});
    }
    const Cell* items = b->cells() + head;
    Cell size = items[0];
    Cell second = n > 1 ? items[1] : make_none();
    Cell third = n > 2 ? items[2] : make_none();
    if (type_of(size) != TYPE_PAIR) fire(ErrorId::script_invalid_arg, {size});
    if (n > 1 && type_of(second) != TYPE_BINARY && type_of(second) != TYPE_TUPLE)
        fire(ErrorId::script_invalid_arg, {second});
    if (n > 2 && type_of(third) != TYPE_BINARY) fire(ErrorId::script_invalid_arg, {third});
    uint32_t w, h;
    checked_size(size, w, h);
    Rooted keep2(second), keep3(third);
    const Cell* rgb = type_of(second) == TYPE_BINARY ? &second : nullptr;
    const Cell* colour = type_of(second) == TYPE_TUPLE ? &second : nullptr;
    const Cell* alpha = n > 2 ? &third : nullptr;
    *out = image_cell(create_bitmap(w, h, rgb, alpha, colour), w, h);
}

void to(Cell* out, Cell*, Cell* spec, uint32_t) {
    if (type_of(*spec) == TYPE_IMAGE) return copy(out, spec, CopyOptions{});
    // A face object renders through the view engine, which is not built: an
    // object is refused like any other value.
    fire_bad_to_arg(TYPE_IMAGE, *spec);
}

int64_t index_of(const Cell& img, const Cell& position, int base, bool* out_of_range) {
    int64_t w = width(img), h = height(img), n = w * h;
    int64_t offset;
    bool out = false;
    if (type_of(position) == TYPE_PAIR) {
        int64_t x = pair::x_of(position), y = pair::y_of(position);
        if (base == 1) {
            offset = (y - 1) * w + x;
            out = !(x >= 1 && x <= w && y >= 1 && y <= h);
        } else {
            offset = y * w + x;
            out = !(x >= 0 && x < w && y >= 0 && y < h);
        }
    } else {
        offset = cell_integer(position);
    }
    int64_t index = base == 1 && offset > 0 ? index_of_cell(img) + offset - 1 : index_of_cell(img) + offset;
    if (index < 0) {
        index = 0;
        out = true;
    } else if (index >= n) {
        index = n;
        out = true;
    }
    if (offset == 0) out = true;
    if (out_of_range) *out_of_range = out;
    return index;
}

void at() {
    Cell& img = stack::arguments()[0];
    const Cell& arg = stack::arguments()[1];
    if (type_of(arg) != TYPE_INTEGER && type_of(arg) != TYPE_PAIR) fire(ErrorId::script_invalid_arg, {arg});
    set_index(img, index_of(img, arg, 1, nullptr));
}

void skip() {
    Cell& img = stack::arguments()[0];
    const Cell& arg = stack::arguments()[1];
    if (type_of(arg) != TYPE_INTEGER && type_of(arg) != TYPE_PAIR) fire(ErrorId::script_invalid_arg, {arg});
    set_index(img, index_of(img, arg, 0, nullptr));
}

void next() {
    Cell& img = stack::arguments()[0];
    if (index_of_cell(img) + 1 <= pixel_count(img)) set_index(img, index_of_cell(img) + 1);
}

void tail() {
    Cell& img = stack::arguments()[0];
    set_index(img, pixel_count(img));
}

void tail_q() {
    Cell& img = stack::arguments()[0];
    img = logic::make_cell(index_of_cell(img) >= pixel_count(img));
}

int32_t length_q(Cell* img) { return int32_t(pixel_count(*img)); }

// The position pick and poke address: a pair as it is, anything else as the
// integer the action layer made of it.
namespace {
Cell position_of(int32_t index, const Cell& index_cell) {
    return type_of(index_cell) == TYPE_PAIR ? index_cell : make_integer(index);
}
}  // namespace

void pick(Cell* out, Cell* img, int32_t at, Cell* index_cell) {
    bool out_of_range = false;
    int64_t index = index_of(*img, position_of(at, *index_cell), 1, &out_of_range);
    if (out_of_range) {
        *out = make_none();
        return;
    }
    Cell* t = pixel_tuple(*img, index);
    *out = *t;
    stack::pop(1);
}

void poke(Cell* out, Cell* img, int32_t at, Cell* value, Cell* index_cell) {
    bool out_of_range = false;
    int64_t index = index_of(*img, position_of(at, *index_cell), 1, &out_of_range);
    if (out_of_range) fire(ErrorId::script_out_of_range, {*index_cell});
    if (type_of(*value) != TYPE_TUPLE) fire(ErrorId::script_invalid_arg, {*value});
    Cell v = *value;
    Cell target = *img;
    Rooted keep(target), keep_v(v);
    if (record_of(target)) image::set_pixel(record_of(target), index, colour_pixel(v));
    tell_owner(target, series::Change::poke, &v, index, 1);
    *out = v;
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    uint32_t t = type_of(*element);
    if (t == TYPE_INTEGER || t == TYPE_PAIR) {
        int32_t at = t == TYPE_INTEGER ? cell_integer(*element) : 0;
        if (value) return poke(out, parent, at, value, element);
        return pick(out, parent, at, element);
    }
    using words::Sym;
    int32_t k = scalar_path::field_of(*element, {Sym::size, Sym::rgb, Sym::alpha, Sym::argb});
    Cell path = step.path ? *step.path : make_none();
    if (k == 0 || (k == 1 && value)) fire(ErrorId::script_invalid_path, {path, *element});
    if (k == 1) {
        *out = pair::make_cell(int32_t(width(*parent)), int32_t(height(*parent)));
        return;
    }
    static constexpr int KINDS[] = {0, 0, DATA_RGB, DATA_ALPHA, DATA_ARGB};
    if (value) {
        Cell v = *value;
        Rooted keep(v);
        set_data(*parent, v, KINDS[k]);
        *out = v;
        return;
    }
    Cell* data = extract_data(*parent, KINDS[k]);
    *out = *data;
    stack::pop(1);
}

int32_t compare(const Cell& a, const Cell& b, int32_t op) {
    if (type_of(b) != TYPE_IMAGE) return COMP_NOT_COMPARABLE;
    if (record_of(a) == record_of(b) && a.data1 == b.data1) {
        if (op == COMP_SAME || op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL) return 0;
    }
    if (op == COMP_SAME) return -1;
    if (op != COMP_EQUAL && op != COMP_NOT_EQUAL && op != COMP_STRICT_EQUAL && op != COMP_SORT &&
        op != COMP_CASE_SORT && op != COMP_FIND)
        return COMP_NOT_COMPARABLE;
    if (pixel_count(a) != pixel_count(b)) return pixel_count(a) < pixel_count(b) ? -1 : 1;
    // Same pixel count, other shape (2x3 and 3x2): the width decides first.
    if (width(a) != width(b)) return width(a) < width(b) ? -1 : 1;
    const uint8_t* pa = pixels(a);
    const uint8_t* pb = pixels(b);
    if (!pa || !pb) return pa == pb ? 0 : pa ? 1 : -1;
    int r = std::memcmp(pa, pb, size_t(pixel_count(a)) * 4);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

void change(Cell* out, Cell* img_cell, Cell* value, const AppendOptions& options) {
    if (options.dup > 1 || options.part >= 0) fire(ErrorId::internal_not_done);
    Cell img = *img_cell;
    Cell v = *value;
    Rooted keep(img), keep_v(v);
    int64_t w = width(img), h = height(img), n = w * h;
    int64_t index = index_of_cell(img);
    if (type_of(v) == TYPE_TUPLE) {
        if (index < 0 || index >= n) fire(ErrorId::script_out_of_range, {make_integer(int32_t(index + 1))});
        tell_owner(img, series::Change::change, nullptr, index, 1);
        image::set_pixel(record_of(img), index, colour_pixel(v));
        tell_owner(img, series::Change::changed, nullptr, index, 1);
        set_index(img, index + 1);
        *out = img;
        return;
    }
    if (type_of(v) != TYPE_IMAGE) fire(ErrorId::script_invalid_type, {datatype::make(type_of(v))});
    if (index >= n || !pixels(v) || !pixels(img) || index < 0) {
        *out = img;
        return;
    }
    tell_owner(img, series::Change::change, nullptr, index, 1);
    int64_t x0 = index % w, y0 = index / w;
    int64_t sw = width(v), sh = height(v);
    int64_t cols = std::min(sw, w - x0), rows = std::min(sh, h - y0);
    // A paste from the image itself reads the pixels as they were before.
    const uint8_t* src = pixels(v);
    std::vector<uint8_t> before;
    if (record_of(v) == record_of(img)) {
        before.assign(src, src + size_t(sw * sh * 4));
        src = before.data();
    }
    uint8_t* dst = pixels(img);
    for (int64_t r = 0; r < rows; ++r)
        std::memcpy(dst + size_t(((y0 + r) * w + x0) * 4), src + size_t(r * sw * 4), size_t(cols * 4));
    int64_t copied = rows * cols;
    set_index(img, (y0 + rows - 1) * w + std::min(x0 + sw, w));
    tell_owner(img, series::Change::changed, nullptr, index_of_cell(img), int32_t(copied));
    *out = img;
}

void copy(Cell* out, Cell* img_cell, const CopyOptions& options) {
    Cell img = *img_cell;
    Rooted keep(img);
    int64_t w = width(img), h = height(img), n = w * h;
    if (w <= 0 || h <= 0) {
        *out = image_cell(0, 0, 0);
        return;
    }
    int64_t index = std::clamp<int64_t>(index_of_cell(img), 0, n);
    int64_t x0 = index % w, y0 = index / w;
    if (!options.part) {
        if (index == 0) {
            NodeId record = image::copy_all(record_of(img));
            *out = image_cell(record, uint32_t(w), uint32_t(h));
            return;
        }
        return copy_rectangle(out, img, x0, y0, w - x0, h - y0);
    }
    const Cell& part = *options.part;
    switch (type_of(part)) {
    case TYPE_INTEGER:
        fire(ErrorId::internal_not_done);
    case TYPE_PAIR: {
        int64_t px = pair::x_of(part), py = pair::y_of(part);
        if (px > 0 && py > 0 && index < n)
            return copy_rectangle(out, img, x0, y0, std::min(px, w - x0), std::min(py, h - y0));
        if (px < 0 && py < 0 && index > 0) {
            int64_t right = x0 == 0 ? w : x0;
            int64_t cols = std::min(-px, right), rows = std::min(-py, y0 + 1);
            return copy_rectangle(out, img, right - cols, y0 - rows + 1, cols, rows);
        }
        return copy_rectangle(out, img, 0, 0, 0, 0);
    }
    case TYPE_IMAGE: {
        if (record_of(part) != record_of(img)) series::fire_invalid_refine_arg(words::Ref::part, part);
        int64_t other = std::clamp<int64_t>(index_of_cell(part), 0, n);
        int64_t a = std::min(index, other), b = std::max(index, other);
        int64_t ax = a % w, ay = a / w, bx = b % w, by = b / w;
        return copy_rectangle(out, img, std::min(ax, bx), ay, std::abs(bx - ax), by - ay);
    }
    default:
        series::fire_invalid_refine_arg(words::Ref::part, part);
    }
}

}  // namespace kel::image
