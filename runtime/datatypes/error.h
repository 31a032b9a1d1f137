// error!: the value of every failure inside the language (type 34, an
// object! whose class id is always 1 and which has no change handlers).
//
// Fields, in order, from the prototype the runtime makes at start-up
// (system/standard/error): code type id arg1 arg2 arg3 near where stack
// files, all none. code = category number x 100 + position of the id among
// its category's ids; type and id are the catalog's words.
//
// The catalog (system/catalog/errors) is an object of the ten categories,
// each an object of code, type (the report's type text) and one field per
// id holding its message template: a string, a block of strings and
// (get-)words naming error fields, or a word naming one. The runtime makes
// it at start-up from the data the build generates out of the catalog
// source; the boot environment installs both objects into `system`.
//
// near is set when the error is made (the expression being evaluated);
// raising it, first or again, sets only where (when none) and stack.
//
// Seams: the evaluator supplies the current position (near), the call word
// (where), the call stack (stack, call-arg-word, capture-stack) and the
// evaluation of a set-word spec block; until then near, where and stack
// stay none and call-arg-word answers <anon>. The boot environment installs
// system/state (install_state): reports and try/keep read its stack-trace
// and source-files when they run; until then stack-trace reads as 1 and
// source-files as empty.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/error-ids.h"
#include "runtime/datatypes/datatype.h"

namespace kel::error {

enum Field : uint32_t { CODE, TYPE, ID, ARG1, ARG2, ARG3, NEAR, WHERE, STACK, FILES, FIELD_COUNT };

// The catalog object and the error prototype (root cells), made by init.
const Cell& catalog();
const Cell& prototype();

// Makes an error from the identity and up to three arguments (absent ones
// stay none); answers it on the argument stack.
Cell* create(ErrorId id, const Cell* args, int count);
// The same from a category word and an id word.
Cell* create_from_words(const Cell& category, const Cell& id, const Cell* args, int count);

// Field access.
Cell field(const Cell& err, Field f);
void set_field(const Cell& err, Field f, const Cell& value);
// The identity of an error made from the catalog (its code).
ErrorId id_of(const Cell& err);
// Copies the value into `where` when that is none.
void set_where(const Cell& err, const Cell& value);
// The n-th argument word of the current call's spec: <anon> until the call
// stack exists.
Cell call_arg_word(int n);

// try/keep: an error! whose stack field holds the call-stack height it was
// raised at gets, in its place, a block of the words naming the calls from
// the bottom up to that height (functions only at depth 1, the depth being
// system/state/stack-trace, 1 when 0 or below), and, while scripts run
// (system/state/source-files not empty), a copy of source-files as its
// files. Other values are left alone.
void capture_stack(const Cell& value);

// Installs the system/state object whose stack-trace (the Stack line is
// shown while it is an integer above 0) and source-files are read; answers
// the one installed before (none when none).
Cell install_state(const Cell& state);

// The report of an error formed into a new string on the argument stack.
Cell* report(const Cell& err);

// print-error: makes the error and prints its report (and a line end)
// instead of raising it, inside a native frame named `<body>` that it closes
// again.
void print(ErrorId id, const Cell* args, int count);
// Writes the report of an error and a line end to the console.
void print_report(const Cell& err);

// Registers error!.
void init();
// Makes the catalog object and the prototype (once the global context and
// the runtime word table exist); later calls do nothing.
void build();

}  // namespace kel::error
