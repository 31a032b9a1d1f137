// error!: the catalog and prototype objects, making errors, the report,
// mold and comparison.
#include "runtime/datatypes/error.h"

#include "runtime/evaluator/call-stack.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/console.h"

namespace kel::error {

namespace {

Cell* catalog_cell = nullptr;
Cell* prototype_cell = nullptr;

const char* const field_names[FIELD_COUNT] = {"code", "type", "id",    "arg1",  "arg2",
                                              "arg3", "near", "where", "stack", "files"};

// system/state, once the boot environment has installed it (none before).
Cell* state_cell = nullptr;

// A field of system/state; none when there is no such object or field.
Cell state_field(const char* name) {
    if (!state_cell || type_of(*state_cell) != TYPE_OBJECT) return make_none();
    return object::field_value(*state_cell, symbol::make(name));
}

// system/state/stack-trace as the Stack line and try/keep read it: 1 until
// system/state exists; anything but an integer reads as 0 (no Stack line).
int32_t stack_trace() {
    if (!state_cell || type_of(*state_cell) != TYPE_OBJECT) return 1;
    Cell depth = state_field("stack-trace");
    return type_of(depth) == TYPE_INTEGER ? cell_integer(depth) : 0;
}

NodeId ctx_of(const Cell& obj) { return obj.data1; }

Cell global(const char* name) { return word::make(symbol::make(name)); }

// A field of an object by position.
Cell field_at(const Cell& obj, uint32_t i) { return context::values_of(*context::cell_of(ctx_of(obj)))[i]; }
Cell word_at(const Cell& obj, uint32_t i) { return *context::word_at(ctx_of(obj), int32_t(i)); }

// A string made from a C string, on the argument stack.
Cell* push_text(const char* text) {
    Cell* s = stack::push(make_none());
    string::ks_make_at(*s, int32_t(std::strlen(text)));
    string::append_c_string(*s, text);
    return s;
}

// The template value of a catalog entry.
Cell template_of(const ErrorIdInfo& info) {
    switch (info.kind) {
    case TemplateKind::text:
        return *push_text(info.items[0].text);
    case TemplateKind::word:
        return global(info.items[0].text);
    case TemplateKind::block: {
        Cell* blk = stack::push(make_none());
        block::make_at(*blk, info.item_count);
        blk->header = TYPE_BLOCK;
        for (uint8_t i = 0; i < info.item_count; ++i) {
            const TemplateItem& item = info.items[i];
            Cell* saved = stack::top();
            Cell v = item.kind == TemplateItemKind::text ? *push_text(item.text) : global(item.text);
            if (item.kind == TemplateItemKind::get_word) v.header = TYPE_GET_WORD;
            block::append_cell(*blk, v);
            stack::pop(uint32_t(stack::top() - saved));
        }
        return *blk;
    }
    }
    return make_none();
}

// An object of the fields given as (name, value) pairs, set in order.
void add_field(Cell& obj, const char* name, const Cell& value) {
    context::add_or_set(ctx_of(obj), symbol::make(name), value);
}

void build_catalog() {
    Cell* saved = stack::top();
    Cell* errors = stack::push(make_none());
    object::make_at(*errors, 10);
    errors->data2 = uint32_t(object::new_class_id());
    for (int c = 0; c < 10; ++c) {
        const ErrorCategoryInfo& info = error_categories[c];
        Cell* category = stack::push(make_none());
        object::make_at(*category, uint32_t(info.id_count) + 2);
        category->data2 = uint32_t(object::new_class_id());
        object::store_owner(*category);
        add_field(*category, "code", make_integer(c * 100));
        add_field(*category, "type", *push_text(info.type_text));
        for (uint8_t i = 0; i < info.id_count; ++i) add_field(*category, info.ids[i].word, template_of(info.ids[i]));
        add_field(*errors, info.word, *category);
    }
    object::store_owner(*errors);
    catalog_cell = roots::append(*errors);
    Cell* proto = stack::push(make_none());
    object::make_at(*proto, FIELD_COUNT);
    proto->data2 = uint32_t(object::new_class_id());
    for (const char* name : field_names) add_field(*proto, name, make_none());
    object::store_owner(*proto);
    prototype_cell = roots::append(*proto);
    stack::pop(uint32_t(stack::top() - saved));
}

// The category object of a type word (case-insensitive), its position, or
// none and -1.
Cell category_of(int32_t type_symbol, int32_t* position) {
    int32_t i = object::find_field(*catalog_cell, type_symbol);
    if (position) *position = i;
    return i < 0 ? make_none() : field_at(*catalog_cell, uint32_t(i));
}

[[noreturn]] void invalid_spec_field(words::Word which) {
    fire(ErrorId::script_invalid_spec_field, {words::word(which)});
}

// Sets code from the category and id positions.
void set_code(const Cell& err, int32_t category, int32_t position) {
    set_field(err, CODE, make_integer(category * 100 + position - 2));
}

// type and id name a category and one of its ids (case-insensitive); sets
// code. Otherwise raises invalid-spec-field with `type` or `id`.
void check_identity(const Cell& err) {
    Cell type = field(err, TYPE);
    if (type_of(type) != TYPE_WORD) invalid_spec_field(words::Word::type);
    int32_t c = -1;
    Cell category = category_of(int32_t(type.data2), &c);
    if (c < 0) invalid_spec_field(words::Word::type);
    Cell id = field(err, ID);
    if (type_of(id) != TYPE_WORD) invalid_spec_field(words::Word::id);
    int32_t p = object::find_field(category, int32_t(id.data2));
    if (p < 2) invalid_spec_field(words::Word::id);
    set_code(err, c, p);
}

void make_from_code(const Cell& err, const Cell& spec) {
    int32_t n = cell_integer(spec);
    set_field(err, CODE, spec);
    if (n < 0 || n / 100 >= 10) fire(ErrorId::script_out_of_range, {spec});
    int32_t c = n / 100;
    Cell type = word_at(*catalog_cell, uint32_t(c));
    type.header = TYPE_WORD;
    set_field(err, TYPE, type);
    Cell category = field_at(*catalog_cell, uint32_t(c));
    uint32_t p = uint32_t(n % 100) + 2;
    if (p >= object::field_count(category)) fire(ErrorId::script_out_of_range, {spec});
    Cell id = word_at(category, p);
    id.header = TYPE_WORD;
    set_field(err, ID, id);
}

void make_from_words(const Cell& err, const Cell& spec) {
    int32_t length = block::ks_length(spec);
    const Cell first = block::ks_abs_at(spec, int32_t(spec.data1))[0];
    int32_t c = -1;
    Cell category = category_of(int32_t(first.data2), &c);
    if (c < 0) invalid_spec_field(words::Word::type);
    set_field(err, TYPE, first);
    if (length < 2) invalid_spec_field(words::Word::id);
    const Cell second = block::ks_abs_at(spec, int32_t(spec.data1))[1];
    if (type_of(second) != TYPE_WORD) fire(ErrorId::script_invalid_arg, {second});
    int32_t p = object::find_field(category, int32_t(second.data2));
    if (p < 2) invalid_spec_field(words::Word::id);
    set_field(err, ID, second);
    set_code(err, c, p);
}

// Appends a value formed or molded (/flat) within a budget; answers the
// budget less the units written.
int64_t append_value(const Cell& buffer, const Cell& value, bool formed, int64_t budget, bool only) {
    if (formed) return actions::form(value, buffer, true, budget);
    MoldOptions o;
    o.flat = true;
    o.only = only;
    o.part = true;
    o.limit = budget;
    return actions::mold(value, buffer, o);
}

int64_t units_of(const Cell& buffer) {
    SeriesBuffer* b = string::buffer(buffer);
    return int64_t(b->used() / b->unit());
}

int64_t append_text(const Cell& buffer, const char* text, int64_t limit) {
    string::append_c_string(buffer, text);
    return limit - int64_t(std::strlen(text));
}

// Turns the error into internal/invalid-error whose argument is `what`.
void make_invalid(const Cell& err, const Cell& what) {
    set_field(err, ARG1, what);
    set_field(err, TYPE, words::word(words::Word::internal));
    set_field(err, ID, words::word(words::Word::invalid_error));
}

int64_t reduce_template(const Cell& tmpl, const Cell& buffer, const Cell& err, int64_t limit) {
    Cell blk = tmpl;
    Rooted keep(blk);
    bool syntax = symbol::resolve(int32_t(field(err, TYPE).data2)) ==
        symbol::resolve(int32_t(words::word(words::Word::syntax).data2));
    int32_t length = block::ks_length(blk);
    for (int32_t i = 0; i < length; ++i) {
        Cell item = block::ks_abs_at(blk, int32_t(blk.data1) + i)[0];
        uint32_t t = type_of(item);
        if (t == TYPE_STRING) {
            int64_t before = units_of(buffer);
            string::copy_into(buffer, item, -1, true);
            limit -= units_of(buffer) - before;
        } else if (t == TYPE_WORD || t == TYPE_GET_WORD) {
            Cell value = object::field_value(err, int32_t(item.data2));
            int64_t before = units_of(buffer);
            append_value(buffer, value, syntax, 80, false);
            limit -= units_of(buffer) - before;
        }
        if (i + 1 < length) limit = append_text(buffer, " ", limit);
    }
    return limit;
}

int64_t error_mold(Cell value, Cell buffer, const MoldOptions& options) {
    int64_t limit = options.limit;
    if (cycle_guard::detect(value, buffer, limit, true)) return limit;
    if (!options.only) limit = append_text(buffer, "make error! [", limit);
    MoldOptions o = options;
    o.limit = limit;
    limit = object::form_fields(value, buffer, o, true, options.indent + 1, true);
    if (options.indent > 0) limit = mold_indent(buffer, options.indent, limit);
    if (!options.only) limit = append_text(buffer, "]", limit);
    return limit;
}

}  // namespace

const Cell& catalog() { return *catalog_cell; }
const Cell& prototype() { return *prototype_cell; }

Cell field(const Cell& err, Field f) { return field_at(err, f); }
void set_field(const Cell& err, Field f, const Cell& value) {
    context::values_of(*context::cell_of(ctx_of(err)))[f] = value;
}

ErrorId id_of(const Cell& err) { return ErrorId(uint16_t(cell_integer(field(err, CODE)))); }

void set_where(const Cell& err, const Cell& value) {
    if (type_of(field(err, WHERE)) == TYPE_NONE) set_field(err, WHERE, value);
}

Cell install_state(const Cell& state) {
    if (!state_cell) state_cell = roots::append(make_none());
    Cell previous = *state_cell;
    *state_cell = state;
    return previous;
}

void capture_stack(const Cell& err_cell) {
    Cell err = err_cell;
    if (type_of(err) != TYPE_ERROR) return;
    Cell at = field(err, STACK);
    if (type_of(at) != TYPE_INTEGER || cell_integer(at) < 0) return;
    Rooted keep(err);
    Cell* saved = stack::top();
    Cell* calls = stack::push(make_none());
    block::make_at(*calls, 20);
    calls->header = TYPE_BLOCK;
    int32_t depth = stack_trace();
    stack::collect_call_words(depth > 0 ? depth : 1, *calls, uint32_t(cell_integer(at)));
    set_field(err, STACK, *calls);
    // The scripts being run (do of a file), innermost last.
    Cell files = state_field("source-files");
    if (type_of(files) == TYPE_BLOCK && !block::ks_tail_q(files))
        set_field(err, FILES, *block::push_copy(files, false, false));
    stack::pop(uint32_t(stack::top() - saved));
}

Cell call_arg_word(int n) {
    Cell w = stack::call_arg_word(n);
    return type_of(w) == TYPE_WORD ? w : words::word(words::Word::anon);
}

static void make(Cell* out, Cell* proto, Cell* spec_cell, uint32_t) {
    (void)proto;
    Cell* saved = stack::top();
    Cell spec = *spec_cell;
    Rooted keep(spec);
    if (type_of(spec) == TYPE_STRING) {
        Cell message = spec;
        Cell* err = create_from_words(words::word(words::Word::user), global("message"), &message, 1);
        *out = *err;
        stack::pop(uint32_t(stack::top() - saved));
        return;
    }
    uint32_t t = type_of(spec);
    if (t != TYPE_INTEGER && t != TYPE_BLOCK) fire(ErrorId::script_bad_make_arg, {datatype::make(TYPE_ERROR), spec});
    Cell* err = stack::push(make_none());
    object::copy(err, *prototype_cell, nullptr, false);
    err->header = TYPE_ERROR;
    err->data2 = uint32_t(object::ERROR_CLASS_ID);
    err->data3 = 0;
    object::store_owner(*err);
    if (t == TYPE_INTEGER) {
        make_from_code(*err, spec);
    } else {
        Cell first = block::ks_length(spec) > 0 ? block::ks_abs_at(spec, int32_t(spec.data1))[0] : make_none();
        if (type_of(first) == TYPE_WORD) {
            make_from_words(*err, spec);
        } else if (type_of(first) == TYPE_SET_WORD) {
            context::bind(spec, ctx_of(*err), true);
            if (object::evaluator_services().evaluate) object::evaluator_services().evaluate(spec);
            check_identity(*err);
        } else {
            fire(ErrorId::internal_invalid_error);
        }
    }
    // near: where the error is made, the expression being evaluated. A
    // raise sets only where and stack, so an error raised again keeps the
    // place it was made at. (A paren is evaluated as a block: its position
    // is a near too.)
    if (object::evaluator_services().position) {
        const Cell& at = object::evaluator_services().position();
        if (type_of(at) == TYPE_BLOCK || type_of(at) == TYPE_PAREN) set_field(*err, NEAR, at);
    }
    *out = *err;
    stack::pop(uint32_t(stack::top() - saved));
}

Cell* create_from_words(const Cell& category, const Cell& id, const Cell* args, int count) {
    Cell* spec = stack::push(make_none());
    block::make_at(*spec, 2);
    spec->header = TYPE_BLOCK;
    block::append_cell(*spec, category);
    block::append_cell(*spec, id);
    Cell* err = stack::push(make_none());
    Cell proto = datatype::make(TYPE_ERROR);
    make(err, &proto, spec, TYPE_ERROR);
    for (int i = 0; i < count && i < 3; ++i) set_field(*err, Field(ARG1 + i), args[i]);
    *spec = *err;
    stack::pop(1);
    return spec;
}

Cell* create(ErrorId id, const Cell* args, int count) {
    const ErrorCategoryInfo& category = error_categories[uint16_t(id) / 100];
    const char* id_word = error_id_word(id);
    Cell c = global(category.word);
    Cell i = global(id_word ? id_word : "invalid-error");
    return create_from_words(c, i, args, count);
}

// The report: "*** <Type text>: <message>", the Where and Near lines and,
// when enabled, Stack and Files. Unknown categories or ids and a message
// template that is no string or block turn the error into
// internal/invalid-error (in the error object itself).
static int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    Cell err = value;
    Rooted keep(err);
    limit = append_text(buffer, "*** ", limit);
    int32_t c = -1;
    Cell category = category_of(int32_t(field(err, TYPE).data2), &c);
    if (c < 0) {
        make_invalid(err, field(err, TYPE));
        category = category_of(int32_t(words::word(words::Word::internal).data2), nullptr);
    }
    Rooted keep_category(category);
    int32_t p = object::find_field(category, int32_t(field(err, ID).data2));
    if (p < 2) {
        make_invalid(err, field(err, ID));
        category = category_of(int32_t(words::word(words::Word::internal).data2), nullptr);
        p = object::find_field(category, int32_t(words::word(words::Word::invalid_error).data2));
    }
    Cell tmpl = field_at(category, uint32_t(p));
    if (type_of(tmpl) == TYPE_WORD) tmpl = object::field_value(err, int32_t(tmpl.data2));
    Rooted keep_template(tmpl);
    Cell type_text = field_at(category, 1);
    int64_t before = units_of(buffer);
    if (type_of(type_text) == TYPE_STRING) string::copy_into(buffer, type_text, -1, true);
    limit -= units_of(buffer) - before;
    limit = append_text(buffer, ": ", limit);
    if (type_of(tmpl) == TYPE_STRING) {
        before = units_of(buffer);
        string::copy_into(buffer, tmpl, -1, true);
        limit -= units_of(buffer) - before;
    } else if (type_of(tmpl) == TYPE_BLOCK) {
        limit = reduce_template(tmpl, buffer, err, limit);
    } else {
        make_invalid(err, field(err, TYPE));
    }
    limit = append_text(buffer, "\n*** Where: ", limit);
    Cell where = field(err, WHERE);
    before = units_of(buffer);
    if (type_of(where) == TYPE_WORD)
        actions::form(where, buffer, false, INT32_MAX);
    else if (type_of(where) == TYPE_STRING)
        string::copy_into(buffer, where, -1, true);
    else
        string::append_c_string(buffer, "???");
    limit -= units_of(buffer) - before;
    limit = append_text(buffer, "\n*** Near : ", limit);
    before = units_of(buffer);
    append_value(buffer, field(err, NEAR), false, 40, true);
    limit -= units_of(buffer) - before;
    int32_t depth = stack_trace();
    Cell calls = field(err, STACK);
    if (depth > 0 && type_of(calls) == TYPE_BLOCK) {
        limit = append_text(buffer, "\n*** Stack: ", limit);
        before = units_of(buffer);
        actions::form(calls, buffer, false, INT32_MAX);
        limit -= units_of(buffer) - before;
    } else if (depth > 0 && type_of(calls) == TYPE_INTEGER) {
        // The height of the call stack when the error was raised: the
        // calls that led there, by name.
        limit = append_text(buffer, "\n*** Stack: ", limit);
        before = units_of(buffer);
        stack::form_calls(depth, uint32_t(cell_integer(calls)), buffer, INT32_MAX);
        limit -= units_of(buffer) - before;
    }
    if (type_of(field(err, FILES)) == TYPE_BLOCK) {
        limit = append_text(buffer, "\n*** Files: ", limit);
        before = units_of(buffer);
        append_value(buffer, field(err, FILES), false, 40, true);
        limit -= units_of(buffer) - before;
    }
    return limit;
}

static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) { return error_mold(value, buffer, options); }

static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_ERROR) return COMP_NOT_COMPARABLE;
    return object::compare_fields(value1, value2, op);
}

Cell* report(const Cell& err) {
    Cell e = err;
    Rooted keep(e);
    Cell* s = stack::push(make_none());
    string::ks_make_at(*s, 80);
    form(e, *s, false, INT32_MAX);
    return s;
}

// Path access as for an object!, except that the stack field cannot be set
// (script/invalid-path-set).
static void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell path = step.path ? *step.path : make_none();
    if (type_of(*element) == TYPE_WORD && words::is(int32_t(element->data2), words::Sym::stack))
        fire(ErrorId::script_invalid_path_set, {path});
    object::eval_path(out, *parent, *element, value, path, step.get, step.last);
}

void init() {
    datatype::register_type(datatype::Record(TYPE_ERROR, TYPE_OBJECT, "error!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_EVAL_PATH>(eval_path)
                                .inherit_all<ACTION_REFLECT, ACTION_COPY, ACTION_FIND, ACTION_SELECT>());
}

void print(ErrorId id, const Cell* args, int count) {
    Cell* saved = stack::top();
    {
        // Made and printed inside a native frame named `<body>`.
        stack::OpenFrame frame(words::word(words::Word::body), stack::KIND_NATIVE);
        Cell err = *create(id, args, count);
        print_report(err);
        frame.reset();
    }
    stack::pop(uint32_t(stack::top() - saved));
}

void print_report(const Cell& err) {
    Cell* saved = stack::top();
    Cell* text = report(err);
    SeriesBuffer* b = string::buffer(*text);
    console::write_units(b->head_ptr(), b->used(), b->unit(), true);
    stack::pop(uint32_t(stack::top() - saved));
}

// Made once the global context and the runtime word table exist.
void build() {
    if (catalog_cell) return;
    build_catalog();
    ErrorServices& sv = error_services();
    sv.make = [](ErrorId id, const Cell* args, int count) { return *create(id, args, count); };
    sv.print_report = print_report;
}

}  // namespace kel::error
