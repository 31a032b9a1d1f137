// url!'s mold: the text percent-encoded in URL mode (form is string!'s).
#include "runtime/datatypes/url-internal.h"
#include "runtime/datatypes/url.h"
#include "runtime/memory/roots.h"

namespace kel::url {

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    Rooted keep_value(value);
    Rooted keep_buffer(buffer);
    int64_t limit = options.part ? (options.limit < 0 ? 0 : options.limit) : -1;
    return options.limit - encode(value, buffer, Mode::url, limit);
}

}  // namespace kel::url
