// try/keep: the caught error keeps the words of the calls it was raised in.
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using TryKeep = NativesTest;

TEST_F(TryKeep, KeepsTheCallWords) {
    expect_cases({
        {"g: func [] [never-set-keep] f: func [] [g] e: try/keep [f] get in e 'stack", "[f g]"},
        {"f: func [] [loop 1 [never-set-keep]] e: try/keep [f] get in e 'stack", "[f]"},
        {"try/keep [1]", "1"},
        {"e: try/keep [never-set-keep] e/id", "no-value"},
    });
}

TEST_F(TryKeep, ValuesHeldOnlyByTheStack) {
    // Series that nothing but the argument stack holds while the natives run
    // Kel code that allocates (each allocation collects under
    // KEL_GC_STRESS=1).
    expect_cases({
        {"r: copy [] foreach x reduce [copy [1] copy \"a\"] [append r copy x append r reduce [x]] r",
         "[1 [1] \"a\" \"a\"]"},
        {"compose [(copy \"a\") (reduce [1 + 1 copy [3]]) ([4])]", "[\"a\" 2 [3] 4]"},
        {"compose/deep [[(copy \"a\") [(copy [b])]]]", "[[\"a\" [b]]]"},
        {"remove-each x reduce [copy [1] copy [2] copy [3]] [x/1 = 2]", "[[1] [3]]"},
        {"b: reduce [copy \"x\" copy \"y\"] forall b [append b/1 \"!\"] b", "[\"x!\" \"y!\"]"},
        {"do reduce ['reduce [copy [1] copy \"z\"]]", "[[1] \"z\"]"},
    });
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// The text of the error the code raises, formed ("" when none).
std::string error_text(const char* code) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    uint32_t thrown = protect(catch_level::ERRORS, [&] { (void)interpreter::eval(*load(code), false); });
    if (!thrown) return "";
    handled();
    return thrown == thrown::ERROR ? formed(error_in_flight().value) : "throw";
}

using Messages = NativesTest;

TEST_F(Messages, NativesErrorsSayWhatTheCatalogSays) {
    const Case cases[] = {
        {"catch/name [throw 1] 'a", "no catch for throw: 1"},
        {"while [break] [1]", "BREAK/CONTINUE cannot be used in WHILE condition block"},
        {"b: [1 2] forall b [b: 5]", "Loop series changed to invalid value: 5"},
        {"foreach [] [1] []", "invalid argument: []"},
        {"set 'x ()", "x needs a value"},
        {"get 'never-set-message", "never-set-message has no value"},
        {"v: 5 apply 'v []", "invalid argument: v"},
        {"x: 5 forall x []", "forall does not allow integer! for its word argument"},
        {"extend make object! [] []", "reserved for future use (or not yet implemented)"},
    };
    for (const Case& c : cases) {
        std::string text = error_text(c.code);
        EXPECT_NE(text.find(c.expected), std::string::npos) << c.code << ": " << text;
    }
}

}  // namespace
}  // namespace kel::test
