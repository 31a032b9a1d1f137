// Shared by the file layer tests: a started runtime, a fresh temporary
// directory per test (removed afterwards), values held on the argument stack
// for the length of a test, and their contents read back as bytes.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/os-path.h"
#include "runtime/io/simple-io.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel::test {

namespace fs = std::filesystem;

struct WriteFlags {
    bool binary = false, append = false, lines = false;
};

struct Files : ::testing::Test {
    std::string dir;  // ends with "/"
    std::optional<Frame> frame;  // values pushed by a test live until it ends

    void SetUp() override {
        boot();
        frame.emplace(std::initializer_list<Cell>{});
        std::string pattern = (fs::temp_directory_path() / "kel-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern + "/";
    }
    void TearDown() override {
        std::error_code ignored;
        // Give back any permission a test took away, then remove everything.
        for (auto it = fs::recursive_directory_iterator(dir, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored))
            if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }

    // A path inside the temporary directory.
    std::string at(const std::string& name) const { return dir + name; }

    // Writes bytes to a file of the temporary directory; answers its path.
    std::string put(const std::string& name, const std::string& bytes) const {
        std::ofstream(at(name), std::ios::binary) << bytes;
        return at(name);
    }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // A cell on the argument stack: reachable, and it never moves.
    static Cell& slot() { return *stack::push(make_unset()); }
    // A file! value on the stack holding the name's bytes decoded as the
    // system's names are.
    static Cell& file(const std::string& bytes) {
        Cell& c = slot();
        os_path::make_name(c, bytes, TYPE_FILE, false);
        return c;
    }
    // A string! on the stack holding the code points.
    static Cell& text_of(const std::vector<uint32_t>& cps) {
        Cell& c = slot();
        string::make_at(c, int32_t(cps.size()), 4);
        SeriesBuffer* b = memory::buffer_of(cell_node(c));
        for (uint32_t cp : cps) b = string::append_char(b, cp);
        return c;
    }
    static Cell& text(const std::string& utf8) {
        Cell& c = slot();
        string::import_at(reinterpret_cast<const uint8_t*>(utf8.data()), int32_t(utf8.size()), &c,
                          string::ENCODING_UTF8);
        return c;
    }
    static Cell& binary(const std::string& bytes) {
        Cell& c = slot();
        NodeId node = memory::alloc_bytes(bytes.size());
        SeriesBuffer* b = memory::buffer_of(node);
        std::memcpy(b->data(), bytes.data(), bytes.size());
        b->tail = bytes.size();
        c = Cell{TYPE_BINARY, 0, node, 0};
        return c;
    }

    // The code points of a string-family value from its head, as UTF-8 (the
    // escape code points written as the UTF-8 of their value).
    static std::string utf8(const Cell& s) {
        SeriesBuffer* b = memory::buffer_of(cell_node(s));
        uint32_t unit = b->unit();
        std::string out;
        for (uint64_t i = cell_head(s); i < b->used() / unit; ++i) {
            uint32_t cp = unicode::get_unit(b->head_ptr(), unit, i);
            uint8_t bytes[4];
            if (cp >= 0xD800 && cp <= 0xDFFF) {  // written as the three bytes of the code point
                bytes[0] = uint8_t(0xE0 | (cp >> 12));
                bytes[1] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
                bytes[2] = uint8_t(0x80 | (cp & 0x3F));
                out.append(reinterpret_cast<char*>(bytes), 3);
                continue;
            }
            out.append(reinterpret_cast<char*>(bytes), size_t(unicode::encode_utf8_char(cp, bytes)));
        }
        return out;
    }
    static std::string bytes(const Cell& bin) {
        EXPECT_EQ(type_of(bin), TYPE_BINARY);
        SeriesBuffer* b = memory::buffer_of(cell_node(bin));
        return std::string(reinterpret_cast<const char*>(b->head_ptr()), b->used());
    }
    // The texts of a block's string-family values.
    static std::vector<std::string> texts(const Cell& blk) {
        EXPECT_EQ(type_of(blk), TYPE_BLOCK);
        std::vector<std::string> out;
        for (int32_t i = 0; i < block::ks_length(blk); ++i) out.push_back(utf8(*block::ks_abs_at(blk, i)));
        return out;
    }

    // read through the value wrapper; the id of the error it raised or -1.
    static int read(Cell& out, const Cell& f, const Cell* part = nullptr, const Cell* seek = nullptr,
                    bool binary = false, bool lines = false, Cell* arg = nullptr) {
        return error_of([&] { simple_io::read(&out, f, part, seek, binary, lines); }, arg);
    }
    static int write(const Cell* f, const Cell& value, const Cell* part = nullptr, const Cell* seek = nullptr,
                     WriteFlags flags = {}, int64_t* written = nullptr) {
        return error_of([&] {
            int64_t n = simple_io::write(f, value, part, seek, flags.binary, flags.append, flags.lines);
            if (written) *written = n;
        });
    }
};

inline Cell integer(int32_t v) { return make_integer(v); }

}  // namespace kel::test
