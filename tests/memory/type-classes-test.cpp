// What a value of each type keeps alive: every payload word that the
// type's cell layout gives a series, a context or a table must keep it
// through a collection, and words that hold none under the header's flags
// must not be followed. The expectations are written from the cell layouts
// of the datatypes, not from the type-class table the collector reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/memory/collector.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel {
namespace {

using memory::buffer_of;

struct Layout {
    const char* name;
    uint32_t header;
    // Per payload word: '-' no reference, 'n' a byte series, 'b' a series of
    // cells, 'z' a hash table record (an empty one).
    const char* words;
    // Per payload word: 'y' kept by the cell, 'x' not followed (freed).
    const char* kept;
};

constexpr uint32_t ON_STACK = 0x400000;  // context!: values live on the stack
constexpr uint32_t HOLDS_BLOCK = 0x1000;  // event! made by make: word 2 is a block
constexpr uint32_t BACKEND_BLOCK = 0x2000;  // event! of the backend: word 2 is a block
constexpr uint32_t wraps(uint32_t type) { return TYPE_OP | (type << 16); }

const Layout layouts[] = {
    {"block!", TYPE_BLOCK, "-b-", "-y-"},
    {"paren!", TYPE_PAREN, "-b-", "-y-"},
    {"path!", TYPE_PATH, "-b-", "-y-"},
    {"lit-path!", TYPE_LIT_PATH, "-b-", "-y-"},
    {"set-path!", TYPE_SET_PATH, "-b-", "-y-"},
    {"get-path!", TYPE_GET_PATH, "-b-", "-y-"},
    {"hash!", TYPE_HASH, "-bz", "-yy"},
    {"map!", TYPE_MAP, "-bz", "-yy"},
    {"string!", TYPE_STRING, "-nn", "-yy"},
    {"file!", TYPE_FILE, "-nn", "-yy"},
    {"url!", TYPE_URL, "-nn", "-yy"},
    {"tag!", TYPE_TAG, "-nn", "-yy"},
    {"email!", TYPE_EMAIL, "-nn", "-yy"},
    {"ref!", TYPE_REF, "-nn", "-yy"},
    {"binary!", TYPE_BINARY, "-nn", "-yy"},
    {"symbol!", TYPE_SYMBOL, "-nn", "-yy"},
    {"bitset!", TYPE_BITSET, "-n-", "-y-"},
    {"vector!", TYPE_VECTOR, "-n-", "-y-"},
    {"image!", TYPE_IMAGE, "-n-", "-y-"},
    {"context!", TYPE_CONTEXT, "zb-", "yy-"},
    {"context! with values on the stack", TYPE_CONTEXT | ON_STACK, "zb-", "yx-"},
    {"word!", TYPE_WORD, "b--", "y--"},
    {"set-word!", TYPE_SET_WORD, "b--", "y--"},
    {"lit-word!", TYPE_LIT_WORD, "b--", "y--"},
    {"get-word!", TYPE_GET_WORD, "b--", "y--"},
    {"refinement!", TYPE_REFINEMENT, "b--", "y--"},
    {"issue!", TYPE_ISSUE, "b--", "y--"},
    {"native!", TYPE_NATIVE, "-bb", "-yy"},
    {"action!", TYPE_ACTION, "-bb", "-yy"},
    {"op! of a function!", wraps(TYPE_FUNCTION), "bbb", "yyy"},
    {"op! of a routine!", wraps(TYPE_ROUTINE), "bbb", "yyy"},
    {"op! of a native!", wraps(TYPE_NATIVE), "bbb", "xyy"},
    {"function!", TYPE_FUNCTION, "bbb", "yyy"},
    {"routine!", TYPE_ROUTINE, "bbb", "yyy"},
    {"object!", TYPE_OBJECT, "b-b", "y-y"},
    {"error!", TYPE_ERROR, "b-b", "y-y"},
    {"port!", TYPE_PORT, "b-b", "y-y"},
    {"event! holding a block", TYPE_EVENT | HOLDS_BLOCK, "-b-", "-y-"},
    {"event! of the backend", TYPE_EVENT | BACKEND_BLOCK, "-b-", "-y-"},
    {"event! without one", TYPE_EVENT, "-b-", "-x-"},
    {"integer!", TYPE_INTEGER, "-n-", "-x-"},
    {"pair!", TYPE_PAIR, "nnn", "xxx"},
    {"typeset!", TYPE_TYPESET, "nnn", "xxx"},
};

NodeId make_series(char kind) {
    switch (kind) {
    case 'n':
        return memory::alloc_bytes(8);
    case 'b':
        return memory::alloc_unset_cells(2);
    case 'z':
        return memory::alloc_bytes_filled(64, 0);  // an empty record of kind hash!
    default:
        return 0;
    }
}

// A live node's slot holds its buffer's address; a freed one holds the id of
// the next free slot.
bool alive(NodeId n) {
    if (memory::node_table[n] <= UINT32_MAX) return false;
    SeriesBuffer* b = buffer_of(n);
    return (b->flags & series_flag::IN_USE) && b->node == n;
}

struct TypeClasses : ::testing::Test {
    void SetUp() override { test::boot(); }
};

TEST_F(TypeClasses, EachPayloadWordKeepsWhatTheLayoutGivesIt) {
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        Cell cell{l.header, 0, 0, 0};
        Rooted keep(cell);
        {
            NodeId n[3] = {};
            Rooted k1(n[0]), k2(n[1]), k3(n[2]);  // until the cell holds all three
            for (int i = 0; i < 3; ++i) n[i] = make_series(l.words[i]);
            cell.data1 = n[0];
            cell.data2 = n[1];
            cell.data3 = n[2];
        }
        collector::do_cycle();
        const uint32_t words[3] = {cell.data1, cell.data2, cell.data3};
        for (int i = 0; i < 3; ++i) {
            if (l.kept[i] == 'y') {
                EXPECT_TRUE(alive(words[i])) << "word " << i + 1 << " was not kept";
            } else if (l.kept[i] == 'x') {
                EXPECT_FALSE(alive(words[i])) << "word " << i + 1 << " was followed";
            }
        }
    }
}

}  // namespace
}  // namespace kel
