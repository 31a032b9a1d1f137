// The file layer's routines, each a thin call of simple-io over the routine's
// argument cells.
#include "runtime/datatypes/file.h"
#include "runtime/evaluator/routines.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/simple-io.h"

namespace kel::routines {

namespace {

Result none() { return Result{0}; }

// get-current-dir: the current directory as a file! ending with "/".
Result get_current_dir(const Arg*, int32_t) {
    Cell dir = make_none();
    file::get_current_dir(&dir, TYPE_FILE);
    *stack::arguments() = dir;
    return none();
}

// set-current-dir path: access/cannot-open when the system refuses.
Result set_current_dir(const Arg* args, int32_t) {
    simple_io::set_current_dir(*args[0].cell);
    return none();
}

// create-dir path: one level; access/no-create when it cannot be made.
Result create_dir(const Arg* args, int32_t) {
    simple_io::create_dir(*args[0].cell);
    return none();
}

// exists? path: a file or a directory (links followed).
Result exists(const Arg* args, int32_t) { return Result{simple_io::exists(*args[0].cell) ? 1 : 0}; }

// write-stdout data: strings as UTF-8, binaries as they are.
Result write_stdout(const Arg* args, int32_t) {
    simple_io::write_stdout(*args[0].cell);
    return none();
}

// read-stdin buffer buflen: what standard input has, onto the buffer.
Result read_stdin(const Arg* args, int32_t) {
    simple_io::read_stdin(*args[0].cell, args[1].integer);
    return none();
}

const Entry entries[] = {
    {"get-current-dir", "{Returns the platform's current directory for the process}", -1, get_current_dir},
    {"set-current-dir", "{Sets the platform's current process directory} path [file!]", -1, set_current_dir},
    {"create-dir", "{Create the given directory} path [file!]", -1, create_dir},
    {"exists?", "{Returns TRUE if the file exists} path [file!] return: [logic!]", TYPE_LOGIC, exists},
    {"write-stdout", "{Write data to STDOUT} data [any-type!]", -1, write_stdout},
    {"read-stdin", "{Temporary function, internal use only} buffer [binary!] buflen [integer!]", -1, read_stdin},
};

}  // namespace

std::span<const Entry> file_routines() { return entries; }

}  // namespace kel::routines
