// Prints facts of a freshly started runtime that no test process can show
// after its other tests ran: the class id of the first object made at run
// time (the error catalog, the first library object start-up makes) and of
// the next object made after start-up.
#include <cstdio>

#include "environment/start.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/object.h"
#include "runtime/evaluator/stack.h"

using namespace kel;

int main() {
    start_runtime();
    Cell* spec = stack::push(make_none());
    block::make_at(*spec, 1);
    spec->header = TYPE_BLOCK;
    Cell proto = datatype::make(TYPE_OBJECT);
    Cell out = make_none();
    object::make(&out, &proto, spec, TYPE_OBJECT);
    std::printf("first class id %u\nnext class id %u\n", error::catalog().data2, out.data2);
    return 0;
}
