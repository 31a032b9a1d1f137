// Boot mode, with hand-made images: set records, bound words naming a
// context literal (by index, or by name with index -1), natives made from
// their recorded spec, and the refusals that only boot mode has.
#include "tests/kelbin/kelbin-fixture.h"

namespace kel::test {
namespace {

// Symbols 0-3 of every image here: a, b, kb-boot-set, A.
Bytes boot_image(const Bytes& records) {
    const std::string names("a\0b\0kb-boot-set\0A\0", 18);
    return with_symbols({0, 2, 4, 16}, Bytes(names.begin(), names.end()), records);
}

// An object context (kind 2, self) of the words a and b: literal #0.
const Bytes CONTEXT_AB = bytes_of({0x0E, 0x0A, 0x02, 0x00, 0x01});

// Decodes in boot mode into a new block kept in kb-out; answers the error
// id (-1 for none).
int decode_boot(const Bytes& bytes) {
    Cell* top = stack::state.top;
    Cell* blk = block::push_only(1);
    int e = error_of([&] { kelbin::decode_boot(bytes.data(), bytes.size(), *blk); });
    Cell w = word::make_global("kb-out");
    context::set(w, *blk);
    stack::state.top = top;
    return e;
}

TEST_F(Kelbin, SetRecordsSetTheirWordAndLeaveNothing) {
    ASSERT_EQ(decode_boot(boot_image(bytes_of({0xC4, 0x10, 0x02, 0x81}))), -1);
    EXPECT_EQ(evaluate("reduce [kb-boot-set empty? kb-out]").text, "[1 true]");
    // A native's spec follows it in the parent and leaves with the record.
    ASSERT_EQ(decode_boot(boot_image(bytes_of({0xC4, 0x10, 0x02, 0x15, 0x01, 0x05, 0x01, 0x0F, 0x00, 0x82}))), -1);
    EXPECT_EQ(evaluate("reduce [native? :kb-boot-set mold spec-of :kb-boot-set kb-out]").text, "[true \"[a]\" [2]]");
    EXPECT_EQ(evaluate("same? spec-of :if spec-of :kb-boot-set").text, "false");
}

TEST_F(Kelbin, BoundWordsNameAContextLiteral) {
    // [b A]: b by its index 1, A by name (-1), ignoring case.
    Bytes records = cat({CONTEXT_AB, bytes_of({0x05, 0x02, 0x4F, 0x01, 0x00, 0x02, 0x4F, 0x03, 0x00, 0x01})});
    Bytes image = boot_image(records);
    ASSERT_EQ(decode_boot(image), -1);
    EXPECT_EQ(evaluate("o: first kb-out set in o 'a 10 set in o 'b 20 reduce second kb-out").text, "[20 10]");
    // The length bound holds: every truncation is refused.
    for (size_t n = kelbin::LEAD_SIZE; n < image.size(); ++n)
        EXPECT_EQ(decode_boot(Bytes(image.begin(), image.begin() + long(n))), id(ErrorId::script_kb_invalid_record))
            << n << " bytes";
}

// An object record's class id stays in boot mode; a codec gives -1. The
// writer's file of a live object (handlers too; words of its own contexts
// are the codec's, not boot mode's) keeps the object's own id.
TEST_F(Kelbin, BootModeKeepsClassIds) {
    // Class id 7, then an object context (kind 2, self, values) of a: 1.
    Bytes image = boot_image(bytes_of({0x20, 0x0E, 0x0E, 0x1A, 0x01, 0x00, 0x81}));
    ASSERT_EQ(decode_boot(image), -1);
    EXPECT_EQ(evaluate("o: first kb-out reduce [class-of o o/a]").text, "[7 1]");
    ASSERT_EQ(decode(image), -1);
    EXPECT_EQ(evaluate("class-of first kb-out").text, "-1");
    for (const char* code : {"make object! [a: 1]", "make object! [a: 1 on-change*: func [w o n] [none]]"}) {
        std::string want = evaluate(std::string("class-of kb-in: ") + code).text;
        Cell v = *context::get(word::make_global("kb-in"));
        ASSERT_EQ(decode_boot(kelbin::encode_compact(v)), -1) << code;
        EXPECT_EQ(evaluate("class-of first kb-out").text, want) << code;
    }
    // A word bound to that literal reads the object's field.
    ASSERT_EQ(decode_boot(boot_image(bytes_of({0x20, 0x0E, 0x0E, 0x1A, 0x01, 0x00, 0x81, 0x4F, 0x00, 0x00, 0x00}))),
              -1);
    EXPECT_EQ(evaluate("reduce [class-of first kb-out get second kb-out]").text, "[7 1]");
}

// A codec takes only object contexts with heap values, made with self as
// every object is (so the value writes the same bytes each time); boot mode
// takes the function contexts of the image's form too.
TEST_F(Kelbin, CodecModeReadsAContextRecordAsAnObject) {
    ASSERT_EQ(decode(boot_image(bytes_of({0x0E, 0x12, 0x01, 0x00, 0x81}))), -1);
    EXPECT_EQ(evaluate("o: first kb-out reduce [object? o o/a]").text, "[true 1]");
    Bytes once = kelbin::encode_compact(block::buffer(*context::get(word::make_global("kb-out")))->cells()[0]);
    ASSERT_EQ(decode(once), -1);
    EXPECT_EQ(kelbin::encode_compact(block::buffer(*context::get(word::make_global("kb-out")))->cells()[0]), once);
    const struct {
        const char* what;
        int flags;
    } refused[] = {
        {"function context, values on the stack", 0x05},
        {"function context, heap values", 0x01},
        {"global context", 0x00},
        {"object context, values on the stack", 0x0E},
    };
    for (const auto& row : refused) {
        Bytes image = boot_image(bytes_of({0x0E, row.flags, 0x01, 0x00}));
        EXPECT_EQ(decode(image), id(ErrorId::script_kb_invalid_record)) << row.what;
        EXPECT_EQ(decode_boot(image), -1) << row.what;
    }
    EXPECT_EQ(decode(boot_image(bytes_of({0xC4, 0x10, 0x02, 0x81}))), id(ErrorId::script_kb_invalid_record));
    EXPECT_EQ(decode(boot_image(cat({CONTEXT_AB, bytes_of({0x4F, 0x01, 0x00, 0x02})}))),
              id(ErrorId::script_kb_invalid_record));
}

TEST_F(Kelbin, BootModeRefusals) {
    const struct {
        const char* what;
        Bytes records;
    } rows[] = {
        {"literal past the values", bytes_of({0x05, 0x00, 0x4F, 0x00, 0x05, 0x00})},
        {"literal that holds no context", bytes_of({0x81, 0x4F, 0x00, 0x00, 0x00})},
        {"index past the context's words", cat({CONTEXT_AB, bytes_of({0x4F, 0x00, 0x00, 0x04})})},
        {"index below -1", cat({CONTEXT_AB, bytes_of({0x4F, 0x00, 0x00, 0x03})})},
        {"name not in the context", cat({CONTEXT_AB, bytes_of({0x4F, 0x02, 0x00, 0x01})})},
        {"set prefix before an integer record", bytes_of({0xC4, 0x0B, 0x02})},
        {"set prefix before a small integer", bytes_of({0xC4, 0x81})},
        {"set prefix inside a block", bytes_of({0x05, 0x01, 0xC4, 0x10, 0x02, 0x81})},
        {"set record without its value", bytes_of({0xC4, 0x10, 0x02})},
        {"native spec that is no block", bytes_of({0xC4, 0x10, 0x02, 0x15, 0x01, 0x06, 0x00})},
        {"context with values on the stack and values", bytes_of({0x0E, 0x14, 0x00})},
        {"context of kind 3", bytes_of({0x0E, 0x03, 0x00})},
        {"context flag bit 5", bytes_of({0x0E, 0x22, 0x00})},
        {"context values for names that fall together", bytes_of({0x0E, 0x12, 0x02, 0x00, 0x03, 0x81, 0x82})},
    };
    for (const auto& row : rows)
        EXPECT_EQ(decode_boot(boot_image(row.records)), id(ErrorId::script_kb_invalid_record)) << row.what;
    // The boot image is a compact file.
    EXPECT_EQ(decode_boot(kelbin::encode_standard(make_integer(5))), id(ErrorId::script_kb_invalid_record));
    EXPECT_EQ(decode_boot(bytes_of({'K', 'E', 'L'})), id(ErrorId::script_invalid_data));
}

}  // namespace
}  // namespace kel::test
