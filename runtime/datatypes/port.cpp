#include "runtime/datatypes/port.h"

#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/port-internal.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/url.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/system-fields.h"
#include "runtime/memory/roots.h"

namespace kel::port {

namespace {

// The native actor tables, for the life of the process.
std::vector<ActorTable>& registry() {
    static std::vector<ActorTable> tables;
    return tables;
}

Cell system_value(const char* section, const char* name) {
    return system_fields::get({symbol::make(section), symbol::make(name)});
}

void set_field(const Cell& obj, uint32_t index, const Cell& value) {
    context::values_of(*context::cell_of(obj.data1))[index] = value;
}

// A fresh shallow copy of a prototype object, without its change handlers.
void copy_prototype(Cell* out, const Cell& prototype) {
    if (type_of(prototype) != TYPE_OBJECT) fire(ErrorId::internal_not_done);
    object::clone(out, prototype, false, nullptr, true);
}

// The scheme object registered for the word: the value after the first
// entry of system/schemes equal to it; none when there is none.
Cell find_scheme(const Cell& name) {
    Cell schemes = system_fields::get({symbol::make("schemes")});
    if (type_of(schemes) != TYPE_BLOCK) return make_none();
    int32_t n = block::ks_length(schemes);
    int32_t head = int32_t(schemes.data1);
    for (int32_t i = 0; i + 1 < n; ++i) {
        Cell entry = *block::ks_abs_at(schemes, head + i);
        if (actions::compare(entry, name, COMP_EQUAL)) return *block::ks_abs_at(schemes, head + i + 1);
    }
    return make_none();
}

// The native table of a port whose actor is a registered handle!.
const datatype::Action* native_actors(const Cell& port) {
    Cell actor = actor_of(port);
    if (type_of(actor) != TYPE_HANDLE || handle::class_of(actor) != ACTOR_HANDLE_CLASS) return nullptr;
    int32_t index = handle::value_of(actor);
    if (index < 0 || size_t(index) >= registry().size()) return nullptr;
    return registry()[size_t(index)].data();
}

}  // namespace

void make_from_spec(Cell* out, const Cell& spec_cell) {
    Cell spec = spec_cell;
    Rooted keep_spec(spec);
    if (type_of(spec) != TYPE_OBJECT) {
        Cell prototype = make_none();
        Rooted keep_prototype(prototype);
        copy_prototype(&prototype, system_value("standard", "url-parts"));
        prototype.data2 = 0;
        Cell made = make_none();
        Rooted keep_made(made);
        actions::make(&made, &prototype, &spec);
        spec = made;
    }
    if (object::field_count(spec) == 0 || type_of(context::values_of(*context::cell_of(spec.data1))[0]) != TYPE_WORD)
        fire(ErrorId::access_no_scheme, {spec});
    Cell scheme_name = context::values_of(*context::cell_of(spec.data1))[0];
    Rooted keep_name(scheme_name);

    Cell result = make_none();
    Rooted keep_result(result);
    copy_prototype(&result, system_value("standard", "port"));
    result.header = TYPE_PORT;
    result.data2 = uint32_t(CLASS_ID);
    object::store_owner(result);
    if (object::field_count(result) <= FIELD_ACTOR) fire(ErrorId::access_invalid_port);
    set_field(result, FIELD_SPEC, spec);
    set_field(result, FIELD_SCHEME, scheme_name);

    Cell scheme = find_scheme(scheme_name);
    if (type_of(scheme) != TYPE_OBJECT) fire(ErrorId::access_unknown_scheme, {spec});
    Cell actor = object::field_value(scheme, symbol::make("actor"));
    if (type_of(actor) != TYPE_OBJECT && type_of(actor) != TYPE_HANDLE) fire(ErrorId::access_invalid_actor, {spec});
    set_field(result, FIELD_ACTOR, actor);
    *out = result;
}

Cell actor_of(const Cell& port) { return context::values_of(*context::cell_of(port.data1))[FIELD_ACTOR]; }

void make(Cell* out, Cell*, Cell* spec, uint32_t) { make_from_spec(out, *spec); }

Cell register_native_actor(const ActorTable& table) {
    registry().push_back(table);
    return handle::make_cell(int32_t(registry().size() - 1), ACTOR_HANDLE_CLASS);
}

void init() {
    datatype::Record record(TYPE_PORT, TYPE_OBJECT, "port!");
    record.own<ACTION_MAKE>(make)
        .own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .inherit_all<ACTION_REFLECT, ACTION_EVAL_PATH, ACTION_COMPARE>();
    add_forwarders(record);
    datatype::register_type(record);
    url::services().make_port = make_from_spec;
    actions::install_port_actors(native_actors);
}

}  // namespace kel::port
