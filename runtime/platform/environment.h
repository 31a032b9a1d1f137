// The process environment: current directory and environment variables.
// Paths, names and values are UTF-8.
#pragma once
#include <optional>
#include <string>

namespace kel::platform {

// The current directory; empty when the system cannot give it (for instance
// when it has been removed).
std::string get_current_dir();
// Makes `path` the current directory; false when the system refuses.
bool set_current_dir(const char* path);

// The value of a variable; nothing when it does not exist.
std::optional<std::string> get_env(const char* name);
// Sets a variable for this process; a null value removes it. False when the
// system refuses (an empty name or one holding "=").
bool set_env(const char* name, const char* value);

}  // namespace kel::platform
