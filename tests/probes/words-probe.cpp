// Drives what the word, object and error tests can only see from a fresh
// process:
//
//   words-probe classes       the class id of the first object made at run
//                             time (the error catalog, the first library
//                             object start-up makes) and of the next object
//   words-probe uncaught      raises script/invalid-arg with one argument
//                             that no frame catches
//   words-probe print-error   prints an error's report without raising it
#include <cstdio>
#include <cstring>

#include "environment/boot/start.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"

using namespace kel;

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    start_runtime();
    Cell quoted = word::make(symbol::make("abc"));
    quoted.header = TYPE_LIT_WORD;
    if (!std::strcmp(argv[1], "classes")) {
        Cell* spec = stack::push(make_none());
        block::make_at(*spec, 1);
        spec->header = TYPE_BLOCK;
        Cell proto = datatype::make(TYPE_OBJECT);
        Cell out = make_none();
        actions::make(&out, &proto, spec);
        std::printf("first class id %u\nnext class id %u\n", error::catalog().data2, out.data2);
        return 0;
    }
    if (!std::strcmp(argv[1], "uncaught")) with_root_catch([&] { fire(ErrorId::script_invalid_arg, {quoted}); });
    if (!std::strcmp(argv[1], "print-error")) {
        error::print(ErrorId::script_invalid_arg, &quoted, 1);
        std::printf("after\n");
    }
    system_quit(0, 0);
}
