// file!: a string whose text is a file path in the language's form (type id
// 8, parent url!). It is a string cell like string! and inherits make, to,
// path access and the string and series actions from url!; its own are mold
// and the file actions read, write, delete, query and rename, which hand the
// value to the file layer (runtime/io/simple-io.h). The action slots are
// declared in file-internal.h.
//
// Paths: the language form is the local form on this system. There are no
// drives; "\" and ":" are ordinary name characters; the OS path is the UTF-8
// of the text (runtime/io/os-path.h).
//
// Mold writes text that loads back as the same file!:
// - "%" and the text as it is, unless a character would end or change an
//   unquoted file literal: an ASCII character outside the URL set (controls,
//   space, " % ; < > [ \ ] ^ ` { | } and DEL), ":" or "@";
// - then the text goes between double quotes, with "^" written "^^", LF
//   "^/", NUL "^@" and the other escapes of string! mold;
// - a text holding a double quote cannot be quoted (the quote ends the
//   literal): it is written unquoted with each of those characters, "%"
//   included, as "%" and two hexadecimal digits, which loading decodes;
// - an empty file! is %"".
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::file {

// Appends the local form of the path (from its index) to the target string:
// the code points unchanged. With full, a relative or empty path is first
// given the current directory, which ends with "/".
void to_local_path(const Cell& file, const Cell& target, bool full);
// The core of the native to-local-file: a new string! holding the local
// form of a file! or string! path.
void to_local_file(Cell* out, const Cell& path, bool full);
// The current directory as a new value of the type (string! or file!),
// ending with "/"; access/cannot-open when the system cannot give it.
void get_current_dir(Cell* out, uint32_t type);

// Registers file! (id 8, parent url!); url! must be registered first.
void init();

}  // namespace kel::file
