// The word family: making words, their texts, comparison, index? and the
// make/to conversions.
#include "runtime/datatypes/word.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::word {

// The word types' compare, which issue! applies to two issues (below).
static int32_t compare(const Cell& value1, const Cell& value2, int32_t op);

namespace {

LexerServices lexer;

// Code points of a symbol's spelling.
int64_t spelling_length(int32_t symbol) {
    uint32_t n = 0;
    const uint8_t* p = symbol::spelling(symbol, &n);
    return unicode::count_chars(p, p + n);
}

int64_t append_spelling(const Cell& w, const Cell& buffer, int64_t limit) {
    int32_t id = symbol_of(w);
    Cell sym = *symbol::get(id);
    string::copy_into(buffer, sym, -1, true);
    return limit - spelling_length(id);
}

int64_t mold_prefixed(Cell value, Cell buffer, const MoldOptions& options, const char* prefix) {
    string::append_c_string(buffer, prefix);
    return append_spelling(value, buffer, options.limit - 1);
}

int64_t mold_set_word(Cell value, Cell buffer, const MoldOptions& options) {
    int64_t left = append_spelling(value, buffer, options.limit);
    string::append_c_string(buffer, ":");
    return left - 1;
}
int64_t mold_lit_word(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_prefixed(value, buffer, options, "'");
}
int64_t mold_get_word(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_prefixed(value, buffer, options, ":");
}
int64_t mold_refinement(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_prefixed(value, buffer, options, "/");
}
int64_t mold_issue(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_prefixed(value, buffer, options, "#");
}

int32_t issue_compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_ISSUE) return COMP_NOT_COMPARABLE;
    return compare(value1, value2, op);
}

// index?: none for a word not resolved yet, else its 1-based position.
void index_q() {
    Cell& w = stack::arguments()[0];
    int32_t index = index_of(w);
    w = index < 0 ? make_none() : make_integer(index + 1);
}

[[noreturn]] void fire_bad_to(uint32_t type, const Cell& spec) {
    fire(ErrorId::script_bad_to_arg, {datatype::make(type), spec});
}

// A text loaded as one value, which must be a word of some kind.
Cell load_word(const Cell& text) {
    if (!lexer.load_value) fire(ErrorId::internal_not_done);
    Cell loaded = make_none();
    lexer.load_value(&loaded, text);
    if (!is_any_word(type_of(loaded))) fire(ErrorId::script_invalid_chars);
    return loaded;
}

// A one-character string! on the argument stack.
Cell* push_char_string(uint32_t cp) {
    Cell* s = stack::push(make_none());
    string::ks_make_at(*s, 1);
    string::append_char(string::buffer(*s), cp);
    return s;
}

}  // namespace

LexerServices& lexer_services() { return lexer; }

Cell* make_at(int32_t symbol, Cell& cell) {
    // Looked up by alias: a case variant keeps its spelling and shares the
    // first spelling's slot.
    cell = context::add_global(symbol, true, true);
    cell.header = TYPE_WORD;
    return &cell;
}

Cell make(int32_t symbol) {
    Cell w;
    make_at(symbol, w);
    return w;
}

Cell make_global(const char* name) { return context::add_global(symbol::make(name), true, true); }

Cell refinement_of(const char* name) {
    return Cell{TYPE_REFINEMENT, 0, uint32_t(symbol::make(name)), context::NO_INDEX};
}

Cell issue_of(const char* name) {
    return Cell{TYPE_ISSUE, context::global(), uint32_t(symbol::make(name)), context::NO_INDEX};
}

Cell* make_in(int32_t symbol, const Cell& block) {
    Cell w = make(symbol);
    return block::append_cell(block, w);
}

Cell* push_symbol(int32_t symbol) { return stack::push(make(symbol)); }

// Appends the word's spelling to the target string; returns the budget
// minus the spelling's length in code points.
static int64_t form(Cell value, Cell buffer, bool, int64_t limit) { return append_spelling(value, buffer, limit); }

static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return append_spelling(value, buffer, options.limit);
}

static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    uint32_t t1 = type_of(value1);
    uint32_t t2 = type_of(value2);
    if ((t2 == TYPE_ISSUE && t1 != TYPE_ISSUE) || !is_any_word(t2)) return COMP_NOT_COMPARABLE;
    int32_t s1 = symbol_of(value1);
    int32_t s2 = symbol_of(value2);
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_FIND:
        return symbol::resolve(s1) == symbol::resolve(s2) ? 0 : 1;
    case COMP_STRICT_EQUAL:
        return t1 == t2 && s1 == s2 ? 0 : 1;
    case COMP_SAME:
        return s1 == s2 && value1.data1 == value2.data1 && t1 == t2 ? 0 : 1;
    case COMP_CASE_MATCH:
    case COMP_MATCH: {
        bool loose = (t1 == TYPE_WORD && t2 == TYPE_LIT_WORD) || (t1 == TYPE_LIT_WORD && t2 == TYPE_WORD);
        bool same_symbol = op == COMP_MATCH ? symbol::resolve(s1) == symbol::resolve(s2) : s1 == s2;
        return same_symbol && (loose || t1 == t2) ? 0 : 1;
    }
    default: {
        // The orderings compare the UTF-8 spellings as text. Building a
        // symbol's string (symbol::get) would allocate, and callers such as
        // the in-place sort and block compare hold cell addresses across
        // the comparison: the cells are read as they stand.
        const Cell a = symbol::peek(s1);
        const Cell b = symbol::peek(s2);
        if (type_of(a) != TYPE_SYMBOL || type_of(b) != TYPE_SYMBOL) return COMP_NOT_COMPARABLE;
        return symbol::compare(a, b, op);
    }
    }
}

// make and to of the word types.
static void make_action(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    (void)proto;
    Cell result;
    switch (type_of(*spec)) {
    case TYPE_WORD:
    case TYPE_SET_WORD:
    case TYPE_GET_WORD:
    case TYPE_LIT_WORD:
        result = *spec;
        break;
    case TYPE_ISSUE:
    case TYPE_REFINEMENT: {
        if (!lexer.scan_spelling) fire(ErrorId::internal_not_done);
        uint32_t n = 0;
        const uint8_t* p = symbol::spelling(symbol_of(*spec), &n);
        uint32_t scanned = lexer.scan_spelling(p, n);
        if (scanned < TYPE_WORD || scanned > TYPE_GET_WORD) fire_bad_to(type, *spec);
        result = *spec;
        context::bind_word(context::global(), result);
        break;
    }
    case TYPE_STRING:
        result = load_word(*spec);
        break;
    case TYPE_CHAR: {
        Cell* saved = stack::top();
        Cell* s = push_char_string(spec->data2);
        result = load_word(*s);
        stack::pop(uint32_t(stack::top() - (saved)));
        break;
    }
    case TYPE_DATATYPE: {
        const Cell* w = datatype::word(datatype::type_of_value(*spec));
        if (!w) fire_bad_to(type, *spec);
        result = *w;
        break;
    }
    case TYPE_LOGIC:
        result = make(symbol::make(spec->data1 ? "true" : "false"));
        break;
    default:
        fire_bad_to(type, *spec);
    }
    result.header = type;
    *out = result;
}

// make and to of issue!.
static void issue_make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    Cell result;
    uint32_t t = type_of(*spec);
    if (is_any_word(t)) {
        result = *spec;
    } else if (t == TYPE_STRING || t == TYPE_CHAR) {
        Cell* saved = stack::top();
        Cell text = t == TYPE_CHAR ? *push_char_string(spec->data2) : *spec;
        int32_t id = symbol::make_from_string(text, -1);
        stack::pop(uint32_t(stack::top() - (saved)));
        result = Cell{TYPE_ISSUE, context::global(), uint32_t(id), context::NO_INDEX};
    } else {
        make_action(out, proto, spec, type);
        return;
    }
    result.header = type;
    *out = result;
}

void init() {
    using datatype::Record;
    datatype::register_type(Record(TYPE_WORD, TYPE_SYMBOL, "word!")
                                .own<ACTION_MAKE>(make_action)
                                .own<ACTION_TO>(make_action)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_INDEX_Q>(index_q));
    auto variant = [](uint32_t id, const char* name, ActionSlot<ACTION_MOLD>::type mold_fn, bool indexed) {
        Record r(id, TYPE_WORD, name);
        r.own<ACTION_MOLD>(mold_fn).inherit_all<ACTION_MAKE, ACTION_TO, ACTION_FORM, ACTION_COMPARE>();
        if (indexed) r.inherit<ACTION_INDEX_Q>();
        datatype::register_type(r);
    };
    variant(TYPE_SET_WORD, "set-word!", mold_set_word, true);
    variant(TYPE_LIT_WORD, "lit-word!", mold_lit_word, true);
    variant(TYPE_GET_WORD, "get-word!", mold_get_word, true);
    variant(TYPE_REFINEMENT, "refinement!", mold_refinement, false);
    datatype::register_type(Record(TYPE_ISSUE, TYPE_WORD, "issue!")
                                .own<ACTION_MAKE>(issue_make)
                                .own<ACTION_TO>(issue_make)
                                .own<ACTION_MOLD>(mold_issue)
                                .own<ACTION_COMPARE>(issue_compare)
                                .inherit<ACTION_FORM>());
}

}  // namespace kel::word
