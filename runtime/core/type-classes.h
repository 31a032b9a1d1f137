// What the values of each type hold, in one table indexed by type id: the
// series a value is a position in, what each of its three payload words
// refers to, and whether ownership records it. The collector's marking,
// ownership's walks and the series unit rules all read this table, so a
// datatype is described here once, as its cell layout is, whichever module
// registers it.
//
// Every row follows the cell layout of its datatype: a series value keeps
// its head index in word 1 and its node in word 2; the word family keeps
// its context in word 1; object-like values their context in word 1 and
// their on-change information in word 3; and so on below.
#pragma once
#include <array>
#include <cstdint>

#include "runtime/core/types.h"

namespace kel::type_classes {

// The series a value is a position in (its head counts these units).
enum class Series : uint8_t {
    none,  // no series of its own, or one without positions (map!, bitset!)
    cells,  // block-like: block!, paren!, the four paths, hash!
    code_points,  // string-like: code points of 1, 2 or 4 bytes
    bytes,  // binary!
    elements,  // vector!: numbers of the element width
    pixels,  // image!: the pixels of its image record
};

// What one payload word holds, for the collector.
enum class Word : uint8_t {
    none,  // no reference: a number, an id, a head index, a size
    node,  // a series node: marked, its content not walked
    cells,  // the node of a series of cells: marked and walked
    context,  // a context node: marked and walked as a context
    table,  // a hash table: its storage and everything it holds
    external,  // an index of the external resource registry, -1 for none
    image_record,  // the node of an image record: marked, then image! marks its resources
    values,  // context! word 2: the values block, unless they live on the stack
    event_block,  // event! word 2: a block when a header flag says it holds one
    wrapped_context,  // op! word 1: a context when the wrapped type is function! or routine!
};

// How ownership treats a value of the type.
enum class Owned : uint8_t {
    no,  // ignored
    series,  // its series is recorded; its content is not walked
    walked,  // its series is recorded and its cells walked
    fields,  // object!: each field's value is walked
};

// Header flags that decide what the conditional words hold.
inline constexpr uint32_t CONTEXT_VALUES_ON_STACK = 0x400000;  // context!: word 2 is no node
inline constexpr uint32_t EVENT_HOLDS_BLOCK = 0x1000;  // event! made by make: word 2 is its record block
inline constexpr uint32_t EVENT_BACKEND_BLOCK = 0x2000;  // event! of the backend: word 2 is its record block
inline constexpr uint32_t OP_WRAPPED_SHIFT = 16;  // op!: wrapped type id in bits 16-23

struct TypeClass {
    Series series = Series::none;
    Word words[3] = {Word::none, Word::none, Word::none};  // payload words 1, 2 and 3
    Owned owned = Owned::no;

    // True when some payload word may refer to something the collector marks.
    constexpr bool refers() const { return words[0] != Word::none || words[1] != Word::none || words[2] != Word::none; }
};

namespace detail {

constexpr std::array<TypeClass, 256> build() {
    std::array<TypeClass, 256> t{};
    using enum Word;
    for (uint32_t id : {TYPE_BLOCK, TYPE_PAREN, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH})
        t[id] = {Series::cells, {none, cells, none}, Owned::walked};
    t[TYPE_HASH] = {Series::cells, {none, cells, table}, Owned::walked};  // word 3: the table of its values
    // Word 3 of the string family and binary!: the conversion cache, once made.
    for (uint32_t id : {TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF})
        t[id] = {Series::code_points, {none, node, node}, Owned::series};
    t[TYPE_BINARY] = {Series::bytes, {none, node, node}, Owned::series};
    t[TYPE_VECTOR] = {Series::elements, {none, node, none}, Owned::series};  // word 3: the element type
    t[TYPE_IMAGE] = {Series::pixels, {none, image_record, none}, Owned::series};  // word 3: the size
    t[TYPE_BITSET] = {Series::none, {none, node, none}, Owned::series};
    t[TYPE_MAP] = {Series::none, {none, cells, table}, Owned::no};  // key/value pairs and their table
    // Symbol: its alias id, the spelling as a string (once made), the UTF-8 name.
    t[TYPE_SYMBOL] = {Series::none, {none, node, node}, Owned::no};
    t[TYPE_CONTEXT] = {Series::none, {table, values, none}, Owned::no};  // word table, values
    // The word family: context, symbol id, index in the context.
    for (uint32_t id : {TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE})
        t[id] = {Series::none, {context, none, none}, Owned::no};
    // Code index, spec block, more block.
    for (uint32_t id : {TYPE_NATIVE, TYPE_ACTION}) t[id] = {Series::none, {none, cells, cells}, Owned::no};
    t[TYPE_OP] = {Series::none, {wrapped_context, cells, cells}, Owned::no};
    // Context, spec block, more block.
    for (uint32_t id : {TYPE_FUNCTION, TYPE_ROUTINE}) t[id] = {Series::none, {context, cells, cells}, Owned::no};
    // Context, class id, on-change information.
    t[TYPE_OBJECT] = {Series::none, {context, none, cells}, Owned::fields};
    for (uint32_t id : {TYPE_ERROR, TYPE_PORT}) t[id] = {Series::none, {context, none, cells}, Owned::no};
    t[TYPE_HANDLE] = {Series::none, {none, none, external}, Owned::no};  // class, value, registry entry
    t[TYPE_EVENT] = {Series::none, {none, event_block, none}, Owned::no};
    // Every other type holds numbers or bits only: datatype!, unset!, none!,
    // logic!, char!, integer!, float!, triple!, typeset!, pair!, percent!,
    // tuple!, time!, date!, money!, point2D!, point3D!, and the abstract
    // series!.
    return t;
}

}  // namespace detail

inline constexpr std::array<TypeClass, 256> table = detail::build();

// The row of a type id (any byte: ids without a type hold nothing).
constexpr const TypeClass& of(uint32_t type) { return table[type & 0xFF]; }

// Block-like types: their series holds cells.
constexpr bool holds_cells(uint32_t type) { return of(type).series == Series::cells; }
// String-like types: their series holds code points.
constexpr bool holds_code_points(uint32_t type) { return of(type).series == Series::code_points; }
// Payload word 1 refers to a context (the word family, functions, objects).
constexpr bool context_in_word1(uint32_t type) { return of(type).words[0] == Word::context; }

static_assert(TYPE_TOTAL <= 256);
static_assert([] {
    // Positional series keep their node in word 2; ownership walks exactly
    // the series of cells.
    for (const TypeClass& c : table) {
        if (c.series != Series::none && c.words[1] == Word::none) return false;
        if ((c.owned == Owned::walked) != (c.series == Series::cells)) return false;
    }
    return true;
}());

}  // namespace kel::type_classes
