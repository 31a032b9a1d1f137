// The routines of the boot environment: routine! values whose bodies are C++
// functions of the routine table (runtime/evaluator/routines.h). Each is
// described once, by its global word, its spec as Kel text (argument words,
// type blocks, doc strings and, for a routine that answers a machine value,
// `return: [logic!]`, `return: [integer!]`), its result type id (-1: the
// function leaves its result in the frame's first cell) and its function:
// the runtime's routine entry (runtime/evaluator/routines.h).
//
// Start-up makes them at their places in the library's order: the general
// routines and the type predicates as global words (routines::make_words),
// the routines held in `system` as fields of its sub-objects
// (routines::push).
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/evaluator/routines.h"

namespace kel::library {

using RoutineDef = routines::Entry;

// The general routines (quit-return ... write-stdout, _set-float-flags), the file layer's
// (routines::file_routines) among them, in the library's order.
std::span<const RoutineDef> general_routines();
// The 62 type predicates: one per datatype, then one per named typeset.
std::span<const RoutineDef> type_predicates();
// The routines held in the last fields of the JSON and CSV contexts, made
// as fields of their contexts: unescape and _decode (json-decoder), _encode
// (json-encoder), _csv (csv-ctx).
std::span<const RoutineDef> codec_routines();
// encode* and decode of system/codecs/kelbin (kelbin-routines.cpp).
std::span<const RoutineDef> kelbin_routines();
// encode and decode of the image codecs of system/codecs, png, jpeg, bmp,
// gif and tiff, each with the name of its codec (image-codecs.cpp).
struct CodecRoutines {
    const char* codec;
    std::span<const RoutineDef> routines;
};
std::span<const CodecRoutines> image_codec_routines();
// Routines held in fields of `system`: the word is the field's path text
// (state/interpreted?, state/GC/active? ...).
std::span<const RoutineDef> system_routines();

// The spec text of every routine start-up makes, once per routine (the
// console's among them): the boot image carries their spec blocks.
std::vector<const char*> routine_spec_texts();

}  // namespace kel::library
