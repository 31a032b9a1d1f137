// The status each fault signal and its code map to. The fault reports
// themselves are driven through the probe program (tests/core).
#include <gtest/gtest.h>

#include <csignal>

#include "runtime/core/exit-status.h"
#include "runtime/platform/faults.h"

namespace kel::test {
namespace {

using namespace exit_status;

TEST(Faults, EverySignalAndCodeMapsToItsStatus) {
    struct Case {
        const char* name;
        int signal, code;
        bool stack_overflow;
        int32_t status;
    } cases[] = {
        {"segv", SIGSEGV, SEGV_MAPERR, false, ACCESS_VIOLATION},
        {"segv access", SIGSEGV, SEGV_ACCERR, false, ACCESS_VIOLATION},
        {"segv at the stack limit", SIGSEGV, SEGV_MAPERR, true, STACK_OVERFLOW},
        {"bus", SIGBUS, BUS_ADRALN, false, INVALID_ALIGNMENT},
        {"bus near a stack limit", SIGBUS, BUS_ADRERR, true, INVALID_ALIGNMENT},  // only SIGSEGV overflows
        {"ill opcode", SIGILL, ILL_ILLOPC, false, ILLEGAL_INSTRUCTION},
        {"ill operand", SIGILL, ILL_ILLOPN, false, ILLEGAL_INSTRUCTION},
        {"ill privileged opcode", SIGILL, ILL_PRVOPC, false, PRIVILEGED_INSTRUCTION},
        {"trap breakpoint", SIGTRAP, TRAP_BRKPT, false, BREAKPOINT},
        {"trap trace", SIGTRAP, TRAP_TRACE, false, SINGLE_STEP},
        {"fpe integer divide", SIGFPE, FPE_INTDIV, false, INTEGER_DIVIDE_BY_ZERO},
        {"fpe integer overflow", SIGFPE, FPE_INTOVF, false, INTEGER_OVERFLOW},
        {"fpe float divide", SIGFPE, FPE_FLTDIV, false, FLOAT_DIVIDE_BY_ZERO},
        {"fpe float inexact", SIGFPE, FPE_FLTRES, false, FLOAT_INEXACT_RESULT},
        {"fpe float invalid", SIGFPE, FPE_FLTINV, false, FLOAT_INVALID_OPERATION},
        {"fpe float overflow", SIGFPE, FPE_FLTOVF, false, FLOAT_OVERFLOW},
        {"fpe float underflow", SIGFPE, FPE_FLTUND, false, FLOAT_UNDERFLOW},
        {"fpe subscript", SIGFPE, FPE_FLTSUB, false, BOUNDS_EXCEEDED},
        // What has no status of its own is an unknown error.
        {"fpe unknown code", SIGFPE, 0, false, UNKNOWN_ERROR},
        {"abort", SIGABRT, 0, false, UNKNOWN_ERROR},
        {"another signal", SIGUSR1, 0, false, UNKNOWN_ERROR},
    };
    for (const Case& c : cases) EXPECT_EQ(faults::status_for(c.signal, c.code, c.stack_overflow), c.status) << c.name;
}

}  // namespace
}  // namespace kel::test
