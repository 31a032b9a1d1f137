// Exit statuses of the process: one name per status the runtime ends with.
// `system_quit` prints the runtime error report for every status but NORMAL,
// with the message that `runtime_error_message` gives it. The numbers are
// fixed: scripts and tools read them.
//
// Which status a failure takes:
// - 1-34: processor faults (the fault handlers map a signal to one of them);
// - OUT_OF_MEMORY: the heap or the C++ library could not allocate;
// - NO_CATCH: a thrown code that no catcher took;
// - ASSERTION_FAILED: the runtime broke one of its own invariants (a table
//   that grows before it fills is full, a caller passed a value the callee
//   never takes): a fault of the runtime, never of a script
//   (`internal_fault()`);
// - UNKNOWN_ERROR: a C++ exception the runtime does not use, std::terminate
//   or abort;
// - NO_CASE_MATCHED, NO_SWITCH_MATCHED: a dispatch over a tagged value (a unit
//   size, a hash-table kind) met a tag outside its table, which marks a
//   corrupted record;
// - UNCAUGHT_ERROR: a language error that no frame caught (reported by the
//   error report, not the runtime error report);
// - OUTPUT_FAILED: the run would have ended with 0, but some output to
//   standard output could not be written (a full disk, a closed terminal);
//   a closed pipe ends the process by SIGPIPE before that (141 in a shell);
// - INTERRUPTED: control-C, quietly.
#pragma once
#include <cstdint>

namespace kel::exit_status {

inline constexpr int32_t NORMAL = 0;

inline constexpr int32_t ACCESS_VIOLATION = 1;
inline constexpr int32_t INVALID_ALIGNMENT = 2;
inline constexpr int32_t BREAKPOINT = 3;
inline constexpr int32_t SINGLE_STEP = 4;
inline constexpr int32_t BOUNDS_EXCEEDED = 5;
inline constexpr int32_t FLOAT_DENORMAL_OPERAND = 6;
inline constexpr int32_t FLOAT_DIVIDE_BY_ZERO = 7;
inline constexpr int32_t FLOAT_INEXACT_RESULT = 8;
inline constexpr int32_t FLOAT_INVALID_OPERATION = 9;
inline constexpr int32_t FLOAT_OVERFLOW = 10;
inline constexpr int32_t FLOAT_STACK_CHECK = 11;
inline constexpr int32_t FLOAT_UNDERFLOW = 12;
inline constexpr int32_t INTEGER_DIVIDE_BY_ZERO = 13;
inline constexpr int32_t INTEGER_OVERFLOW = 14;
inline constexpr int32_t PRIVILEGED_INSTRUCTION = 15;
inline constexpr int32_t ILLEGAL_INSTRUCTION = 17;
inline constexpr int32_t STACK_OVERFLOW = 19;
inline constexpr int32_t BUS_ERROR = 34;
// Every status from FIRST_FAULT to LAST_FAULT has a message of its own.
inline constexpr int32_t FIRST_FAULT = ACCESS_VIOLATION;
inline constexpr int32_t LAST_FAULT = BUS_ERROR;

inline constexpr int32_t OUTPUT_FAILED = 74;
inline constexpr int32_t OUT_OF_MEMORY = 94;
inline constexpr int32_t NO_CATCH = 95;
inline constexpr int32_t ASSERTION_FAILED = 98;
inline constexpr int32_t UNKNOWN_ERROR = 99;
inline constexpr int32_t NO_CASE_MATCHED = 100;
inline constexpr int32_t NO_SWITCH_MATCHED = 101;

inline constexpr int32_t UNCAUGHT_ERROR = -2;
inline constexpr int32_t INTERRUPTED = 130;

// The exit code a parent process reads: POSIX keeps the low 8 bits (-2 is
// read as 254).
constexpr int exit_code(int32_t status) { return int(uint32_t(status) & 0xFF); }

}  // namespace kel::exit_status
