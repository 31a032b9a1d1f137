// object!: a context that is itself a value (type 32; error! 34 and port! 48
// share the cell).
//
// Cell: word 1 the node of the object's context (kind 2, self flag, heap
// values), word 2 the class id, word 3 the node of the change-handler
// records (0 without on-change* and on-deep-change* fields). The context's
// owner cell holds a copy of the object cell: every function that changes
// the cell stores it there again.
//
// Class ids: objects with the same class id have the same fields in the same
// order. Run-time ids count up from 1,000,001; every error! has 1 and an
// empty object made by make_at has 0.
//
// Change-handler records: a two-cell block the collector scans, cell 0 for
// on-change*, cell 1 for on-deep-change*; each a block! cell whose word 1 is
// the handler's field index (-1: no such field), word 2 the node of the spec
// the group size was computed for (0: not yet), word 3 the size of the
// handler's /local group.
//
// Buffers move: construction, copying and the handlers allocate or run Kel
// code. Values in progress stay on the argument stack or under Rooted, and
// every cell address into a values block is read again after each call.
//
// The action slots are declared in object-internal.h; other modules reach
// them through the action dispatch (runtime/evaluator/actions.h).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::object {

inline constexpr int32_t FIRST_CLASS_ID = 1000001;
inline constexpr int32_t ERROR_CLASS_ID = 1;

inline bool is_object_like(uint32_t t) { return t == TYPE_OBJECT || t == TYPE_ERROR || t == TYPE_PORT; }

// Services of the evaluator. Until it installs them, make from a block
// evaluates nothing (the block only declares fields) and change handlers
// are found and checked but not called.
struct EvaluatorServices {
    // Evaluates a block; its result is dropped.
    void (*evaluate)(const Cell& block) = nullptr;
    // Calls a handler function with the arguments and the given /local group
    // size, under the tracing class (8 change, 16 deep change).
    void (*call_handler)(const Cell& handler, const Cell* args, int count, int32_t locals, uint32_t tracing) = nullptr;
    // The block and position being evaluated now (an error's near).
    const Cell& (*position)() = nullptr;
};
EvaluatorServices& evaluator_services();

int32_t new_class_id();
// The cell becomes an empty object! with room for size fields, class 0.
Cell* make_at(Cell& cell, uint32_t size);
uint32_t field_count(const Cell& obj);
// Index of the word's symbol among the fields (case-insensitive), or -1.
int32_t find_field(const Cell& obj, int32_t symbol);
// A copy of the field's value, or none when there is no such field.
Cell field_value(const Cell& obj, int32_t symbol);
// Stores the cell as its context's owner.
void store_owner(const Cell& obj);

// Clears every changed flag.
void clear_changed(NodeId ctx);

// Path access: reads (value null) or sets the field the element names. The
// element is bound to the object in place on first use. A missing field at
// the last element raises script/invalid-path (a get-path read answers
// unset), before it script/unset-path.
void eval_path(Cell* out, const Cell& parent, Cell& element, const Cell* value, const Cell& path, bool get_path,
               bool last);
// put: the key must be a word!; a missing field raises script/invalid-path.
void put(Cell* out, const Cell& obj, Cell& key, const Cell& value);

// The comparison of two object-like values field by field, whatever their
// types (error! compares through it without retyping either value).
int32_t compare_fields(const Cell& value1, const Cell& value2, int32_t op);

// copy (part: the /part argument or null, which raises
// script/invalid-refine-arg; types: the /types datatype or typeset, or
// null): a new object with fresh change handlers. Deep without types copies
// the blocks, parens, paths and strings of the fields; with types the fields
// of those types are copied (deep when deep). Functions are rebound.
void copy(Cell* out, const Cell& obj, const Cell* part, bool deep, const Cell* types = nullptr);
// Fills out with a copy of the object (see copy); keeps the handler records
// unless fresh_events. A deep copy by type of an object already being
// copied raises internal/no-cycle.
void clone(Cell* out, const Cell& obj, bool deep, const Cell* types, bool fresh_events);
// construct: an object from an unevaluated spec (yes/no/on/off/true/false
// and none converted unless only), with a prototype keeping its class id.
void construct(Cell* out, const Cell& spec, const Cell* prototype, bool only);

// The fields, name ": " value, for form, mold and error!'s report.
int64_t form_fields(const Cell& obj, const Cell& buffer, const MoldOptions& options, bool indent_each, int32_t level,
                    bool mold);

// Change handlers.
void set_events(Cell& obj);
void fire_on_change(const Cell& obj, const Cell& word, const Cell& old_value, const Cell& new_value);
// The `set` native on an object: a block or object source (unless only)
// assigns field by field (a block by position, an object by name), any
// other value every field. Unset sources raise script/need-value unless
// any; with some, none sources are skipped. With change handlers the two
// handler fields keep their value and every other assignment is reported.
void set_many(const Cell& obj, const Cell& value, bool any, bool only, bool some);
void fire_on_deep_change(const Cell& owner, const Cell& word, const Cell& target, const Cell& action,
                         const Cell* new_value, int32_t index, int32_t part);

// Registers object! and installs the change dispatch into contexts and the
// deep-change dispatch into ownership.
void init();
// Wires the series services that name actions and the `owned` field by the
// runtime word table (after it is built).
void wire_services();

}  // namespace kel::object
