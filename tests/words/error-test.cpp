// error!: making errors from codes, blocks and strings, the catalog object,
// the report's exact text, mold and comparison.
#include "tests/words/object-fixture.h"

#include "runtime/datatypes/error.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/memory/collector.h"

#include <sys/wait.h>

namespace kel::test {
namespace {

using Errors = Objects;

Cell make_error(const Cell& spec) { return made(TYPE_ERROR, spec); }

std::string spelling(const Cell& w) {
    uint32_t n = 0;
    const uint8_t* p = symbol::spelling(int32_t(w.data2), &n);
    return std::string(reinterpret_cast<const char*>(p), n);
}

std::string identity(const Cell& err) {
    return spelling(error::field(err, error::TYPE)) + "/" + spelling(error::field(err, error::ID)) + " " +
        std::to_string(cell_integer(error::field(err, error::CODE)));
}

std::string report_of(const Cell& err) { return text_of(*error::report(err)); }

TEST_F(Errors, MakeFromCodes) {
    struct Row {
        int32_t code;
        const char* identity;
    };
    const Row rows[] = {
        {300, "script/no-value 300"},  {302, "script/not-defined 302"}, {909, "internal/not-done 909"},
        {0, "throw/break 0"},          {100, "note/no-load 100"},       {393, "script/kb-invalid-record 393"},
        {400, "math/zero-divide 400"}, {500, "access/cannot-open 500"}, {912, "internal/kel-system 912"}};
    for (const Row& r : rows) {
        Cell err = make_error(make_integer(r.code));
        EXPECT_EQ(type_of(err), TYPE_ERROR);
        EXPECT_EQ(err.data2, 1u);
        EXPECT_EQ(identity(err), r.identity);
        EXPECT_EQ(error::field(err, error::TYPE).data1, error::catalog().data1);  // bound to the catalog
    }
    int range = id(ErrorId::script_out_of_range);
    for (int32_t bad : {1000, -1, 600, 700, 394, 105})
        EXPECT_EQ(raised([&] { make_error(make_integer(bad)); }), range) << bad;
    EXPECT_EQ(raised([&] { make_error(flt(3.5)); }), id(ErrorId::script_bad_make_arg));
}

TEST_F(Errors, MakeFromBlocksAndStrings) {
    Cell err = make_error(*block_of({global_word("script"), global_word("bad-make-arg")}));
    EXPECT_EQ(identity(err), "script/bad-make-arg 353");
    for (auto f : {error::ARG1, error::ARG2, error::ARG3}) EXPECT_EQ(type_of(error::field(err, f)), TYPE_NONE);
    Cell upper = make_error(*block_of({global_word("Script"), global_word("Bad-Make-Arg")}));
    EXPECT_EQ(identity(upper), "Script/Bad-Make-Arg 353");  // found ignoring case, kept as written
    int invalid = id(ErrorId::internal_invalid_error);
    EXPECT_EQ(raised([&] { make_error(*block_of({})); }), invalid);
    EXPECT_EQ(raised([&] { make_error(*block_of({make_integer(1), make_integer(2)})); }), invalid);
    EXPECT_EQ(raised([&] {
                  make_error(*block_of({global_word("scripts"), global_word("x")}));
              }),
              id(ErrorId::script_invalid_spec_field));
    EXPECT_EQ(raised([&] { make_error(*block_of({global_word("script")})); }), id(ErrorId::script_invalid_spec_field));
    EXPECT_EQ(raised([&] {
                  make_error(*block_of({global_word("script"), make_integer(1)}));
              }),
              id(ErrorId::script_invalid_arg));

    Cell* text = new_buffer();
    string::append_c_string(*text, "it broke");
    Cell user = make_error(*text);
    EXPECT_EQ(identity(user), "user/message 800");
    EXPECT_EQ(text_of(error::field(user, error::ARG1)), "it broke");
    EXPECT_EQ(report_of(user).substr(0, 25), "*** User Error: it broke\n");

    // A set-word block is evaluated in the error's context; code is computed.
    Cell math = make_error(*block_of({sw("type"), lw("math"), sw("id"), lw("zero-divide"), sw("arg1"), make_integer(5),
                                      sw("code"), make_integer(7)}));
    EXPECT_EQ(identity(math), "math/zero-divide 400");
    EXPECT_EQ(cell_integer(error::field(math, error::ARG1)), 5);
    EXPECT_EQ(raised([&] {
                  make_error(*block_of({sw("type"), lw("nothing"), sw("id"), lw("zero-divide")}));
              }),
              id(ErrorId::script_invalid_spec_field));
}

TEST_F(Errors, TheCatalogObject) {
    const Cell& cat = error::catalog();
    EXPECT_EQ(object::field_count(cat), 10u);
    Cell note = object::field_value(cat, sym("note"));
    EXPECT_EQ(text_of(object::field_value(note, sym("type"))), "note");
    EXPECT_EQ(cell_integer(object::field_value(note, sym("code"))), 100);
    Cell no_load = object::field_value(note, sym("no-load"));
    ASSERT_EQ(type_of(no_load), TYPE_BLOCK);
    EXPECT_EQ(text_of(block::buffer(no_load)->cells()[0]), "cannot load: ");
    EXPECT_EQ(type_of(block::buffer(no_load)->cells()[1]), TYPE_GET_WORD);
    Cell user = object::field_value(cat, sym("user"));
    Cell message = object::field_value(user, sym("message"));
    EXPECT_EQ(type_of(message), TYPE_WORD);
    EXPECT_EQ(spelling(message), "arg1");
    Cell reserved = object::field_value(cat, sym("reserved1"));
    EXPECT_EQ(object::field_count(reserved), 2u);
    EXPECT_EQ(object::field_count(error::prototype()), 10u);
}

TEST_F(Errors, ReportTexts) {
    // Made and never raised: three lines, where still none.
    Cell err = make_error(*block_of({sw("type"), lw("script"), sw("id"), lw("bad-make-arg"), sw("arg1"),
                                     datatype::make(TYPE_ERROR), sw("arg2"), flt(3.5)}));
    EXPECT_EQ(report_of(err), "*** Script Error: cannot MAKE error! from: 3.5\n*** Where: ???\n*** Near : none");

    // A syntax error's arguments are formed, others molded.
    Cell lit = lw("abc");
    Cell syntax = *error::create(ErrorId::syntax_bad_header, &lit, 1);
    EXPECT_EQ(report_of(syntax).substr(0, 51), "*** Syntax Error: script header is not valid: abc\n*");
    Cell script = *error::create(ErrorId::script_invalid_arg, &lit, 1);
    EXPECT_EQ(report_of(script).substr(0, 40), "*** Script Error: invalid argument: 'abc");

    // A template argument that is none.
    Cell here = *error::create(ErrorId::internal_not_here, nullptr, 0);
    EXPECT_EQ(report_of(here).substr(0, 55), "*** Internal Error: none not supported on your system\n*");

    // A user error whose arg1 is none becomes internal/invalid-error.
    Cell* spec = block_of({global_word("user"), global_word("message")});
    Cell user = make_error(*spec);
    EXPECT_EQ(report_of(user), "*** User Error: \n*** Where: ???\n*** Near : none");
    EXPECT_EQ(identity(user).substr(0, 22), "internal/invalid-error");
    EXPECT_EQ(spelling(error::field(user, error::ARG1)), "user");

    // An unknown type word.
    Cell odd = make_error(make_integer(300));
    error::set_field(odd, error::TYPE, global_word("foo"));
    EXPECT_EQ(report_of(odd).substr(0, 58), "*** Internal Error: invalid error object field value: foo\n");

    // A where word is formed.
    Cell placed = make_error(make_integer(300));
    error::set_where(placed, global_word("somewhere"));
    error::set_where(placed, global_word("elsewhere"));  // only when none
    EXPECT_NE(report_of(placed).find("\n*** Where: somewhere\n"), std::string::npos);
}

TEST_F(Errors, TheStackAndNearLines) {
    Cell err = make_error(make_integer(300));
    error::set_field(err, error::STACK, *block_of({global_word("f"), global_word("g")}));
    EXPECT_NE(report_of(err).find("\n*** Stack: f g"), std::string::npos);
    // system/state/stack-trace 0 leaves the line out.
    Cell hidden = make_object({sw("stack-trace"), make_integer(0)});
    Cell previous = error::install_state(hidden);
    EXPECT_EQ(report_of(err).find("Stack"), std::string::npos);
    error::install_state(previous);
    Cell* near = block_of({});
    for (int i = 0; i < 30; ++i) block::append_cell(*near, global_word("abcdefgh"));
    error::set_field(err, error::NEAR, *near);
    std::string r = report_of(err);
    size_t at = r.find("*** Near : ");
    std::string line = r.substr(at + 11, r.find('\n', at) - at - 11);
    EXPECT_GE(line.size(), 40u);
    EXPECT_LT(line.size(), 50u);
    EXPECT_EQ(line.substr(0, 9), "abcdefgh ");
}

TEST_F(Errors, MoldStopsAtAnErrorThatHoldsItself) {
    Cell err = make_error(make_integer(300));
    error::set_field(err, error::CODE, make_none());  // molds without integer! text
    error::set_field(err, error::ARG1, err);
    MoldOptions flat;
    flat.flat = true;
    EXPECT_EQ(molded(err, flat),
              "make error! [code: none type: 'script id: 'no-value arg1: ... arg2: none arg3: none near: none "
              "where: none stack: none files: none]");
}

TEST_F(Errors, CompareLeavesBothValuesErrors) {
    Cell a = make_error(make_integer(300));
    Cell b = make_error(make_integer(300));
    Cell c = make_error(make_integer(301));
    // The codes compare as integers, which this program does not register:
    // the ids tell the errors apart as well.
    for (const Cell& e : {a, b, c}) error::set_field(e, error::CODE, make_none());
    EXPECT_EQ(actions::compare_values(a, b, COMP_EQUAL), 0);
    EXPECT_NE(actions::compare_values(a, c, COMP_EQUAL), 0);
    EXPECT_EQ(type_of(b), TYPE_ERROR);
    EXPECT_EQ(type_of(*context::owner_of(b.data1)), TYPE_ERROR);
    Cell obj = make_object({});
    EXPECT_EQ(actions::compare_values(a, obj, COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(actions::compare_values(obj, a, COMP_EQUAL), COMP_NOT_COMPARABLE);
    // The stack field cannot be set through a path.
    Cell out;
    Cell stack_word = global_word("stack");
    Cell v = yes();
    EXPECT_EQ(raised([&] { actions::eval_path(&out, &a, &stack_word, &v, PathStep{}); }),
              id(ErrorId::script_invalid_path_set));
}

TEST_F(Errors, FireRaisesAnErrorValue) {
    Cell lit = lw("abc");
    EXPECT_EQ(raised([&] { fire(ErrorId::script_invalid_arg, {lit}); }), id(ErrorId::script_invalid_arg));
    const ErrorInFlight& e = error_in_flight();
    ASSERT_EQ(type_of(e.value), TYPE_ERROR);
    EXPECT_EQ(identity(e.value), "script/invalid-arg 309");
    EXPECT_EQ(error::field(e.value, error::ARG1).data2, lit.data2);
    EXPECT_EQ(type_of(error::field(e.value, error::ARG2)), TYPE_NONE);
    EXPECT_EQ(type_of(error::field(e.value, error::ARG3)), TYPE_NONE);
    // The value survives collections while it is in flight.
    Cell* junk = new_buffer();
    string::append_c_string(*junk, "more garbage");
    stack::pop(1);
    collector::do_cycle();
    EXPECT_EQ(report_of(e.value).substr(0, 40), "*** Script Error: invalid argument: 'abc");
}

TEST_F(Errors, AnUncaughtErrorPrintsItsFullReportAndEndsWith254) {
    ProcessResult r = run_words_probe("uncaught");
    EXPECT_EQ(r.status, 254) << r.end();
    EXPECT_EQ(r.out, "*** Script Error: invalid argument: 'abc\n*** Where: ???\n*** Near : none\n");
}

TEST_F(Errors, PrintErrorPrintsTheReportWithoutRaising) {
    ProcessResult r = run_words_probe("print-error");
    EXPECT_EQ(r.status, 0) << r.end();
    EXPECT_EQ(r.out, "*** Script Error: invalid argument: 'abc\n*** Where: ???\n*** Near : none\nafter\n");
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

TEST_F(Errors, ActionsThroughTheSlots) {
    Cell err = made(TYPE_ERROR, make_integer(300));
    Cell out;
    CopyOptions plain;
    actions::copy(&out, &err, plain);
    EXPECT_EQ(type_of(out), TYPE_ERROR);  // copy is object!'s, the type kept
    EXPECT_EQ(out.data2, 1u);
    EXPECT_NE(out.data1, err.data1);
    Cell stack_word = global_word("stack");
    Cell v = yes();
    PathStep step;
    EXPECT_EQ(raised([&] { actions::eval_path(&out, &err, &stack_word, &v, step); }),
              id(ErrorId::script_invalid_path_set));
    Cell code = global_word("code");
    actions::eval_path(&out, &err, &code, nullptr, step);
    EXPECT_EQ(cell_integer(out), 300);
}

}  // namespace
}  // namespace kel::test
