// The spec blocks of the natives as help shows them: the doc string first,
// the last argument or refinement word with its doc string kept whole.
#include "runtime/datatypes/runtime-words.h"
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using Specs = NativesTest;

// The spec block of the native the global word holds.
Cell spec_of(const char* name) {
    Cell native = global_value(name);
    EXPECT_EQ(type_of(native), TYPE_NATIVE) << name;
    Cell spec = make_none();
    actions::reflect(&spec, &native, words::symbol(words::Sym::spec));
    return *stack::push(spec);
}

TEST_F(Specs, DocStringsAndLastEntries) {
    struct SpecCase {
        const char* native;
        const char* doc;  // the first value, formed
        const char* last;  // the last value, formed
    };
    const SpecCase cases[] = {
        {"foreach", "Evaluates body for each value in a series", "block!"},
        {"forall", "Evaluates body for all values in a series", "block!"},
        {"remove-each", "Removes values for each block that returns truthy value",
         "Block to evaluate (return truthy value to remove)"},
        {"do", "Evaluates a value, returning the last evaluation result",
         "function! event word! code any-block! none! offset integer! value any-type! ref any-type! frame pair!"},
        {"print", "Outputs a value followed by a newline", "any-type!"},
        {"reduce", "Returns a copy of a block, evaluating all expressions",
         "Target block for results, when /into is used"},
        {"compose", "Returns a copy of a block, evaluating only parens",
         "Target block for results, when /into is used"},
        {"apply", "Apply a function to a reduced block of arguments",
         "Forces single refinement arguments, skip them when inactive instead of evaluating"},
        {"set", "Sets the value(s) one or more words refer to", "any-type!"},
        {"context?", "Returns the context to which a word is bound", "object! function! none!"},
        {"unset", "Unsets the value of a word in its current context", "Word or block of words"},
        {"switch", "Evaluates the first block following the value found in cases", "Default block to evaluate"},
        {"catch", "Catches a throw from a block and returns its value", "One or more names"},
        {"continue", "Throws control back to top of loop", "Throws control back to top of loop"},
    };
    for (const SpecCase& c : cases) {
        Cell spec = spec_of(c.native);
        int32_t n = block::ks_length(spec);
        ASSERT_GT(n, 0) << c.native;
        EXPECT_EQ(formed(*block::ks_abs_at(spec, 0)), c.doc) << c.native;
        EXPECT_EQ(formed(*block::ks_abs_at(spec, n - 1)), c.last) << c.native;
    }
}

}  // namespace
}  // namespace kel::test
