// The file actions of file!: each hands the value to the file layer.
#include "runtime/core/fire.h"
#include "runtime/datatypes/file-internal.h"
#include "runtime/datatypes/file.h"
#include "runtime/datatypes/logic.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"

namespace kel::file {

void read(Cell* out, Cell* source, const ReadArgs& args) {
    if (args.as) fire(ErrorId::internal_not_done);
    Cell f = *source;
    Rooted keep(f);
    simple_io::read(out, f, args.part, args.seek, args.binary, args.lines);
}

void write(Cell* out, Cell* destination, Cell* data, const WriteArgs& args) {
    if (args.allow || args.as) fire(ErrorId::internal_not_done);
    Cell f = *destination;
    Rooted keep(f);
    Cell value = *data;
    Rooted keep_value(value);
    simple_io::write(&f, value, args.part, args.seek, args.binary, args.append, args.lines);
    *out = make_unset();
}

void delete_(Cell* out, Cell* target) { *out = logic::make_cell(simple_io::remove(*target)); }

void query(Cell* out, Cell* target) {
    Cell f = *target;
    Rooted keep(f);
    simple_io::query(out, f);
}

void rename(Cell* out, Cell* from, Cell* to) { *out = logic::make_cell(simple_io::rename(*from, *to)); }

}  // namespace kel::file
