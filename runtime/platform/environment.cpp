#include "runtime/platform/environment.h"

#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace kel::platform {

std::string get_current_dir() {
    std::string dir(256, '\0');
    for (;;) {
        if (getcwd(dir.data(), dir.size())) {
            dir.resize(std::char_traits<char>::length(dir.c_str()));
            return dir;
        }
        if (errno != ERANGE) return {};
        dir.resize(dir.size() * 2);
    }
}

bool set_current_dir(const char* path) { return path && chdir(path) == 0; }

std::optional<std::string> get_env(const char* name) {
    const char* value = name ? std::getenv(name) : nullptr;
    if (!value) return std::nullopt;
    return std::string(value);
}

bool set_env(const char* name, const char* value) {
    if (!name) return false;
    return (value ? setenv(name, value, 1) : unsetenv(name)) == 0;
}

}  // namespace kel::platform
