// Kel text for the file! family tests: values loaded through the lexer, code
// run by the interpreter on the boot library (tests/boot-library.h), and the
// mold of a value as UTF-8.
#pragma once
#include <cstring>
#include <string>

#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/io/lexer.h"
#include "tests/boot-library.h"
#include "tests/files/files-fixture.h"

namespace kel::test {

// Makes the directory current for the scope and gives the old one back.
struct InDirectory {
    std::string old = fs::current_path().string();
    explicit InDirectory(const std::string& dir) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old); }
};

struct KelFiles : Files {
    uint32_t saved_frames = 0;
    Cell* saved_arguments = nullptr;
    void SetUp() override {
        Files::SetUp();
        boot_library();
        saved_frames = stack::calls.top;
        saved_arguments = stack::state.arguments;
    }
    void TearDown() override {
        stack::calls.top = saved_frames;
        stack::state.arguments = saved_arguments;
        Files::TearDown();
    }

    // The values of the text, as a block on the argument stack.
    static Cell& lex(const std::string& text) {
        Cell& b = slot();
        lexer::scan(&b, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), lexer::Options{});
        return b;
    }
    // The first value of the text.
    static Cell& value(const std::string& text) {
        Cell& b = lex(text);
        Cell& v = slot();
        v = block::ks_length(b) > 0 ? *block::ks_abs_at(b, 0) : make_none();
        return v;
    }
    // Runs the text; its value on the stack, or the id of the error it raised
    // in *error (-1 when none).
    static Cell& run(const std::string& text, int* error = nullptr, Cell* arg = nullptr) {
        Cell& code = lex(text);
        Cell& result = slot();
        Restore<uint32_t> frames(stack::calls.top);
        Restore<Cell*> arguments(stack::state.arguments);
        int e = error_of(
            [&] {
                Cell* top = stack::state.top;
                if (!interpreter::eval(code, false)) result = *(stack::state.top - 1);
                stack::state.top = top;
            },
            arg);
        if (error)
            *error = e;
        else
            EXPECT_EQ(e, -1) << text;
        return result;
    }
    static int fails(const std::string& text, Cell* arg = nullptr) {
        int e = -1;
        run(text, &e, arg);
        return e;
    }
    // The mold (or form) of a value as UTF-8.
    static std::string molded(const Cell& v, MoldOptions o = {}) {
        Cell& text = slot();
        string::ks_make_at(text, 16);
        actions::mold(v, text, o);
        return utf8(text);
    }
    static std::string formed(const Cell& v) {
        Cell& text = slot();
        string::ks_make_at(text, 16);
        actions::form(v, text, false, INT32_MAX);
        return utf8(text);
    }
    // A value of a string type holding the code points.
    static Cell& typed(uint32_t type, const std::vector<uint32_t>& cps) {
        Cell& c = text_of(cps);
        set_type(c, type);
        return c;
    }
    static Cell& typed(uint32_t type, const std::string& utf8_text) {
        Cell& c = text(utf8_text);
        set_type(c, type);
        return c;
    }
};

}  // namespace kel::test
