// Shared by the block! and series! action tests: blocks of given cells on
// the argument stack, hash! values with their tables, the text that form and
// mold write, and reading a block back from its head.
#pragma once
#include <string>

#include "runtime/datatypes/block-internal.h"
#include "runtime/memory/roots.h"
#include "tests/datatypes/series-fixture.h"

namespace kel::test {

using Ints = std::vector<int32_t>;

// An options struct with the refinements that set gives:
// with<FindOptions>([](FindOptions& o) { o.tail = true; }).
template <class Options, class Set>
Options with(Set set) {
    Options o;
    set(o);
    return o;
}

struct BlockTest : SeriesTest {
    // A block of the given type holding the cells, on the argument stack.
    static Cell* list(std::initializer_list<Cell> values, uint32_t type = TYPE_BLOCK) {
        Cell* b = block::push_only(int32_t(values.size()));
        for (const Cell& v : values) block::append_cell(*b, v);
        set_type(*b, type);
        return b;
    }
    // A hash! of the integers with its table, on the argument stack.
    static Cell* hashed(std::initializer_list<int32_t> values) {
        Cell* h = ints(values, TYPE_HASH);
        h->data3 = hashtable::make_table(uint32_t(values.size()), h, hashtable::KIND_HASH);
        return h;
    }
    static Cell with_new_line(Cell c) {
        c.header |= CELL_NEW_LINE;
        return c;
    }
    static Cell at(const Cell& blk, int32_t head) {
        Cell c = blk;
        c.data1 = uint32_t(head);
        return c;
    }
    // The integers from the value's head to the tail.
    static Ints from_head(const Cell& blk) {
        Ints v;
        SeriesBuffer* b = block::buffer(blk);
        for (uint64_t i = blk.data1; i < b->cell_count(); ++i) v.push_back(cell_integer(b->cells()[i]));
        return v;
    }
    // A new empty string! on the argument stack, to form and mold into.
    static Cell* target() { return stack::push(Cell{TYPE_STRING, 0, memory::alloc_codepoints(0, 1), 0}); }
    static std::string string_text(const Cell& s) {
        SeriesBuffer* b = memory::buffer_of(cell_node(s));
        std::string t;
        for (uint64_t i = 0; i < b->used() / b->unit(); ++i) t += char(string::get_char_at(s, int32_t(i)));
        return t;
    }
    static std::string molded(const Cell& v, MoldOptions options = {}) {
        Cell* t = target();
        actions::mold(v, *t, options);
        return string_text(*t);
    }
    static std::string formed(const Cell& v) {
        Cell* t = target();
        actions::form(v, *t, false, INT32_MAX);
        return string_text(*t);
    }
    // Whether a find through the hash!'s table answers what a scan answers
    // for every value in it and one absent value.
    static void expect_table_in_step(const Cell& h) {
        SeriesBuffer* b = block::buffer(h);
        for (uint64_t i = 0; i <= b->cell_count(); ++i) {
            int32_t wanted = i < b->cell_count() ? cell_integer(b->cells()[i]) : -999;
            int64_t first = -1;
            for (uint64_t k = 0; k < b->cell_count(); ++k)
                if (cell_integer(b->cells()[k]) == wanted) {
                    first = int64_t(k);
                    break;
                }
            Cell* found = hashtable::find(h.data3, integer(wanted), 0, 1, COMP_EQUAL, false, false);
            int64_t got = found ? found - block::buffer(h)->cells() : -1;
            EXPECT_EQ(got, first) << "value " << wanted;
        }
    }
};

}  // namespace kel::test
