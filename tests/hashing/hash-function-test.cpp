// Hash functions: MurmurHash3 against published vectors, the lowered name
// hash, text hashing across unit sizes and case, and hashing by type.
#include <cstring>
#include <string>

#include "runtime/hashing/hashtable-buckets.h"
#include "tests/hashing/hashing-fixture.h"

namespace kel::test {
namespace {

struct HashFunctions : HashingTest {};

// Restores the process-wide seed after a test that changes it.
struct SeedGuard {
    uint32_t saved = hashtable::seed();
    ~SeedGuard() { hashtable::set_seed(saved); }
};

TEST_F(HashFunctions, Murmur3MatchesPublishedVectors) {
    SeedGuard guard;
    struct Case {
        const char* text;
        size_t length;
        uint32_t seed;
        uint32_t hash;
    } cases[] = {
        {"", 0, 0, 0},
        {"", 0, 1, 0x514E28B7},
        {"", 0, 0xFFFFFFFF, 0x81F16F39},
        {"\0\0\0\0", 4, 0, 0x2362F9DE},
        {"a", 1, 0x9747B28C, 0x7FA09EA6},
        {"aa", 2, 0x9747B28C, 0x5D211726},
        {"aaa", 3, 0x9747B28C, 0x283E0130},
        {"aaaa", 4, 0x9747B28C, 0x5A97808A},
        {"abc", 3, 0, 0xB3DD93FA},
        {"Hello, world!", 13, 0x9747B28C, 0x24884CBA},
        {"The quick brown fox jumps over the lazy dog", 43, 0x9747B28C, 0x2FA826CD},
    };
    for (const Case& c : cases) {
        hashtable::set_seed(c.seed);
        EXPECT_EQ(hashtable::murmur3_x86_32(c.text, c.length), c.hash) << '"' << c.text << "\" seed " << c.seed;
    }
}

TEST_F(HashFunctions, FinaliserIsMurmurOfNothingSeededWithTheValue) {
    SeedGuard guard;
    EXPECT_EQ(hashtable::hash_int(0), 0u);
    for (uint32_t v : {1u, 2u, 0x80000000u, 0xFFFFFFFFu, 12345u}) {
        hashtable::set_seed(v);
        EXPECT_EQ(hashtable::hash_int(v), hashtable::murmur3_x86_32("", 0));
    }
}

// The name hash lowers A-Z word by word; it must agree with hashing a lowered
// copy for every byte value in every position and for every tail length.
TEST_F(HashFunctions, NameHashEqualsHashOfLoweredCopy) {
    for (size_t length = 0; length <= 9; ++length) {
        for (int b = 0; b < 256; ++b) {
            std::string name = std::string("xQz@[`{Ab").substr(0, length);
            for (size_t at = 0; at < length; ++at) {
                std::string n = name;
                n[at] = char(b);
                auto* p = reinterpret_cast<const uint8_t*>(n.data());
                uint32_t expected = hashtable::murmur3_x86_32(hashtable::lower_ascii(p, length), length);
                ASSERT_EQ(hashtable::detail::hash_name(p, length), expected) << "byte " << b << " at " << at;
            }
        }
    }
}

TEST_F(HashFunctions, LowerAsciiAndCompareNamesFoldOnlyAsciiLetters) {
    const uint8_t text[] = {'A', 'z', '@', '[', 0xC3, 0x89, 'Q'};
    const uint8_t* lowered = hashtable::lower_ascii(text, sizeof text);
    const uint8_t expected[] = {'a', 'z', '@', '[', 0xC3, 0x89, 'q'};
    EXPECT_EQ(std::memcmp(lowered, expected, sizeof text), 0);
    // A longer name replaces the scratch block.
    std::string long_name(1000, 'K');
    lowered = hashtable::lower_ascii(reinterpret_cast<const uint8_t*>(long_name.data()), long_name.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(lowered), long_name.size()), std::string(1000, 'k'));

    auto cmp = [](const char* a, const char* b, bool exact) {
        return hashtable::compare_names(reinterpret_cast<const uint8_t*>(a), reinterpret_cast<const uint8_t*>(b),
                                        std::strlen(a), exact);
    };
    EXPECT_EQ(cmp("Print", "pRINT", false), 0);
    EXPECT_NE(cmp("Print", "pRINT", true), 0);
    EXPECT_NE(cmp("a@", "a`", false), 0);  // '@' and '`' differ by 0x20 but are not letters
    EXPECT_NE(cmp("\xC3\x89", "\xC3\xA9", false), 0);  // É and é are not ASCII
}

TEST_F(HashFunctions, TextHashIgnoresCaseAndUnitSize) {
    Cell upper = text("ABC-\xC3\xA9");  // ABC-é
    Cell lower = text("abc-\xC3\x89");  // abc-É
    Cell wide = text("abc-\xC3\x89\xE2\x82\xAC");  // abc-É€ (two-byte units)
    Cell narrow_same = text("abc-\xC3\x89");
    EXPECT_EQ(hashtable::hash_string(upper, false), hashtable::hash_string(lower, false));
    EXPECT_NE(hashtable::hash_string(upper, true), hashtable::hash_string(lower, true));
    EXPECT_EQ(hashtable::hash_string(lower, true), hashtable::hash_string(narrow_same, true));
    // The same code points in a two-byte buffer hash the same.
    Cell cut = wide;
    SeriesBuffer* b = memory::buffer_of(cell_node(cut));
    ASSERT_EQ(b->unit(), 2u);
    b->tail -= 2;  // drop the euro sign
    EXPECT_EQ(hashtable::hash_string(cut, false), hashtable::hash_string(upper, false));

    // A head past the tail hashes as the empty text.
    Cell past = text("xy");
    past.data1 = 7;
    Cell empty = text("");
    EXPECT_EQ(hashtable::hash_string(past, false), hashtable::hash_string(empty, false));
}

TEST_F(HashFunctions, ValuesHashByType) {
    EXPECT_EQ(hashtable::hash_value(make_unset(), false), uint32_t(-2));
    EXPECT_EQ(hashtable::hash_value(make_none(), false), uint32_t(-1));
    EXPECT_NE(hashtable::hash_value(make_integer(1), false), hashtable::hash_value(make_integer(2), false));

    // Words hash by canonical symbol, whatever their type and spelling case.
    Cell foo = word("hashFoo");
    Cell set_foo = word("HASHFOO", TYPE_SET_WORD);
    EXPECT_EQ(hashtable::hash_value(foo, false), hashtable::hash_value(set_foo, false));

    Cell p1{TYPE_POINT3D, 0x3F800000, 0x40000000, 0x40400000};
    Cell p2 = p1;
    p2.header |= 0x40000000;  // a new-line marker does not take part
    EXPECT_EQ(hashtable::hash_value(p1, false), hashtable::hash_value(p2, false));
    p2.data3 = 0x40800000;
    EXPECT_NE(hashtable::hash_value(p1, false), hashtable::hash_value(p2, false));

    // Tuples hash only their own bytes.
    Cell t1{TYPE_TUPLE | (3u << 19), 0x00030201, 0, 0};
    Cell t2{TYPE_TUPLE | (3u << 19), 0xFF030201, 0xAAAAAAAA, 0};
    EXPECT_EQ(hashtable::hash_value(t1, false), hashtable::hash_value(t2, false));

    // Money keeps only its type and sign from the header.
    Cell m1{TYPE_MONEY | 0x4000, 0x00000100, 0x12, 0};
    Cell m2 = m1;
    m2.header |= 0x40000000;
    EXPECT_EQ(hashtable::hash_value(m1, false), hashtable::hash_value(m2, false));
    m2.header &= ~0x4000u;
    EXPECT_NE(hashtable::hash_value(m1, false), hashtable::hash_value(m2, false));

    // Series hash by identity: the same text in another buffer differs.
    Cell s1 = text("same");
    Cell s2 = text("same");
    Cell b1{TYPE_BLOCK, 0, cell_node(s1), 0};
    Cell b2{TYPE_BLOCK, 0, cell_node(s2), 0};
    EXPECT_NE(hashtable::hash_value(b1, false), hashtable::hash_value(b2, false));
    EXPECT_EQ(hashtable::hash_value(s1, false), hashtable::hash_value(s2, false));
}

}  // namespace
}  // namespace kel::test
