// The desktop clipboard as MIME-typed bytes, reached through the clipboard
// tools of the session, chosen at each call:
//
//   WAYLAND_DISPLAY set, wl-copy and wl-paste on PATH    wl-copy / wl-paste
//   else DISPLAY set, xclip on PATH                      xclip -selection clipboard
//   else                                                 a clipboard inside this process
//
// The tools run through the child-process layer (never a shell) with a
// 2-second limit, after which they are killed and the operation fails. A
// copying tool keeps serving the selection after it returns: it gets only a
// standard-input pipe, its output and error go to /dev/null, and only the
// launched process is waited for. Reading lists the offered types first
// (`wl-paste --list-types`, `xclip -t TARGETS -o`), then fetches one.
//
// The in-process clipboard keeps the last payload written, bytes and type,
// in C++ memory. Nothing here touches a series.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kel::platform::clipboard {

enum class Backend { wayland, x11, in_process };

// The backend the environment and PATH select now.
Backend backend();

// The types offered; nullopt when the tool failed.
std::optional<std::vector<std::string>> offered_types();
// The bytes of one type; nullopt when the tool failed.
std::optional<std::vector<uint8_t>> fetch(const std::string& type);
// Puts one type on the clipboard (replacing what was there).
bool put(const std::string& type, const std::vector<uint8_t>& bytes);
// Empties the clipboard.
bool clear();

// How long a tool may run before it is killed (2,000 ms by default). Tests
// shorten it to see a hanging tool fail quickly, and lengthen it where a real
// X server on a loaded machine may answer slowly; set_tool_limit returns the
// limit it replaced.
int64_t set_tool_limit(int64_t ms);

}  // namespace kel::platform::clipboard
