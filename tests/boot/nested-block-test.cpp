// Every callable of the environment that takes a block, called with a block
// that contains itself (directly and one level down), and with a block
// nested a million levels deep, in each place a block is accepted: the walks
// over nested values refuse the cycle or stop at it and bound their depth,
// so each call ends normally or with a language error, never with a stack
// overflow, a hang or a fault. The callables are those of the eval fuzz
// target (every global native, action, op, function and routine but the ones
// that reach the outside world, end the process or wait), with its budgets
// on loops and parse; each program runs once (the plain and traced runs of
// the fuzz target's oracle are the eval corpus test's).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/eval-drive.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/roots.h"
#include "tests/boot/silenced.h"
#include "tests/support.h"

namespace kel::test {
namespace {

// Makes `c`: [1 [2 "a" c] x: 3 c].
constexpr const char* CYCLE = "c: copy [1 [2 \"a\"] x: 3] append/only c/2 c append/only c c\n";

bool takes_block(const Cell& types) { return typeset::has(types, TYPE_BLOCK); }

// The first pool value of an accepted type (none when no value fits).
std::string pool_value_for(const Cell& types) {
    const std::vector<uint32_t>& pool_types = fuzz::eval_drive().pool_types;
    for (size_t i = 0; i < fuzz::POOL_SIZE; ++i)
        if (typeset::has(types, pool_types[i])) return fuzz::POOL[i];
    return "none";
}

// Every datatype in the pool, for the arguments that name a type (make,
// to ...): the conversions walk their spec by the target type.
std::vector<std::string> datatype_values() {
    std::vector<std::string> all;
    const std::vector<uint32_t>& pool_types = fuzz::eval_drive().pool_types;
    for (size_t i = 0; i < fuzz::POOL_SIZE; ++i)
        if (pool_types[i] == TYPE_DATATYPE) all.push_back(fuzz::POOL[i]);
    return all;
}

// The argument lists of one call shape: the cyclic block in every place that
// accepts a block, a pool value elsewhere; and for each argument that accepts
// a datatype, while another one holds the block, one list per datatype there.
std::vector<std::vector<std::string>> argument_lists(const std::vector<Cell>& args) {
    std::vector<std::string> base;
    bool uses_block = false;
    for (const Cell& types : args) {
        uses_block |= takes_block(types);
        base.push_back(takes_block(types) ? "c" : pool_value_for(types));
    }
    if (!uses_block) return {};
    std::vector<std::vector<std::string>> lists{base};
    for (size_t i = 0; i < args.size(); ++i) {
        if (!typeset::has(args[i], TYPE_DATATYPE)) continue;
        bool block_elsewhere = false;
        for (size_t j = 0; j < args.size(); ++j) block_elsewhere |= j != i && takes_block(args[j]);
        if (!block_elsewhere) continue;
        for (const std::string& type : datatype_values()) {
            std::vector<std::string> list = base;
            list[i] = type;
            lists.push_back(list);
        }
    }
    return lists;
}

// The calls of one callable: without refinements, then with each refinement
// alone; only those where a block argument is given.
std::vector<std::string> calls_of(const fuzz::Callable& c) {
    std::vector<std::string> calls;
    if (c.infix) {
        for (const auto& list : argument_lists(c.args)) calls.push_back(list[0] + ' ' + c.name + ' ' + list[1]);
        return calls;
    }
    auto add = [&](const std::string& head, std::vector<Cell> args) {
        for (const auto& list : argument_lists(args)) {
            std::string call = head;
            for (const std::string& a : list) call += ' ' + a;
            calls.push_back(call);
        }
    };
    add(c.name, c.args);
    for (const auto& [refinement, types] : c.refinements) {
        std::vector<Cell> args = c.args;
        args.insert(args.end(), types.begin(), types.end());
        add(c.name + '/' + refinement, args);
    }
    return calls;
}

// Runs every block-taking callable with the block that `setup` makes as `c`,
// made afresh before each call (a call may change it): one program per
// callable, each through `run` (false when something other than a language
// error reached the top). `before` runs before each program. When every
// allocation collects, each collection marks the whole environment: then
// every tenth callable runs. Answers how many callables took part.
template <class Run, class Before>
size_t run_all(const std::string& setup, Run run, Before before) {
    size_t made = 0;
    size_t seen = 0;
    const size_t stride = scaled(1, 10);
    for (const fuzz::Callable& c : fuzz::eval_drive().callables) {
        if (seen++ % stride) continue;
        std::string program;
        for (const std::string& call : calls_of(c)) program += setup + "try [" + call + "]\n";
        if (program.empty()) continue;
        before();
        bool clean;
        {
            Silenced quiet;
            clean = run(program);
        }
        EXPECT_TRUE(clean) << program;
        ++made;
    }
    return made;
}

TEST(CyclicBlock, EveryCallableTakingABlockSurvivesIt) {
    boot();
    fuzz::start_eval_drive();
    auto run = [](const std::string& program) {
        return fuzz::drive_eval_text(program, platform::KEL_STACK_SIZE, false);
    };
    // The listing found the block-taking callables (append, parse, foreach ...).
    EXPECT_GT(run_all(CYCLE, run, [] {}), scaled(100, 10));
}

// A block nested `depth` levels deep: [[[... [1] ...]]].
Cell nested_block(size_t depth) {
    Cell inner = make_none();
    Rooted keep(inner);
    block::make_at(inner, 1);
    inner.header = TYPE_BLOCK;
    block::append_cell(inner, make_integer(1));
    for (size_t i = 0; i < depth; ++i) {
        Cell outer = make_none();
        Rooted keep_outer(outer);
        block::make_at(outer, 1);
        outer.header = TYPE_BLOCK;
        block::append_cell(outer, inner);
        inner = outer;
    }
    return inner;
}

// Deep nesting without a cycle: a walk that recursed once per level on the
// machine stack would need far more than the stack these programs get, while
// the bounded walks (the cycle guard's 1,000 levels, deep copy's 12,000)
// fit in it many times over.
TEST(DeepBlock, EveryCallableTakingABlockSurvivesIt) {
    boot();
    fuzz::start_eval_drive();
    constexpr size_t STACK = size_t(64) << 20;
    Cell deep = nested_block(scaled(1000000, 3000));
    Rooted keep(deep);
    // The word is set again before each program: a program's end unsets the
    // words made after start-up.
    Cell word = word::make_global("deep-block*");
    auto run = [](const std::string& program) { return fuzz::drive_eval_text(program, STACK, false); };
    EXPECT_GT(run_all("c: copy deep-block*\n", run, [&] { context::set(word, deep); }), scaled(100, 10));
}

// Nesting read from text: the lexer takes any depth, and a bitset spec (its
// walker once recursed per level) refuses it with internal/too-deep.
TEST(DeepBlock, BitsetOfNestingFromTextIsTooDeep) {
    boot();
    fuzz::start_eval_drive();
    size_t depth = scaled(1000000, 1100);
    std::string nested = std::string(depth, '[') + "1" + std::string(depth, ']');
    std::string program =
        "e: try [make bitset! " + nested + "]\nunless all [error? e  e/id = 'too-deep] [throw 'no-depth-error]\n";
    EXPECT_TRUE(fuzz::drive_eval_text(program, size_t(64) << 20, false));
}

}  // namespace
}  // namespace kel::test
