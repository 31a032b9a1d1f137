// The operating system's description for `os-info`: its name, the processor
// architecture word, a three-number version and a build number.
//
// On Linux the name is PRETTY_NAME of /etc/os-release (else of
// /usr/lib/os-release, else "Linux"); the architecture maps uname's machine
// (x86_64 x86-64, aarch64 ARM64, i386-i686 x86-32, arm* ARM, ia64 IA-64,
// anything else Unknown); the version is the first three numbers of the
// kernel release and the build the number after its first "-" (0 without).
// The parsers are pure functions of the texts, so they can be checked on
// any input.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kel::platform {

struct OsInfo {
    std::string name;
    const char* arch = "Unknown";
    uint8_t version[3] = {0, 0, 0};  // each number capped at 255
    int32_t build = 0;
};

// PRETTY_NAME's value in the text of an os-release file (quotes and
// backslash escapes removed); empty when absent.
std::string pretty_name(std::string_view os_release);
// The architecture word for uname's machine name.
const char* arch_word(std::string_view machine);
// The version numbers and the build number of a kernel release.
void parse_release(std::string_view release, OsInfo& info);

// This machine's description.
OsInfo os_info();

}  // namespace kel::platform
