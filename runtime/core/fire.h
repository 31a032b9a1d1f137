// fire: the one entry point through which the runtime raises a language error.
//
// fire makes the error! value (through the error module's maker, which
// error/create implements), keeps it on the argument stack and in the error
// in flight, a cell the collector marks, while thrown::ERROR travels, and
// throws. Catchers read the error value (`error_in_flight`). Absent
// arguments leave their fields none.
//
// Before the error module has installed its maker (while the runtime
// starts), and for an error raised while an error is being made, no value
// can be made: the error in flight then holds only its identity and
// arguments, and its value is none.
//
// fire makes the value, then calls the raise hook, then throws: the
// evaluator's hook sets where, near and stack from the call stack and sends
// the trace event, without changing fire's callers.
#pragma once
#include <initializer_list>

#include "runtime/core/cell.h"
#include "runtime/core/error-ids.h"

namespace kel {

// Raises the error and never returns: throws thrown::ERROR to the nearest
// catcher of errors.
[[noreturn]] void fire(ErrorId id, std::initializer_list<Cell> args = {});

// Called by `fire` once the error in flight is filled, before the throw:
// the evaluator records where the error was raised and sends its trace
// event. Answers the hook it replaces.
using RaiseHook = void (*)();
RaiseHook install_raise_hook(RaiseHook hook);

// script/bad-make-arg with the type and the value.
[[noreturn]] void fire_bad_make_arg(uint32_t type, const Cell& value);
// script/bad-to-arg with the type and the value: make and to of a value the
// type cannot be made from.
[[noreturn]] void fire_bad_to_arg(uint32_t type, const Cell& value);

// The error in flight (the last one raised).
struct ErrorInFlight {
    Cell value{};  // the error! value, or none (see above)
    ErrorId id{};  // its identity
    int argc = 0;  // the number of arguments fire was given
    Cell args[3]{};  // those arguments
};
const ErrorInFlight& error_in_flight();
// Puts a saved error in flight back: code that runs Kel code while an error
// travels (a clean-up that calls a tracer, whose own errors may be raised
// and caught) restores the one it is passing on.
void restore_error_in_flight(const ErrorInFlight& saved);
// Raises an existing error! value again (`do` of an error): it becomes the
// error in flight with its id, the raise hook runs, and thrown::ERROR
// travels.
[[noreturn]] void fire_value(const Cell& error, ErrorId id);

// What the error module installs: making the error! value (left on the
// argument stack) and writing its report to the console.
struct ErrorServices {
    Cell (*make)(ErrorId id, const Cell* args, int count) = nullptr;
    void (*print_report)(const Cell& error) = nullptr;
    void (*mark)(const Cell& error) = nullptr;  // the collector's marking of the value
};
ErrorServices& error_services();

// Prints the report of an error value (the root catcher's report): the
// error module's report, or the identity when no value could be made.
void print_error_in_flight();

}  // namespace kel
