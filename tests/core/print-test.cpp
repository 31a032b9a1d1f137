// Typed print: item formats, separators, line ends, the GUI output hooks and
// the flush of C stdio.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/core/print.h"
#include "runtime/platform/gui-hooks.h"
#include "tests/platform/capture.h"

namespace kel {
namespace {

using test::ChunkCapture;

template <class F>
std::string output_of(F&& f) {
    ChunkCapture capture;
    f();
    return ChunkCapture::text();
}

TEST(TypedPrint, ItemFormats) {
    struct Case {
        PrintItem item;
        const char* text;
    } cases[] = {
        {PrintItem::logic(2), "true"},
        {PrintItem::logic(1), "true"},
        {PrintItem::logic(0), "false"},
        {PrintItem::integer(5), "5"},
        {PrintItem::integer(INT32_MIN), "-2147483648"},
        {PrintItem::byte('Z'), "Z"},
        {PrintItem::float64(0.1), "0.1"},
        {PrintItem::float64(2.5), "2.5"},
        {PrintItem::float64(1.0 / 3.0), "0.3333333333333333"},
        {PrintItem::float64(1e300), "1e+300"},
        {PrintItem::float64(-0.0), "-0"},
        {PrintItem::float32(0.1f), "0.1"},
        {PrintItem::float32(1.0f / 3.0f), "0.3333333"},
        {PrintItem::float32(16777216.0f), "1.677722e+07"},
        {PrintItem::text("caf\xC3\xA9"), "caf\xC3\xA9"},
        {PrintItem::text(""), ""},
        {PrintItem::hex(255), "000000FF"},
        {PrintItem::hex(0xDEADBEEF), "DEADBEEF"},
        {PrintItem{9, 255}, "000000FF"},
        {PrintItem{0, 0x1234}, "00001234"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(output_of([&] { system_print({c.item}); }), c.text) << c.text;
    }
}

TEST(TypedPrint, NumberPrintersReturnTheirArgument) {
    std::string out = output_of([] {
        EXPECT_EQ(print_integer(-7), -7);
        EXPECT_EQ(print_hex_byte(10), 10);
        EXPECT_EQ(print_hex(0xAB), 0xABu);
        EXPECT_EQ(print_float64(0.5), 0.5);
        EXPECT_EQ(print_float32(0.25f), 0.25f);
        EXPECT_EQ(print_byte('!'), '!');
    });
    EXPECT_EQ(out, "-70A000000AB0.50.25!");
}

TEST(TypedPrint, LinesAndSeparators) {
    EXPECT_EQ(output_of([] {
                  print_line({PrintItem::text("a"), PrintItem::integer(5), PrintItem::float64(2.5)});
              }),
              "a52.5\n");
    EXPECT_EQ(output_of([] { print_line({}); }), "\n");
    struct Case {
        std::vector<PrintItem> items;
        const char* text;
    } spaced[] = {
        {{PrintItem::text("a"), PrintItem::integer(5)}, "a 5"},
        {{PrintItem::integer(5), PrintItem::integer(6), PrintItem::hex(1)}, "5 6 00000001"},
        {{PrintItem::text("a\n"), PrintItem::integer(5)}, "a\n5"},
        {{PrintItem::text("a\r"), PrintItem::integer(5)}, "a\r5"},
        {{PrintItem::text("a\t"), PrintItem::integer(5)}, "a\t5"},
        {{PrintItem::text("a "), PrintItem::integer(5)}, "a 5"},
        {{PrintItem::text(""), PrintItem::integer(5)}, " 5"},
        {{PrintItem::byte(' '), PrintItem::byte('x')}, " x"},
        {{PrintItem::byte('y'), PrintItem::byte('x')}, "y x"},
        {{PrintItem::logic(1), PrintItem::float32(0.5f)}, "true 0.5"},
        {{PrintItem::text("last")}, "last"},
    };
    for (const Case& c : spaced) {
        std::string out = output_of([&] {
            switch (c.items.size()) {
            case 1:
                system_print_spaced({c.items[0]}, true);
                break;
            case 2:
                system_print_spaced({c.items[0], c.items[1]}, true);
                break;
            default:
                system_print_spaced({c.items[0], c.items[1], c.items[2]}, true);
            }
        });
        EXPECT_EQ(out, c.text);
    }
    EXPECT_EQ(output_of([] { system_print_spaced({PrintItem::text("a"), PrintItem::integer(5)}, false); }), "a5");
}

std::vector<std::string> events;
ssize_t log_chunk(int, const void* data, size_t size) {
    events.emplace_back(static_cast<const char*>(data), size);
    return ssize_t(size);
}

TEST(TypedPrint, GuiIsSuspendedAroundThePrint) {
    static const gui::Backend backend{[] { events.push_back("<before>"); }, [] { events.push_back("<after>"); },
                                      nullptr};
    events.clear();
    gui::install_backend(&backend);
    console::set_writer(&log_chunk);
    print_line({PrintItem::text("x"), PrintItem::integer(1)});
    console::set_writer(nullptr);
    gui::install_backend(nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"<before>", "x", "1", "\n", "<after>"}));
}

// Output a C stdio stream still holds is flushed by every typed print.
TEST(TypedPrint, FlushesCStdio) {
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs("buffered", f);
    std::string before = test::file_text(fileno(f));
    output_of([] { system_print({PrintItem::text("typed")}); });
    std::string after = test::file_text(fileno(f));
    std::fclose(f);
    EXPECT_EQ(before, "");
    EXPECT_EQ(after, "buffered");
}

}  // namespace
}  // namespace kel
