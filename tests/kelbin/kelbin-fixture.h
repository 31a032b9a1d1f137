// Shared by the KELBIN tests: the booted library, values made by Kel code,
// encoded and decoded through the C++ entry points, and the decoded values
// handed back to Kel code under global words.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "environment/boot/boot.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/platform/process.h"
#include "tests/kel-eval.h"
#include "tests/support.h"

namespace kel::test {

using Bytes = std::vector<uint8_t>;

struct Kelbin : ::testing::Test {
    static void SetUpTestSuite() {
        boot();
        boot::build();
    }

    // The value of the Kel code (kept in the global word kb-in).
    static Cell value_of(const std::string& code) {
        Evaluated e = evaluate("set/any 'kb-in (" + code + "\n) 0");
        EXPECT_EQ(e.error, -1) << code;
        return *context::get(word::make_global("kb-in"));
    }

    // The compact file of the code's value; `error` receives the id of a
    // language error the writer raised (-1 for none).
    static Bytes encode(const std::string& code, int* error = nullptr) {
        Cell v = value_of(code);
        Bytes out;
        int e = error_of([&] { out = kelbin::encode_compact(v); });
        if (error)
            *error = e;
        else
            EXPECT_EQ(e, -1) << code;
        return out;
    }

    // Decodes the bytes into a new block, kept in the global word kb-out;
    // answers the error id (-1 for none) and its first argument.
    static int decode(const Bytes& bytes, Cell* arg = nullptr) {
        Cell* top = stack::state.top;
        Cell* blk = block::push_only(1);
        int e = error_of([&] { kelbin::decode(bytes.data(), bytes.size(), *blk); }, arg);
        Cell w = word::make_global("kb-out");
        context::set(w, *blk);
        stack::state.top = top;
        return e;
    }

    // The first decoded value, molded flat.
    static std::string decoded_mold() { return evaluate("first kb-out").text; }
};

// Runs fn on a stack as large as the one kel runs Kel code on: the deep
// nesting cases recurse to the depth limit, whose frames the sanitizers
// make larger than the test thread's stack.
template <class Fn>
void on_kel_stack(Fn&& fn) {
    platform::run_on_large_stack([](void* p) { (*static_cast<Fn*>(p))(); }, &fn);
}

inline Bytes bytes_of(std::initializer_list<int> list) {
    Bytes b;
    for (int x : list) b.push_back(uint8_t(x));
    return b;
}

inline Bytes cat_bytes(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// A compact file around a payload of records (no symbol table).
inline Bytes compact_file(const Bytes& records) {
    Bytes f = {'K', 'E', 'L', 'B', 'I', 'N', 2, 1, 1};
    uint32_t n = uint32_t(records.size());
    while (n >= 0x80) {
        f.push_back(uint8_t(n | 0x80));
        n >>= 7;
    }
    f.push_back(uint8_t(n));
    f.insert(f.end(), records.begin(), records.end());
    return f;
}

inline Bytes u32le(uint32_t v) {
    return bytes_of({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)});
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A compact file with a symbol table of the given offsets and strings area
// around the records.
inline Bytes with_symbols(std::initializer_list<uint32_t> offsets, const Bytes& strings, const Bytes& records) {
    Bytes f = {'K',
               'E',
               'L',
               'B',
               'I',
               'N',
               2,
               5,
               1,
               uint8_t(records.size()),
               uint8_t(offsets.size()),
               uint8_t(strings.size())};
    for (uint32_t o : offsets) f = cat({f, u32le(o)});
    return cat({f, strings, records});
}

}  // namespace kel::test
