// object!: class ids, construction from prototypes, copies, construct, path
// access, select, put, reflect, text, comparison and change handlers.
#include "tests/words/object-fixture.h"

#include <functional>

#include "runtime/datatypes/function.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/memory/cycle-guard.h"

namespace kel::test {
namespace {

Cell field(const Cell& obj, const char* name) { return object::field_value(obj, sym(name)); }

TEST_F(Objects, ClassIds) {
    Cell a = make_object({sw("a"), yes()});
    Cell b = make_object({sw("a"), yes()});
    EXPECT_NE(a.data2, b.data2);
    EXPECT_GE(int32_t(a.data2), object::FIRST_CLASS_ID);
    Cell same = make_object({}, &a);
    EXPECT_EQ(same.data2, a.data2);
    Cell redefined = make_object({sw("a"), no()}, &a);
    EXPECT_EQ(redefined.data2, a.data2);
    EXPECT_EQ(field(redefined, "a").data1, 0u);
    Cell grown = make_object({sw("z"), no()}, &a);
    EXPECT_NE(grown.data2, a.data2);
    Cell empty;
    object::make_at(empty, 0);
    EXPECT_EQ(empty.data2, 0u);
    EXPECT_EQ(context::owner_of(a.data1)->data2, a.data2);  // the owner cell follows the object
}

TEST_F(Objects, TheFirstRunTimeClassIdIs1000001) {
    ProcessResult r = run_words_probe("classes");
    EXPECT_EQ(r.status, 0) << r.end();
    // Start-up makes the error catalog first: 1 + 10 categories + the error
    // prototype; a script's first object comes next.
    EXPECT_EQ(r.out, "first class id 1000001\nnext class id 1000013\n");
}

TEST_F(Objects, APrototypesBlockFieldIsCopiedAndBoundToTheNewObject) {
    Cell proto = make_object({sw("a"), *block_of({global_word("a")})});
    Cell made = make_object({}, &proto);
    Cell pa = field(proto, "a");
    Cell na = field(made, "a");
    EXPECT_NE(cell_node(pa), cell_node(na));
    EXPECT_EQ(block::buffer(na)->cells()[0].data1, made.data1);
    EXPECT_EQ(block::buffer(pa)->cells()[0].data1, proto.data1);
    block::append_cell(na, yes());
    EXPECT_EQ(block::ks_length(field(proto, "a")), 1);
}

TEST_F(Objects, CopySharesSeriesCopyDeepCopiesBlocksNotBinaries) {
    NodeId bytes = memory::alloc_bytes(4);
    Cell* bin = stack::push(Cell{TYPE_BINARY, 0, bytes, 0});
    Cell obj = make_object({sw("b"), *block_of({yes()}), sw("x"), *bin});
    Cell* shallow = stack::push(make_none());
    object::copy(shallow, obj, nullptr, false);
    Cell* deep = stack::push(make_none());
    object::copy(deep, obj, nullptr, true);
    EXPECT_EQ(cell_node(field(*shallow, "b")), cell_node(field(obj, "b")));
    EXPECT_NE(cell_node(field(*deep, "b")), cell_node(field(obj, "b")));
    EXPECT_EQ(cell_node(field(*deep, "x")), bytes);
    EXPECT_EQ(deep->data2, obj.data2);  // a copy keeps the class
    Cell part = make_integer(1);
    EXPECT_EQ(raised([&] { object::copy(shallow, obj, &part, false); }), id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(error_in_flight().args[0].data2, uint32_t(sym("part")));
}

TEST_F(Objects, ConstructTable) {
    // construct [a: b: yes c: 'x d: on e: none f:]
    Cell* spec = block_of({sw("a"), sw("b"), global_word("yes"), sw("c"), lw("x"), sw("d"), global_word("on"), sw("e"),
                           global_word("none"), sw("g"), global_word("off"), sw("f")});
    Cell* obj = stack::push(make_none());
    object::construct(obj, *spec, nullptr, false);
    EXPECT_EQ(field(*obj, "a").header, TYPE_LOGIC);
    EXPECT_EQ(field(*obj, "a").data1, 1u);
    EXPECT_EQ(field(*obj, "b").data1, 1u);
    EXPECT_EQ(type_of(field(*obj, "c")), TYPE_LIT_WORD);
    EXPECT_EQ(field(*obj, "d").data1, 1u);
    EXPECT_EQ(type_of(field(*obj, "e")), TYPE_NONE);
    EXPECT_EQ(field(*obj, "g").header, TYPE_LOGIC);
    EXPECT_EQ(field(*obj, "g").data1, 0u);
    EXPECT_EQ(type_of(field(*obj, "f")), TYPE_NONE);
    Cell* only = stack::push(make_none());
    object::construct(only, *spec, nullptr, true);
    EXPECT_EQ(type_of(field(*only, "a")), TYPE_WORD);
    // /with keeps the prototype's class id even when fields are added.
    Cell proto = make_object({sw("p"), yes()});
    Cell* with = stack::push(make_none());
    object::construct(with, *block_of({sw("c"), no()}), &proto, false);
    EXPECT_EQ(with->data2, proto.data2);
    EXPECT_EQ(object::field_count(*with), 2u);
}

TEST_F(Objects, PathAccess) {
    Cell obj = make_object({sw("a"), yes(), sw("u"), yes()});
    Cell path = make_none();
    Cell out;
    Cell missing = global_word("missing");
    EXPECT_EQ(raised([&] { object::eval_path(&out, obj, missing, nullptr, path, false, true); }),
              id(ErrorId::script_invalid_path));
    EXPECT_EQ(raised([&] { object::eval_path(&out, obj, missing, nullptr, path, false, false); }),
              id(ErrorId::script_unset_path));
    object::eval_path(&out, obj, missing, nullptr, path, true, true);
    EXPECT_EQ(type_of(out), TYPE_UNSET);
    // The element is bound in place on first use.
    Cell a = global_word("A");
    object::eval_path(&out, obj, a, nullptr, path, false, true);
    EXPECT_EQ(out.data1, 1u);
    EXPECT_EQ(a.data1, obj.data1);
    Cell v = no();
    object::eval_path(&out, obj, a, &v, path, false, true);
    EXPECT_EQ(field(obj, "a").data1, 0u);
    Cell bad = make_integer(1);
    EXPECT_EQ(raised([&] { object::eval_path(&out, obj, bad, nullptr, path, false, true); }),
              id(ErrorId::script_invalid_path));
}

TEST_F(Objects, SelectPutReflect) {
    Cell obj = make_object({sw("name"), yes(), sw("p"), *block_of({global_word("a"), global_word("b")})});
    Cell out;
    Cell upper = global_word("Name");
    actions::select(&out, &obj, &upper, {});
    EXPECT_EQ(out.data1, 1u);
    Cell other = global_word("nothing");
    actions::select(&out, &obj, &other, {});
    EXPECT_EQ(type_of(out), TYPE_NONE);
    Cell* text = new_buffer();
    EXPECT_EQ(raised([&] { actions::select(&out, &obj, text, {}); }), id(ErrorId::script_invalid_type));
    Cell fresh = global_word("new-field");
    EXPECT_EQ(raised([&] { object::put(&out, obj, fresh, yes()); }), id(ErrorId::script_invalid_path));
    Cell key = global_word("name");
    object::put(&out, obj, key, no());
    EXPECT_EQ(field(obj, "name").data1, 0u);

    // reflect body of [a: 'x p: 'a/b] gives [a: 'x p: 'a/b] (the path is
    // molded back as a lit-path), each set-word on a new line.
    Cell* path = block_of({global_word("a"), global_word("b")});
    path->header = TYPE_LIT_PATH;
    Cell body_obj = make_object({sw("a"), lw("x"), sw("p"), *path});
    Cell* body = stack::push(make_none());
    actions::reflect(body, &body_obj, words::symbol(words::Sym::body));
    ASSERT_EQ(block::ks_length(*body), 4);
    Cell* c = block::buffer(*body)->cells();
    EXPECT_EQ(c[0].header, TYPE_SET_WORD | CELL_NEW_LINE);
    EXPECT_EQ(type_of(c[1]), TYPE_LIT_WORD);
    EXPECT_EQ(type_of(c[3]), TYPE_LIT_PATH);
    actions::reflect(&out, &body_obj, words::symbol(words::Sym::class_));
    EXPECT_EQ(cell_integer(out), int32_t(body_obj.data2));
    EXPECT_EQ(raised([&] { actions::reflect(&out, &body_obj, sym("spec")); }), id(ErrorId::internal_not_done));
}

TEST_F(Objects, MoldAndForm) {
    Cell obj = make_object({sw("a"), yes(), sw("b"), lw("x")});
    EXPECT_EQ(molded(obj), "make object! [\n    a: true\n    b: 'x\n]");
    MoldOptions flat;
    flat.flat = true;
    EXPECT_EQ(molded(obj, flat), "make object! [a: true b: 'x]");
    EXPECT_EQ(formed(obj), "a: true\nb: 'x");
    MoldOptions nested;
    nested.indent = 1;
    EXPECT_EQ(molded(obj, nested), "make object! [\n        a: true\n        b: 'x\n    ]");
    Cell empty = make_object({});
    EXPECT_EQ(molded(empty), "make object! []");
    EXPECT_EQ(molded(empty, nested), "make object! [    ]");
    EXPECT_EQ(formed(empty), "");
}

TEST_F(Objects, HandlerFieldsAreHiddenUnlessAll) {
    Cell* spec = block_of({global_word("w"), global_word("o"), global_word("n")});
    Cell* body = block_of({});
    function::push(*spec, body, 0, 0);
    Cell handler = stack::top()[-1];
    Cell obj = make_object({sw("a"), yes(), sw("on-change*"), quoted(handler)});
    EXPECT_NE(obj.data3, 0u);
    MoldOptions flat;
    flat.flat = true;
    EXPECT_EQ(molded(obj, flat), "make object! [a: true ]");
    flat.all = true;  // /all reaches the field values: logic! molds in its construction form
    EXPECT_EQ(molded(obj, flat), "make object! [a: #(true) on-change*: func [w o n][]]");
}

TEST_F(Objects, AnErrorWhileWritingLeavesNoObjectMarkedAsBeingWritten) {
    // A value whose type has no mold (a spare type id no type registers):
    // molding the object raises midway.
    Cell obj = make_object({sw("a"), yes(), sw("h"), Cell{TYPE_TOTAL - 2, 0, 0, 0}});
    int depth = cycle_guard::depth();
    EXPECT_EQ(raised([&] { molded(obj); }), id(ErrorId::script_expect_arg));
    EXPECT_EQ(cycle_guard::depth(), depth);
    context::values_of(*context::cell_of(obj.data1))[1] = no();
    EXPECT_EQ(molded(obj,
                     [] {
                         MoldOptions o;
                         o.flat = true;
                         return o;
                     }()),
              "make object! [a: true h: false]");
}

TEST_F(Objects, Compare) {
    Cell a = make_object({sw("a"), yes()});
    Cell b = make_object({sw("a"), yes()});
    Cell more = make_object({sw("a"), yes(), sw("b"), yes()});
    EXPECT_EQ(actions::compare_values(a, b, COMP_EQUAL), 0);
    EXPECT_NE(actions::compare_values(a, b, COMP_SAME), 0);
    EXPECT_EQ(actions::compare_values(a, a, COMP_SAME), 0);
    EXPECT_GT(actions::compare_values(more, a, COMP_SORT), 0);
    EXPECT_LT(actions::compare_values(a, more, COMP_SORT), 0);
    Cell c = make_object({sw("a"), no()});
    EXPECT_NE(actions::compare_values(a, c, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_values(a, make_none(), COMP_EQUAL), COMP_NOT_COMPARABLE);
}

TEST_F(Objects, ChangeHandlersGetTheWordAndTheOldAndNewValues) {
    Cell* spec = block_of({global_word("w"), global_word("o"), global_word("n"), words::refinement(words::Ref::local),
                           global_word("tmp")});
    function::push(*spec, block_of({}), 0, 0);
    Cell handler = stack::top()[-1];
    Cell obj = make_object({sw("a"), yes(), sw("on-change*"), quoted(handler)});
    handler_calls().clear();
    Cell w = global_word("a");
    context::bind_word(obj.data1, w);
    context::set(w, no());
    ASSERT_EQ(handler_calls().size(), 1u);
    const HandlerCall& call = handler_calls()[0];
    EXPECT_EQ(call.args[0].data2, uint32_t(sym("a")));
    EXPECT_EQ(call.args[0].data1, obj.data1);
    EXPECT_EQ(call.args[1].data1, 1u);  // old
    EXPECT_EQ(call.args[2].data1, 0u);  // new
    EXPECT_EQ(call.locals, 2);
    EXPECT_EQ(call.tracing, 8u);
    // Assigned without firing: the changed flag is still set.
    context::set_in(w, yes(), obj.data1, false);
    EXPECT_EQ(handler_calls().size(), 1u);
    Cell out;
    actions::reflect(&out, &obj, words::changed_symbol());
    EXPECT_EQ(block::ks_length(out), 1);
    // An integer handler fails at make.
    EXPECT_EQ(raised([&] { make_object({sw("on-change*"), make_integer(1)}); }), id(ErrorId::script_bad_field_set));
}

Cell handler_function(std::initializer_list<Cell> spec) {
    function::push(*block_of(spec), block_of({}), 0, 0);
    return stack::top()[-1];
}

TEST_F(Objects, SetManyAssignsFieldByFieldAndKeepsTheHandlers) {
    Cell handler = handler_function({global_word("w"), global_word("o"), global_word("n")});
    Cell obj = make_object({sw("a"), no(), sw("b"), no(), sw("on-change*"), quoted(handler)});
    handler_calls().clear();
    object::set_many(obj, *block_of({make_integer(1), make_integer(2)}), false, false, false);
    EXPECT_EQ(cell_integer(field(obj, "a")), 1);
    EXPECT_EQ(cell_integer(field(obj, "b")), 2);
    EXPECT_EQ(type_of(field(obj, "on-change*")), TYPE_FUNCTION);
    EXPECT_EQ(handler_calls().size(), 2u);

    Cell plain = make_object({sw("a"), no(), sw("b"), no()});
    object::set_many(plain, *block_of({make_none(), make_integer(5)}), false, false, true);
    EXPECT_EQ(field(plain, "a").header, TYPE_LOGIC);
    EXPECT_EQ(cell_integer(field(plain, "b")), 5);
    // With /some a value that is not a block or object still goes everywhere.
    object::set_many(plain, make_none(), false, false, true);
    EXPECT_EQ(type_of(field(plain, "a")), TYPE_NONE);

    Cell* with_unset = block_of({make_unset(), make_integer(3)});
    EXPECT_EQ(raised([&] { object::set_many(plain, *with_unset, false, false, false); }),
              id(ErrorId::script_need_value));
    EXPECT_EQ(error_in_flight().args[0].data2, uint32_t(sym("a")));
    EXPECT_EQ(type_of(field(plain, "b")), TYPE_NONE);  // nothing assigned before the check
    object::set_many(plain, *with_unset, true, false, false);
    EXPECT_EQ(type_of(field(plain, "a")), TYPE_UNSET);
    EXPECT_EQ(cell_integer(field(plain, "b")), 3);

    // An object source assigns by name; fields it lacks keep their value.
    Cell source = make_object({sw("B"), yes()});
    object::set_many(plain, source, false, false, false);
    EXPECT_EQ(field(plain, "b").header, TYPE_LOGIC);
    EXPECT_EQ(type_of(field(plain, "a")), TYPE_UNSET);
}

TEST_F(Objects, DeepChangesOfOwnedSeriesReachTheHandler) {
    Cell handler =
        handler_function({global_word("owner"), global_word("word"), global_word("target"), global_word("action"),
                          global_word("new"), global_word("index"), global_word("part")});
    Cell obj = make_object(
        {sw("items"), *block_of({make_integer(1), make_integer(2)}), sw("on-deep-change*"), quoted(handler)});
    Cell items = field(obj, "items");
    handler_calls().clear();
    Cell out;
    Cell nine = make_integer(9);
    actions::poke(&out, &items, 2, &nine, nullptr);
    ASSERT_EQ(handler_calls().size(), 2u);  // before (poke) and after (poked)
    const HandlerCall& before = handler_calls()[0];
    EXPECT_EQ(before.tracing, 16u);
    EXPECT_EQ(before.args[0].data1, obj.data1);
    EXPECT_EQ(before.args[1].data2, uint32_t(sym("items")));
    EXPECT_EQ(before.args[3].data2, uint32_t(sym("poke")));
    EXPECT_EQ(handler_calls()[1].args[3].data2, uint32_t(sym("poked")));
    EXPECT_EQ(cell_integer(handler_calls()[1].args[4]), 9);
    Cell r;
    actions::reflect(&r, &obj, words::symbol(words::Sym::events_q));
    EXPECT_EQ(r.data1, 1u);
}

// Every change kind reaches the handler as its own word, not as another one.
TEST_F(Objects, EachChangeReachesTheHandlerAsItsOwnWord) {
    Cell handler =
        handler_function({global_word("owner"), global_word("word"), global_word("target"), global_word("action"),
                          global_word("new"), global_word("index"), global_word("part")});
    Cell obj = make_object(
        {sw("items"), *block_of({make_integer(1), make_integer(2)}), sw("on-deep-change*"), quoted(handler)});
    Rooted keep(obj);
    Cell items = field(obj, "items");
    Cell out;
    Cell five = make_integer(5);
    struct Case {
        std::function<void()> act;
        const char *before, *after;
    } cases[] = {
        {[&] { actions::append(&out, &items, &five, AppendOptions{}); }, "append", "appended"},
        {[&] { actions::insert(&out, &items, &five, AppendOptions{}); }, "insert", "inserted"},
        {[&] { actions::remove(&out, &items, nullptr, nullptr); }, "remove", "removed"},
        {[&] { actions::reverse(&out, &items, nullptr, nullptr); }, "reverse", "reversed"},
        {[&] { actions::clear(&out, &items); }, "clear", "cleared"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        handler_calls().clear();
        c.act();
        ASSERT_EQ(handler_calls().size(), 2u);
        EXPECT_EQ(handler_calls()[0].args[3].data2, uint32_t(sym(c.before)));
        EXPECT_EQ(handler_calls()[1].args[3].data2, uint32_t(sym(c.after)));
    }
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

TEST_F(Objects, ActionsThroughTheSlots) {
    Cell obj = make_object({sw("a"), yes()});
    Cell out;
    Cell a = global_word("a");
    PathStep step;
    actions::eval_path(&out, &obj, &a, nullptr, step);
    EXPECT_EQ(out.data1, 1u);
    Cell v = no();
    actions::eval_path(&out, &obj, &a, &v, step);
    EXPECT_EQ(object::field_value(obj, sym("a")).data1, 0u);
    Cell fresh = global_word("fresh");
    EXPECT_EQ(raised([&] { actions::put(&out, &obj, &fresh, &v, false); }), id(ErrorId::script_invalid_path));
    Cell part = make_integer(2);
    CopyOptions with_part;
    with_part.part = &part;
    EXPECT_EQ(raised([&] { actions::copy(&out, &obj, with_part); }), id(ErrorId::script_invalid_refine_arg));
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

TEST_F(Objects, APrototypesFunctionIsReboundToEachNewObject) {
    // proto: make object! [a: true f: func [x] [a x]]
    Cell* spec = block_of({global_word("x")});
    Cell* body = block_of({global_word("a"), global_word("x")});
    function::push(*spec, body, 0, 0);
    Cell f = stack::top()[-1];
    Cell proto = make_object({sw("a"), yes(), sw("f"), quoted(f)});
    Cell made = make_object({sw("a"), no()}, &proto);
    Cell pf = field(proto, "f");
    Cell nf = field(made, "f");
    ASSERT_EQ(type_of(nf), TYPE_FUNCTION);
    EXPECT_NE(nf.data1, pf.data1);  // a context of its own
    Cell nbody = memory::buffer_of(nf.data3)->cells()[0];
    Cell* words = block::buffer(nbody)->cells();
    EXPECT_EQ(words[0].data1, made.data1);  // a: the new object's field
    EXPECT_EQ(words[1].data1, nf.data1);  // x: the function's own argument
    Cell pbody = memory::buffer_of(pf.data3)->cells()[0];
    EXPECT_NE(block::buffer(pbody)->cells()[0].data1, made.data1);  // the prototype's stays as it was
    // Every function runs interpreted: the machine-code cell stays unset.
    EXPECT_EQ(type_of(memory::buffer_of(nf.data3)->cells()[2]), TYPE_UNSET);
    // A function without a body cannot be rebound.
    function::push(*spec, nullptr, 0, 0);
    Cell bodiless = stack::top()[-1];
    Cell holder = make_object({sw("g"), quoted(bodiless)});
    EXPECT_EQ(raised([&] { make_object({}, &holder); }), id(ErrorId::script_bad_func_def));
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

TEST_F(Objects, CopyByType) {
    Cell ts{TYPE_TYPESET, 0, 0, 0};
    typeset::set_bit(ts, TYPE_BLOCK);
    Cell* text = new_buffer();
    string::append_c_string(*text, "shared");
    Cell obj = make_object({sw("b"), *block_of({yes()}), sw("s"), *text});
    Cell* copy = stack::push(make_none());
    object::copy(copy, obj, nullptr, false, &ts);
    EXPECT_NE(cell_node(field(*copy, "b")), cell_node(field(obj, "b")));
    EXPECT_EQ(cell_node(field(*copy, "s")), cell_node(field(obj, "s")));

    // An object that holds itself cannot be copied deep by type.
    Cell self_holder = make_object({sw("me"), make_none()});
    context::values_of(*context::cell_of(self_holder.data1))[0] = self_holder;
    Cell objects = datatype::make(TYPE_OBJECT);
    EXPECT_EQ(raised([&] { object::copy(copy, self_holder, nullptr, true, &objects); }),
              id(ErrorId::internal_no_cycle));
    EXPECT_EQ(cycle_guard::depth(), 0);
}

}  // namespace
}  // namespace kel::test
