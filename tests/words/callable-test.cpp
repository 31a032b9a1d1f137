// native!, action!, op!, function! and routine!: making, spec rules,
// automatic locals, reflection, texts and comparison.
#include "runtime/datatypes/routine.h"
#include "tests/words/words-fixture.h"

#include "runtime/datatypes/function.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/runtime-words.h"

namespace kel::test {
namespace {

using Callables = Words;

Cell w(const char* name) { return global_word(name); }
Cell ref(const char* name) { return Cell{TYPE_REFINEMENT, 0, uint32_t(sym(name)), context::NO_INDEX}; }
Cell get(const char* name) { return global_word(name, TYPE_GET_WORD); }
Cell setw(const char* name) { return global_word(name, TYPE_SET_WORD); }
Cell text(const char* t) {
    Cell* s = new_buffer();
    string::append_c_string(*s, t);
    return *s;
}
Cell types(std::initializer_list<uint32_t> ts) {
    Cell* b = block_of({});
    for (uint32_t t : ts) block::append_cell(*b, datatype::make(t));
    return *b;
}

Cell make_function(std::initializer_list<Cell> spec, std::initializer_list<Cell> body) {
    Cell* s = block_of(spec);
    Cell* b = block_of(body);
    return made(TYPE_FUNCTION, *block_of({*s, *b}));
}

TEST_F(Callables, FunctionSpecRules) {
    struct Row {
        const char* what;
        std::vector<Cell> spec;
        int error;  // -1: valid
    };
    int bad = id(ErrorId::script_bad_func_def);
    int dup = id(ErrorId::script_dup_vars);
    const Row rows[] = {
        {"[a [type] \"doc\" b]", {w("a"), types({TYPE_LOGIC}), text("doc"), w("b")}, -1},
        {"[a \"doc\" [type]]", {w("a"), text("doc"), types({TYPE_LOGIC})}, bad},
        {"[a return: [type]]", {w("a"), setw("return"), types({TYPE_LOGIC})}, -1},
        {"[return: [type] a]", {setw("return"), types({TYPE_LOGIC}), w("a")}, bad},
        {"[a return: [type] /local b]", {w("a"), setw("return"), types({TYPE_LOGIC}), ref("local"), w("b")}, -1},
        {"[a /local b /c]", {w("a"), ref("local"), w("b"), ref("c")}, bad},
        {"[a /local :b]", {w("a"), ref("local"), get("b")}, bad},
        {"[/r [type]]", {ref("r"), types({TYPE_LOGIC})}, bad},
        {"[/r b]", {ref("r"), w("b")}, -1},
        {"[x: [type]]", {setw("x"), types({TYPE_LOGIC})}, bad},
        {"[a 1]", {w("a"), make_integer(1)}, bad},
        {"[a a]", {w("a"), w("a")}, dup},
        {"[a A]", {w("a"), w("A")}, dup},
        {"[a /a]", {w("a"), ref("a")}, dup},
        {"[[trace] a]", {*block_of({w("trace")}), w("a")}, -1},
        {"[[foo] a]", {*block_of({w("foo")}), w("a")}, -1},
        {"[[1] a]", {*block_of({make_integer(1)}), w("a")}, bad},
        {"[a [1]]", {w("a"), *block_of({make_integer(1)})}, id(ErrorId::script_invalid_type_spec)},
    };
    for (const Row& r : rows) {
        Cell* spec = block_of({});
        for (const Cell& c : r.spec) block::append_cell(*spec, c);
        EXPECT_EQ(raised([&] { function::validate_spec(*spec); }), r.error) << r.what;
    }
    Cell* traced = block_of({*block_of({w("Trace")}), w("a")});
    EXPECT_EQ(function::validate_spec(*traced), function::FLAG_TRACE);
    Cell* quiet = block_of({*block_of({w("no-trace")})});
    EXPECT_EQ(function::validate_spec(*quiet), function::FLAG_NO_TRACE);
    // A type-block word without a value raises no-value.
    Cell* unset_type = block_of({w("a"), *block_of({w("never-set-type-word")})});
    EXPECT_EQ(raised([&] { function::validate_spec(*unset_type); }), id(ErrorId::script_no_value));
}

TEST_F(Callables, MakeFunctionAndItsParts) {
    Cell f = make_function({w("a")}, {w("a"), w("+"), make_integer(1)});
    Rooted keep(f);
    EXPECT_EQ(type_of(f), TYPE_FUNCTION);
    EXPECT_EQ(formed(f), "?function?");
    // The context is a function context on the stack, owned by f.
    const Cell* ctx = context::cell_of(f.data1);
    EXPECT_EQ(context::kind_of(*ctx), context::KIND_FUNCTION);
    EXPECT_TRUE(context::on_stack(*ctx));
    EXPECT_EQ(context::owner_of(f.data1)->data3, f.data3);
    // The body is a copy bound to that context; cells 3 and 5 stay unset.
    Cell* more = memory::buffer_of(f.data3)->cells();
    ASSERT_EQ(type_of(more[0]), TYPE_BLOCK);
    EXPECT_EQ(block::buffer(more[0])->cells()[0].data1, f.data1);
    EXPECT_EQ(type_of(more[2]), TYPE_UNSET);
    EXPECT_EQ(type_of(more[4]), TYPE_UNSET);
    // Reflection: words are a copy bound to the function.
    Cell out;
    actions::reflect(&out, &f, words::symbol(words::Sym::words));
    ASSERT_EQ(block::ks_length(out), 1);
    block::append_cell(out, w("extra"));
    EXPECT_EQ(context::word_count(f.data1), 1u);
    actions::reflect(&out, &f, words::symbol(words::Sym::spec));
    EXPECT_EQ(out.data2, f.data2);
    EXPECT_EQ(raised([&] { actions::reflect(&out, &f, sym("owner")); }), id(ErrorId::internal_not_done));
    // Equal only to itself.
    Cell g = make_function({w("a")}, {w("a"), w("+"), make_integer(1)});
    EXPECT_EQ(actions::compare_values(f, f, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_values(f, f, COMP_SAME), 0);
    EXPECT_NE(actions::compare_values(f, g, COMP_EQUAL), 0);
    // Refused makes.
    EXPECT_EQ(raised([&] { made(TYPE_FUNCTION, *block_of({*block_of({})})); }), id(ErrorId::script_bad_func_def));
    EXPECT_EQ(raised([&] { made(TYPE_FUNCTION, make_integer(1)); }), id(ErrorId::script_bad_func_def));
    EXPECT_EQ(raised([&] {
                  made(TYPE_FUNCTION, *block_of({*block_of({}), make_integer(1)}));
              }),
              id(ErrorId::script_bad_func_def));
}

TEST_F(Callables, FunctionMold) {
    Cell f = make_function({w("a")}, {w("a"), w("+"), make_integer(1)});
    EXPECT_EQ(molded(f), "func [a][a + 1]");
    Cell* spec = block_of({w("a")});
    function::push(*spec, nullptr, 0, 0);
    EXPECT_EQ(molded(*stack::top_value()), "func [a] none");
}

TEST_F(Callables, AutomaticLocals) {
    auto spelled = [](const Cell& blk) {
        std::string out;
        // Molding allocates: each cell is read again through the block.
        for (int32_t i = 0; i < block::ks_length(blk); ++i) {
            Cell c = block::ks_abs_at(blk, int32_t(blk.data1) + i)[0];
            out += (out.empty() ? "" : " ") + molded(c);
        }
        return out;
    };
    // [x: 1 foreach [k v] data [] repeat i 3 []]
    auto body = [&] {
        return block_of({setw("x"), make_integer(1), w("foreach"), *block_of({w("k"), w("v")}), w("data"),
                         *block_of({}), w("repeat"), w("i"), make_integer(3), *block_of({})});
    };
    Cell* spec = block_of({w("a")});
    Cell* added = function::add_auto_locals(*spec, *body());
    EXPECT_EQ(spelled(*added), "x k v i");
    EXPECT_EQ(spelled(*spec), "a /local x k v i");

    Cell* named = block_of({w("x"), ref("local"), w("k")});
    function::add_auto_locals(*named, *body());
    EXPECT_EQ(spelled(*named), "x /local k v i");

    // /extern y keeps y: out of the locals and leaves the spec.
    Cell* ext = block_of({w("a"), ref("extern"), w("y")});
    function::add_auto_locals(*ext, *block_of({setw("y"), make_integer(1), setw("z"), make_integer(2)}));
    EXPECT_EQ(spelled(*ext), "a /local z");

    // Nested blocks and parens are walked; nothing is added twice.
    Cell* nested = block_of({});
    function::add_auto_locals(*nested, *block_of({*block_of({setw("p"), setw("p")}), setw("p")}));
    EXPECT_EQ(spelled(*nested), "/local p");

    // With /extern, a spec value other than words, blocks and strings is refused.
    Cell* odd = block_of({w("a"), make_integer(3), ref("extern"), w("y")});
    EXPECT_EQ(raised([&] { function::add_auto_locals(*odd, *block_of({})); }), id(ErrorId::script_bad_func_extern));
}

TEST_F(Callables, CountAndPushLocals) {
    Cell* spec = block_of({w("a"), ref("local"), w("b"), w("c")});
    EXPECT_EQ(function::count_locals(cell_node(*spec), 0, false), 3);
    Cell* none_local = block_of({w("a")});
    EXPECT_EQ(function::count_locals(cell_node(*none_local), 0, false), 0);
    EXPECT_EQ(function::count_locals(cell_node(*none_local), 0, true), -1);
    Cell* top = stack::state.top;
    function::push_locals(3);
    EXPECT_EQ(stack::state.top - top, 3);
    EXPECT_EQ(type_of(top[0]), TYPE_LOGIC);
    EXPECT_EQ(type_of(top[2]), TYPE_NONE);
}

TEST_F(Callables, MakeNativeAndAction) {
    Cell* spec = block_of({w("condition"), w("body")});
    Cell n = made(TYPE_NATIVE, *block_of({*spec, make_integer(1)}));
    Rooted keep(n);
    EXPECT_EQ(type_of(n), TYPE_NATIVE);
    EXPECT_EQ(n.data1, 1u);
    Cell out;
    actions::reflect(&out, &n, words::symbol(words::Sym::body));
    EXPECT_EQ(cell_integer(out), 1);
    actions::reflect(&out, &n, words::symbol(words::Sym::spec));
    EXPECT_EQ(out.data2, spec->data2);
    EXPECT_EQ(raised([&] { actions::reflect(&out, &n, words::symbol(words::Sym::words)); }),
              id(ErrorId::internal_not_done));
    EXPECT_EQ(formed(n), "?native?");
    // The spec context is a function context of the spec's words.
    Cell ctx_cell = memory::buffer_of(n.data3)->cells()[0];
    EXPECT_EQ(type_of(ctx_cell), TYPE_CONTEXT);

    int bad = id(ErrorId::script_bad_make_arg);
    EXPECT_EQ(raised([&] { made(TYPE_NATIVE, *block_of({make_integer(1), make_integer(2)})); }), bad);
    EXPECT_EQ(raised([&] { made(TYPE_NATIVE, *block_of({*spec, make_integer(0)})); }), bad);
    EXPECT_EQ(raised([&] { made(TYPE_NATIVE, *block_of({*spec, make_integer(108)})); }), bad);
    EXPECT_EQ(raised([&] { made(TYPE_NATIVE, *block_of({*spec})); }), bad);
    EXPECT_EQ(raised([&] { made(TYPE_ACTION, *block_of({*spec, make_integer(63)})); }), bad);

    Cell a = made(TYPE_ACTION, *block_of({*spec, make_integer(62)}));
    EXPECT_EQ(type_of(a), TYPE_ACTION);
    actions::reflect(&out, &a, words::symbol(words::Sym::body));
    EXPECT_EQ(cell_integer(out), 62);
    EXPECT_EQ(formed(a), "?action?");
    // Ordered and equal by index, only within one type.
    Cell n2 = made(TYPE_NATIVE, *block_of({*spec, make_integer(2)}));
    EXPECT_EQ(actions::compare_values(n, n2, COMP_SORT), -1);
    EXPECT_EQ(actions::compare_values(n, a, COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(actions::compare_values(n, n2, COMP_LESSER), -1);  // three-way by index for every op
}

TEST_F(Callables, OpSpecsAndOps) {
    struct Row {
        const char* what;
        std::vector<Cell> spec;
        bool valid;
    };
    const Row rows[] = {
        {"[a b /local c]", {w("a"), w("b"), ref("local"), w("c")}, true},
        {"[a :b]", {w("a"), get("b")}, true},
        {"[\"doc\" a [type] b]", {text("doc"), w("a"), types({TYPE_LOGIC}), w("b")}, true},
        {"[a b return: [type]]", {w("a"), w("b"), setw("return"), types({TYPE_LOGIC})}, true},
        {"[a b c]", {w("a"), w("b"), w("c")}, false},
        {"[:a b]", {get("a"), w("b")}, false},
        {"[a b /only]", {w("a"), w("b"), ref("only")}, false},
        {"[a]", {w("a")}, false},
    };
    for (const Row& r : rows) {
        Cell* spec = block_of({});
        for (const Cell& c : r.spec) block::append_cell(*spec, c);
        EXPECT_EQ(native::op_valid_spec(cell_node(*spec)), r.valid) << r.what;
    }
    Cell* two = block_of({w("value1"), w("value2")});
    Cell add = made(TYPE_ACTION, *block_of({*two, make_integer(11)}));
    Rooted keep(add);
    Cell op1 = made(TYPE_OP, add);
    Cell op2 = made(TYPE_OP, add);
    EXPECT_EQ(type_of(op1), TYPE_OP);
    EXPECT_EQ(native::wrapped_type(op1), TYPE_ACTION);
    EXPECT_EQ(actions::compare_values(op1, op2, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_values(op1, add, COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(formed(op1), "?op?");
    Cell out;
    actions::reflect(&out, &op1, words::symbol(words::Sym::body));
    EXPECT_EQ(cell_integer(out), 11);
    EXPECT_EQ(raised([&] { made(TYPE_OP, make_integer(1)); }), id(ErrorId::script_invalid_type));
    Cell* three = block_of({w("a"), w("b"), w("c")});
    Cell wide = made(TYPE_NATIVE, *block_of({*three, make_integer(5)}));
    EXPECT_EQ(raised([&] { made(TYPE_OP, wide); }), id(ErrorId::script_bad_op_spec));

    // An op of a function leads back to it through cell 4 of its more block.
    Cell f = make_function({w("a"), w("b")}, {w("a"), w("+"), w("b")});
    Rooted keep_f(f);
    Cell fop = made(TYPE_OP, f);
    EXPECT_EQ(native::wrapped_type(fop), TYPE_FUNCTION);
    EXPECT_EQ(memory::buffer_of(f.data3)->cells()[3].data3, f.data3);
    actions::reflect(&out, &fop, words::symbol(words::Sym::body));
    EXPECT_EQ(type_of(out), TYPE_BLOCK);
    EXPECT_EQ(molded(fop), "make op! func [a b][a + b]");
    EXPECT_EQ(molded(op1), "make op! [[value1 value2]]");
    EXPECT_EQ(molded(add), "make action! [[value1 value2]]");
}

TEST_F(Callables, Routines) {
    Cell* spec = block_of(
        {text("doc"), w("a"), types({TYPE_LOGIC}), w("b"), types({TYPE_LOGIC}), setw("return"), types({TYPE_LOGIC})});
    Cell r = *routine::push(*spec, nullptr, 7, TYPE_LOGIC, false);
    Rooted keep(r);
    EXPECT_EQ(routine::arity(r), 2u);
    EXPECT_EQ(type_of(r), TYPE_ROUTINE);
    Cell* more = memory::buffer_of(r.data3)->cells();
    EXPECT_EQ(type_of(more[0]), TYPE_NONE);
    EXPECT_EQ(cell_integer(more[2]), 7);
    EXPECT_EQ(cell_integer(more[4]), int32_t(TYPE_LOGIC));
    EXPECT_EQ(formed(r), "?routine?");
    EXPECT_EQ(datatype::slot(TYPE_ROUTINE, ACTION_MAKE), nullptr);
    Cell out;
    actions::reflect(&out, &r, words::symbol(words::Sym::spec));
    EXPECT_EQ(out.data2, spec->data2);
    Cell other = *routine::push(*spec, nullptr, 8, -1, false);
    EXPECT_EQ(actions::compare_values(r, r, COMP_EQUAL), 0);
    EXPECT_NE(actions::compare_values(r, other, COMP_EQUAL), 0);
    EXPECT_EQ(molded(r), "routine [\"doc\" a [logic!] b [logic!] return: [logic!]] none");
}

}  // namespace
}  // namespace kel::test
