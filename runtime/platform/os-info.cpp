#include "runtime/platform/os-info.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

namespace kel::platform {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at the position (capped at `cap`), moving past it.
int64_t read_number(std::string_view text, size_t& i, int64_t cap) {
    int64_t n = 0;
    for (; i < text.size() && is_digit(text[i]); ++i)
        if (n < cap) n = n * 10 + (text[i] - '0');
    return n < cap ? n : cap;
}

std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// An os-release value: a double-quoted one drops its quotes and keeps the
// character after each backslash; a single-quoted one drops its quotes.
std::string unquote(std::string_view v) {
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.remove_suffix(1);
    if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') return std::string(v.substr(1, v.size() - 2));
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::string(v);
    std::string out;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
        if (v[i] == '\\' && i + 2 < v.size()) ++i;
        out += v[i];
    }
    return out;
}

}  // namespace

std::string pretty_name(std::string_view text) {
    constexpr std::string_view key = "PRETTY_NAME=";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.substr(0, key.size()) == key) return unquote(line.substr(key.size()));
        start = end + 1;
    }
    return {};
}

const char* arch_word(std::string_view m) {
    if (m == "x86_64") return "x86-64";
    if (m == "aarch64") return "ARM64";
    if (m.size() == 4 && m[0] == 'i' && m[1] >= '3' && m[1] <= '6' && m.substr(2) == "86") return "x86-32";
    if (m.substr(0, 3) == "arm") return "ARM";
    if (m == "ia64") return "IA-64";
    return "Unknown";
}

void parse_release(std::string_view release, OsInfo& info) {
    size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        if (i >= release.size() || !is_digit(release[i])) break;
        info.version[k] = uint8_t(read_number(release, i, 255));
        if (i < release.size() && release[i] == '.')
            ++i;
        else
            break;
    }
    size_t dash = release.find('-');
    if (dash == std::string_view::npos) return;
    i = dash + 1;
    info.build = int32_t(read_number(release, i, INT32_MAX));
}

OsInfo os_info() {
    OsInfo info;
    info.name = pretty_name(read_file("/etc/os-release"));
    if (info.name.empty()) info.name = pretty_name(read_file("/usr/lib/os-release"));
    if (info.name.empty()) info.name = "Linux";
    struct utsname u;
    if (uname(&u) == 0) {
        info.arch = arch_word(u.machine);
        parse_release(u.release, info);
    }
    return info;
}

}  // namespace kel::platform
