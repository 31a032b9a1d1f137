// The values of `read-clipboard` and `write-clipboard`, over the MIME-typed
// clipboard of runtime/platform/clipboard.h.
//
// Reading prefers, among the offered types: "text/uri-list" when it holds at
// least one file: URI (a block of file! values: each URI percent-decoded to
// a local path and converted by the library's `to-kel-file`); then UTF-8
// text ("text/plain;charset=utf-8", UTF8_STRING, "text/plain"), decoded with
// CR LF turned into LF and each invalid byte U+FFFD (an empty text is none);
// then "image/png", "image/jpeg", "image/gif", "image/bmp" through the image
// decoder. Nothing usable is none; a failed tool is false.
//
// Writing puts one type: a string! as UTF-8 text with LF; a block as a
// "text/uri-list" of its paths made absolute and percent-encoded, lines
// ending in CR LF; an image! as "image/png"; none empties the clipboard. Any
// other value raises script/invalid-arg with it before any tool runs. The
// answer is whether the clipboard took it.
//
// Collector: payloads are C++ bytes; values are made only after the tools
// have ended.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/cell.h"

namespace kel::clipboard {

// What the clipboard needs from other modules, installed at start-up; a
// missing one raises internal/not-done when it is needed.
struct Services {
    // The library's to-kel-file of a local path string.
    void (*to_kel_file)(Cell* out, const Cell& path) = nullptr;
    // An image! (or none) decoded from bytes of a known image format.
    void (*decode_image)(Cell* out, const std::vector<uint8_t>& bytes) = nullptr;
    // The PNG bytes of an image!; false when it cannot be encoded.
    bool (*encode_png)(const Cell& image, std::vector<uint8_t>& bytes) = nullptr;
};
Services& services();

// out: a string!, a block of file! values, an image!, none, or false.
void read(Cell* out);
bool write(const Cell& value);

// The file: URIs of a URI list, each percent-decoded to a local path, as
// raw bytes (comment lines and other schemes skipped).
std::vector<std::string> file_paths(const std::vector<uint8_t>& uri_list);

}  // namespace kel::clipboard
