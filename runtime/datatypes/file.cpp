// file! registration and its conversion to a local path (its mold is in
// file-text.cpp).
#include "runtime/datatypes/file.h"

#include "runtime/datatypes/file-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"

namespace kel::file {

void to_local_path(const Cell& file, const Cell& target, bool full) {
    Cell f = file;
    Rooted keep(f);
    string::Span s = string::span_from_head(f);
    if (full && (s.count == 0 || s.at(0) != '/')) {
        Cell dir = make_none();
        Rooted keep_dir(dir);
        get_current_dir(&dir, TYPE_STRING);
        string::copy_into(target, dir, -1, true);
    }
    string::copy_into(target, f, -1, true);
}

void to_local_file(Cell* out, const Cell& path, bool full) {
    Cell made{};
    string::ks_make_at(made, int32_t(string::span_from_head(path).count));
    Rooted keep(made);
    to_local_path(path, made, full);
    *out = made;
}

void get_current_dir(Cell* out, uint32_t type) { simple_io::get_current_dir(out, type); }

void init() {
    datatype::Record r(TYPE_FILE, TYPE_URL, "file!");
    r.own<ACTION_MOLD>(mold)
        .own<ACTION_READ>(read)
        .own<ACTION_WRITE>(write)
        .own<ACTION_DELETE>(delete_)
        .own<ACTION_QUERY>(query)
        .own<ACTION_RENAME>(rename)
        .inherit_all<ACTION_MAKE, ACTION_TO, ACTION_FORM, ACTION_EVAL_PATH, ACTION_COMPARE, ACTION_APPEND,
                     ACTION_CHANGE, ACTION_FIND, ACTION_INSERT, ACTION_SELECT, ACTION_SWAP, ACTION_TAKE, ACTION_AT,
                     ACTION_BACK, ACTION_CLEAR, ACTION_COPY, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q,
                     ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_REMOVE, ACTION_REVERSE,
                     ACTION_SKIP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::file
