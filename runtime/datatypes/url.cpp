// url! registration, its make and to from a block and its path access (its
// mold is in url-text.cpp).
#include "runtime/datatypes/url.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url-internal.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"

namespace kel::url {

namespace {

Cell new_text(uint32_t type, int32_t capacity) {
    Cell c{};
    string::ks_make_at(c, capacity);
    set_type(c, type);
    return c;
}

void form_into(const Cell& target, const Cell& value) { string::form_value(value, target, false, INT32_MAX); }

bool is_block_spec(uint32_t t) { return t == TYPE_BLOCK || t == TYPE_PAREN || t == TYPE_HASH; }

}  // namespace

Services& services() {
    static Services s;
    return s;
}

void from_block(Cell* out, const Cell& block) {
    Cell blk = block;
    Rooted keep_block(blk);
    int32_t count = block::ks_length(blk);
    if (count <= 0) fire(ErrorId::script_bad_to_arg, {datatype::make(TYPE_URL), blk});
    Cell result = new_text(TYPE_URL, 16);
    Rooted keep(result);
    int32_t head = int32_t(blk.data1) < 0 ? 0 : int32_t(blk.data1);
    // Each value is read from the block again: forming may move its buffer.
    auto value = [&](int32_t i) { return *block::ks_abs_at(blk, head + i); };
    form_into(result, value(0));
    string::append_c_string(result, "://");
    int32_t i = 1;
    if (i < count) {
        form_into(result, value(i++));
        if (i < count && type_of(value(i)) == TYPE_INTEGER) {
            string::append_c_string(result, ":");
            form_into(result, value(i++));
        }
        if (i < count) {
            string::append_c_string(result, "/");
            for (int32_t first = i; i < count; ++i) {
                Cell v = value(i);
                if (i > first) string::append_c_string(result, type_of(v) == TYPE_ISSUE ? "#" : "/");
                form_into(result, v);
            }
        }
    }
    *out = result;
}

void to(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    if (type == TYPE_URL && is_block_spec(type_of(*spec))) {
        from_block(out, *spec);
        return;
    }
    actions::slot_for<ACTION_TO>(TYPE_STRING)(out, proto, spec, type);
}

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    if (type == TYPE_URL && is_block_spec(type_of(*spec))) {
        from_block(out, *spec);
        return;
    }
    actions::slot_for<ACTION_MAKE>(TYPE_STRING)(out, proto, spec, type);
}

void join(Cell* out, const Cell& value, const Cell& element) {
    Cell v = value;
    Rooted keep_value(v);
    Cell e = element;
    Rooted keep_element(e);
    string::Span s = string::span_from_head(v);
    Cell part = new_text(TYPE_STRING, int32_t(s.count > INT32_MAX - 16 ? INT32_MAX : s.count + 16));
    Rooted keep_part(part);
    form_into(part, e);
    s = string::span_from_head(v);
    bool value_slash = s.count > 0 && s.at(s.count - 1) == '/';
    string::Span p = string::span_from_head(part);
    bool element_slash = p.count > 0 && p.at(0) == '/';
    Cell result = new_text(type_of(v), int32_t(s.count > INT32_MAX - 16 ? INT32_MAX : s.count + p.count + 1));
    Rooted keep(result);
    // The value's text, without its last "/" when the element brings one.
    string::copy_into(result, v, int32_t(value_slash && element_slash ? s.count - 1 : s.count), true);
    if (!value_slash && !element_slash) string::append_c_string(result, "/");
    string::copy_into(result, part, -1, true);
    *out = result;
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    if (value) fire(ErrorId::script_bad_path_set, {step.path ? *step.path : make_none(), *element});
    join(out, *parent, *element);
}

bool is_http(const Cell& url) {
    string::Span s = string::span_from_head(url);
    auto starts = [&](const char* text) {
        int64_t i = 0;
        for (; text[i]; ++i)
            if (i >= s.count || s.at(i) != uint32_t(uint8_t(text[i]))) return false;
        return true;
    };
    return starts("http:") || starts("https:");
}

void init() {
    datatype::Record r(TYPE_URL, TYPE_STRING, "url!");
    r.own<ACTION_MAKE>(make)
        .own<ACTION_TO>(to)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_EVAL_PATH>(eval_path)
        .own<ACTION_OPEN>(open)
        .own<ACTION_READ>(read)
        .own<ACTION_WRITE>(write)
        .inherit_all<ACTION_FORM, ACTION_COMPARE, ACTION_APPEND, ACTION_CHANGE, ACTION_FIND, ACTION_INSERT,
                     ACTION_SELECT, ACTION_SWAP, ACTION_TAKE, ACTION_AT, ACTION_BACK, ACTION_CLEAR, ACTION_COPY,
                     ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK,
                     ACTION_POKE, ACTION_REMOVE, ACTION_REVERSE, ACTION_SKIP, ACTION_TAIL, ACTION_TAIL_Q,
                     ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::url
