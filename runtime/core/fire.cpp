#include "runtime/core/fire.h"

#include "runtime/core/print.h"
#include "runtime/core/system.h"

namespace kel {

namespace {

ErrorInFlight in_flight;
ErrorServices services;
bool making = false;  // an error raised while one is being made gets no value

// Makes the value; an error raised meanwhile unwinds through here and
// leaves the flag clear again.
struct Making {
    Making() { making = true; }
    ~Making() { making = false; }
};

}  // namespace

const ErrorInFlight& error_in_flight() { return in_flight; }
ErrorServices& error_services() { return services; }

namespace {
RaiseHook raise_hook = nullptr;
}

RaiseHook install_raise_hook(RaiseHook hook) {
    RaiseHook previous = raise_hook;
    raise_hook = hook;
    return previous;
}

void fire(ErrorId id, std::initializer_list<Cell> args) {
    ErrorInFlight raised{};
    raised.id = id;
    raised.value = make_none();
    for (const Cell& a : args) {
        if (raised.argc == 3) break;
        raised.args[raised.argc++] = a;
    }
    in_flight = raised;
    if (services.make && !making) {
        Making guard;
        in_flight.value = services.make(id, raised.args, raised.argc);
    }
    if (raise_hook) raise_hook();
    system_throw(thrown::ERROR);
    __builtin_unreachable();
}

void restore_error_in_flight(const ErrorInFlight& saved) { in_flight = saved; }

void fire_value(const Cell& error, ErrorId id) {
    ErrorInFlight raised{};
    raised.id = id;
    raised.value = error;
    in_flight = raised;
    if (raise_hook) raise_hook();
    system_throw(thrown::ERROR);
    __builtin_unreachable();
}

void fire_bad_make_arg(uint32_t type, const Cell& value) {
    fire(ErrorId::script_bad_make_arg, {Cell{TYPE_DATATYPE, type, 0, 0}, value});
}

void fire_bad_to_arg(uint32_t type, const Cell& value) {
    fire(ErrorId::script_bad_to_arg, {Cell{TYPE_DATATYPE, type, 0, 0}, value});
}

void print_error_in_flight() {
    if (type_of(in_flight.value) == TYPE_ERROR && services.print_report) {
        services.print_report(in_flight.value);
        return;
    }
    const ErrorCategoryInfo& cat = error_categories[unsigned(category_of(in_flight.id))];
    const char* id = error_id_word(in_flight.id);
    print_line({PrintItem::text("*** "), PrintItem::text(cat.type_text), PrintItem::text(": "),
                PrintItem::text(id ? id : "?")});
}

}  // namespace kel
