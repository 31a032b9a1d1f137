#include "runtime/io/clipboard.h"

#include <algorithm>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/file.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string.h"
#include "runtime/io/call.h"
#include "runtime/io/os-path.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/clipboard.h"

namespace kel::clipboard {

namespace {

namespace desk = platform::clipboard;

const char* const TEXT_TYPES[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"};
const char* const IMAGE_TYPES[] = {"image/png", "image/jpeg", "image/gif", "image/bmp"};
constexpr const char* URI_LIST = "text/uri-list";
constexpr const char* TEXT_TYPE = "text/plain;charset=utf-8";

[[noreturn]] void not_done() { fire(ErrorId::internal_not_done); }

bool offers(const std::vector<std::string>& types, const char* type) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

int hex_value(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percent_decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        int high = i + 2 < text.size() ? hex_value(uint8_t(text[i + 1])) : -1;
        int low = i + 2 < text.size() ? hex_value(uint8_t(text[i + 2])) : -1;
        if (text[i] == '%' && high >= 0 && low >= 0) {
            out += char(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A path's bytes in a URI: unreserved characters and "/" as they are, every
// other byte escaped.
std::string percent_encoded(const std::string& path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
            c == '-' || c == '.' || c == '_' || c == '~';
        if (keep) {
            out += char(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

// A block of file! values from local paths, or none when there is none.
void files_value(Cell* out, const std::vector<std::string>& paths) {
    if (!services().to_kel_file) not_done();
    Cell files = make_none();
    Rooted keep(files);
    block::make_at(files, int32_t(paths.size()));
    for (const std::string& path : paths) {
        Cell text = make_none();
        Rooted keep_text(text);
        os_path::make_name(text, path, TYPE_STRING, false);
        Cell file = make_none();
        Rooted keep_file(file);
        services().to_kel_file(&file, text);
        block::append_cell(files, file);
    }
    *out = files;
}

void text_value(Cell* out, const std::vector<uint8_t>& bytes) {
    std::string text = call::decode_output(bytes);
    if (text.size() > size_t(INT32_MAX)) fire(ErrorId::script_too_long);
    if (text.empty()) {
        *out = make_none();
        return;
    }
    Cell made = make_none();
    Rooted keep(made);
    string::import_at(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), &made,
                      string::ENCODING_UTF8);
    *out = made;
}

// The URI list of a block's paths, each made absolute.
std::vector<uint8_t> uri_list(const Cell& block_cell) {
    Cell block = block_cell;
    Rooted keep(block);
    int32_t count = std::max(block::ks_length(block), 0);
    int32_t head = int32_t(block.data1);
    std::string list;
    for (int32_t i = 0; i < count; ++i) {
        Cell item = *block::ks_abs_at(block, head + i);
        Rooted keep_item(item);
        if (!type_classes::holds_code_points(type_of(item))) fire(ErrorId::script_invalid_arg, {item});
        Cell local = make_unset();
        string::ks_make_at(local, 64);
        Rooted keep_local(local);
        file::to_local_path(item, local, true);
        std::string path;
        if (!os_path::from_text(local, path)) fire(ErrorId::script_invalid_arg, {item});
        list += "file://" + percent_encoded(path) + "\r\n";
    }
    return std::vector<uint8_t>(list.begin(), list.end());
}

}  // namespace

Services& services() {
    static Services s;
    return s;
}

std::vector<std::string> file_paths(const std::vector<uint8_t>& uri_list) {
    std::vector<std::string> paths;
    std::string line;
    auto take = [&] {
        if (line.rfind("file:", 0) == 0) {
            std::string rest = line.substr(5);
            // file:///path, file://host/path or file:/path
            if (rest.rfind("//", 0) == 0) {
                size_t slash = rest.find('/', 2);
                rest = slash == std::string::npos ? std::string() : rest.substr(slash);
            }
            if (!rest.empty()) paths.push_back(percent_decoded(rest));
        }
        line.clear();
    };
    for (uint8_t c : uri_list) {
        if (c == '\n' || c == '\r')
            take();
        else
            line += char(c);
    }
    take();
    return paths;
}

void read(Cell* out) {
    std::optional<std::vector<std::string>> types = desk::offered_types();
    if (!types) {
        *out = logic::make_cell(false);
        return;
    }
    if (offers(*types, URI_LIST)) {
        std::optional<std::vector<uint8_t>> list = desk::fetch(URI_LIST);
        if (!list) {
            *out = logic::make_cell(false);
            return;
        }
        std::vector<std::string> paths = file_paths(*list);
        if (!paths.empty()) {
            files_value(out, paths);
            return;
        }
    }
    for (const char* type : TEXT_TYPES) {
        if (!offers(*types, type)) continue;
        std::optional<std::vector<uint8_t>> text = desk::fetch(type);
        if (!text) {
            *out = logic::make_cell(false);
            return;
        }
        text_value(out, *text);
        return;
    }
    for (const char* type : IMAGE_TYPES) {
        if (!offers(*types, type)) continue;
        std::optional<std::vector<uint8_t>> bytes = desk::fetch(type);
        if (!bytes) {
            *out = logic::make_cell(false);
            return;
        }
        if (!services().decode_image) not_done();
        services().decode_image(out, *bytes);
        return;
    }
    *out = make_none();
}

bool write(const Cell& value) {
    std::vector<uint8_t> bytes;
    switch (type_of(value)) {
    case TYPE_NONE:
        return desk::clear();
    case TYPE_STRING:
        return desk::put(TEXT_TYPE, binary::copy_out(value));
    case TYPE_BLOCK:
        return desk::put(URI_LIST, uri_list(value));
    case TYPE_IMAGE:
        if (!services().encode_png) not_done();
        if (!services().encode_png(value, bytes)) return false;
        return desk::put("image/png", bytes);
    default:
        fire(ErrorId::script_invalid_arg, {value});
    }
}

}  // namespace kel::clipboard
