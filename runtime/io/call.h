// The child-process layer behind `call`: the command and its refinements
// turned into a spawn request, and the captured bytes turned back into
// values.
//
// Commands. With /shell the text runs as `/bin/sh -c TEXT`. Otherwise a
// string! is split into an argument vector (split_command) and a file! is
// one program path, never split. A program that cannot be found is tried
// once more through `/bin/sh -c`, so shell built-ins and scripts without
// /shell still run and a name nobody knows ends with status 127.
//
// Results: the exit status when waiting (128 + n for a child ended by signal
// n), the process id otherwise, -1 when the process could not be started or
// a redirection could not be opened (the child is then never started).
//
// Text: an input string goes as UTF-8 with LF line ends; output captured
// into a string! is decoded as UTF-8 with CR LF turned into LF and each
// invalid byte made U+FFFD; a binary! receives the bytes unchanged. Captured
// text is inserted at the target's position.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/evaluator/native-services.h"

namespace kel::call {

// The argument vector of a command given without /shell: blanks and TABs
// separate arguments; a double-quoted run joins into the argument without
// its quotes, and \" inside or outside one gives a literal quote. Nothing
// else is special.
std::vector<std::string> split_command(const std::string& command);

// Captured bytes as the text a string! receives, in valid UTF-8.
std::string decode_output(const std::vector<uint8_t>& bytes);

// The service of `call`: answers -1, an exit status or a process id.
int32_t run_command(const Cell& command, const natives::CallOptions& options);

// Installs run_command as the natives' child-process service, and reaps
// children left unwaited when the process ends.
void init();

}  // namespace kel::call
