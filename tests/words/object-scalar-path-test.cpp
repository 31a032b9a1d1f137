// A set-path into a scalar held by an object's field (obj/size/y: 5) calls
// the object's on-change* with the field's word, the old and the new scalar,
// when the path asks for change events.
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/time.h"
#include "runtime/evaluator/actions.h"
#include "tests/words/object-fixture.h"

namespace kel {
namespace {

using namespace test;

struct ObjectScalarPaths : Objects {
    // An object with the field `size` and an on-change* handler.
    Cell object_with_handler(const Cell& size) {
        Cell* spec = block_of({global_word("w"), global_word("o"), global_word("n")});
        Cell* body = block_of({});
        function::push(*spec, body, 0, 0);
        Cell handler = stack::top()[-1];
        return make_object({sw("size"), size, sw("on-change*"), quoted(handler)});
    }
};

TEST_F(ObjectScalarPaths, OnChangeHearsTheFieldTheOldAndTheNewScalar) {
    Cell obj = object_with_handler(pair::make_cell(1, 2));
    Cell field = global_word("size");
    PathStep step;
    step.grand_parent = &obj;
    step.previous = &field;
    step.event = true;
    Cell* frame = stack::push(object::field_value(obj, sym("size")));
    stack::push(global_word("y"));
    stack::push(make_integer(5));
    Cell answer;
    actions::eval_path(&answer, &frame[0], &frame[1], &frame[2], step);
    EXPECT_EQ(cell_integer(answer), 5);
    EXPECT_EQ(molded(frame[0]), "1x5");
    ASSERT_EQ(handler_calls().size(), 1u);
    const std::vector<Cell>& args = handler_calls()[0].args;
    EXPECT_EQ(word::symbol_of(args[0]), word::symbol_of(field));
    EXPECT_EQ(molded(args[1]), "1x2");
    EXPECT_EQ(molded(args[2]), "1x5");

    // Without change events the object is not told.
    step.event = false;
    frame[0] = time_::make_cell(90);
    frame[1] = global_word("second");
    actions::eval_path(&answer, &frame[0], &frame[1], &frame[2], step);
    EXPECT_EQ(molded(frame[0]), "0:01:05");
    EXPECT_EQ(handler_calls().size(), 1u);
}

}  // namespace
}  // namespace kel
