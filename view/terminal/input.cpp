#include "view/terminal/input.h"

#include <algorithm>

#include "runtime/text/unicode.h"
#include "view/terminal/os.h"
#include "view/terminal/state.h"

namespace kel::gui {

namespace {

constexpr int32_t PARAMETER_MAX = 9999;
constexpr size_t STRING_MAX = 4096;  // a DCS or OSC, or a CSI, longer than this is dropped
constexpr int32_t READS_PER_FRAME = 16;

constexpr uint8_t ESC = 27;
constexpr uint32_t FLAG_DOWN = 0x02000000;

enum class Kind { NONE, KEY, SPECIAL, MOUSE, REPORT };

struct Item {
    size_t length = 0;
    Kind kind = Kind::NONE;
    int32_t code = 0;  // key code; the report's row
    int32_t b = 0, column = 0, row = 0;  // mouse report
    bool release = false;
    bool legacy = false;
};

struct Decoder {
    std::string queue;
    bool esc_waited = false;  // the lone ESC at the end has waited a frame
    char skipping = 0;  // 'P' or ']' while the rest of an overlong string is dropped
    bool released = true;  // the last button state
    int32_t last_button = 0;
    bool ended = false;
};

Decoder& decoder() {
    static Decoder d;
    return d;
}

// The cursor keys both ESC [ and ESC O end with: the arrows, Home and End.
int32_t cursor_key(uint8_t c) {
    switch (c) {
    case 'A':
        return -20;
    case 'B':
        return -21;
    case 'C':
        return -22;
    case 'D':
        return -23;
    case 'F':
        return -24;
    case 'H':
        return -25;
    default:
        return 0;
    }
}

// Special keys after ESC O: F1-F4, then the cursor keys.
int32_t ss3_key(uint8_t y) { return y >= 'P' && y <= 'S' ? -31 - (y - 'P') : cursor_key(y); }

// Special keys of ESC [ n ~.
int32_t tilde_key(int32_t n) {
    switch (n) {
    case 1:
    case 7:
        return -25;
    case 2:
        return -26;
    case 3:
        return -27;
    case 4:
    case 8:
        return -24;
    case 5:
        return -28;
    case 6:
        return -29;
    case 11:
    case 12:
    case 13:
    case 14:
        return -31 - (n - 11);
    case 15:
        return -35;
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
        return -36 - (n - 17);
    case 23:
        return -41;
    case 24:
        return -42;
    default:
        return 0;
    }
}

// Special keys of ESC [ letter; Shift-Tab is the special code 10.
int32_t csi_letter_key(uint8_t c) { return c == 'Z' ? 10 : cursor_key(c); }

void special(Item& item, int32_t code) {
    if (code == 0) return;
    item.kind = Kind::SPECIAL;
    item.code = code;
}

// The end of a DCS or OSC from byte `from`: the length of what to drop, and
// whether the string ended there (BEL for an OSC, ESC \, or an ESC before
// another byte, which abandons the string and begins the next item). False
// when the queue ends first: `length` is then what can go already.
bool string_end(const std::string& q, size_t from, char kind, size_t& length, bool& need_more) {
    need_more = false;
    for (size_t i = from; i < q.size(); ++i) {
        uint8_t c = uint8_t(q[i]);
        if (c == 7 && kind == ']') {
            length = i + 1;
            return true;
        }
        if (c != ESC) continue;
        if (i + 1 >= q.size()) {
            length = i;  // the bytes before the ESC go; the ESC waits
            need_more = true;
            return false;
        }
        length = uint8_t(q[i + 1]) == '\\' ? i + 2 : i;
        return true;
    }
    length = q.size();
    need_more = true;
    return false;
}

// Parses a control sequence; the queue starts with ESC [.
bool parse_csi(const std::string& q, Item& item) {
    bool sgr = false, has_parameters = false;
    int32_t parameters[4] = {0, 0, 0, 0};
    int32_t count = 0, current = 0;
    for (size_t i = 2; i < q.size(); ++i) {
        uint8_t c = uint8_t(q[i]);
        if (c == '<') {
            sgr = true;
        } else if (c >= '0' && c <= '9') {
            current = std::min(current * 10 + (c - '0'), PARAMETER_MAX);
            has_parameters = true;
        } else if (c == ';') {
            if (count < 4) parameters[count] = current;
            ++count;
            current = 0;
            has_parameters = true;
        } else if (c == ESC) {
            item.length = i;  // abandoned: the ESC begins the next item
            return true;
        } else if (c >= 64 && c <= 126 && c != '[') {
            if (count < 4) parameters[count] = current;
            ++count;
            item.length = i + 1;
            if ((c == 'M' || c == 'm') && sgr) {
                if (count == 3) {
                    item.kind = Kind::MOUSE;
                    item.b = parameters[0], item.column = parameters[1], item.row = parameters[2];
                    item.release = c == 'm';
                }
            } else if (c == 'M' && !has_parameters) {
                // A legacy report: three bytes, each the value + 32.
                if (q.size() < i + 4) return false;
                item.kind = Kind::MOUSE;
                item.legacy = true;
                item.b = std::max(0, uint8_t(q[i + 1]) - 32);
                item.column = std::max(0, uint8_t(q[i + 2]) - 32);
                item.row = std::max(0, uint8_t(q[i + 3]) - 32);
                item.release = (item.b & 3) == 3 && !(item.b & 32);
                item.length = i + 4;
            } else if (c == 'R' && count == 2 && !sgr) {
                item.kind = Kind::REPORT;
                item.row = parameters[0], item.column = parameters[1];
            } else if (c == '~') {
                special(item, tilde_key(parameters[0]));
            } else {
                special(item, csi_letter_key(c));
            }
            return true;
        }
        // Other bytes (private markers, intermediates) are passed over.
    }
    if (q.size() > STRING_MAX) {
        item.length = q.size();  // a sequence that never ends is dropped
        return true;
    }
    return false;
}

// Parses the item at the front of the queue; false when it needs more bytes.
bool parse(Decoder& d, Item& item) {
    const std::string& q = d.queue;
    size_t n = q.size();
    if (d.skipping) {
        bool need_more;
        bool ended = string_end(q, 0, d.skipping, item.length, need_more);
        if (ended) d.skipping = 0;
        if (item.length > 0) return true;
        if (!ended) return false;  // a lone ESC: the next byte decides
        // The string was abandoned at an ESC, which begins the next item.
    }
    uint8_t b = uint8_t(q[0]);
    if (b == ESC) {
        if (n == 1) {
            if (!d.esc_waited) {
                d.esc_waited = true;
                return false;
            }
            item.length = 1;
            item.kind = Kind::KEY;
            item.code = 27;
            return true;
        }
        uint8_t x = uint8_t(q[1]);
        if (x == ESC) {
            item.length = 2;
            item.kind = Kind::KEY;
            item.code = 27;
            return true;
        }
        if (x == 'O') {
            if (n < 3) return false;
            item.length = 3;
            special(item, ss3_key(uint8_t(q[2])));
            return true;
        }
        if (x == 'P' || x == ']') {
            bool need_more;
            if (string_end(q, 2, char(x), item.length, need_more)) return true;
            if (n - 2 <= STRING_MAX) return false;
            // Overlong: what came is dropped, and the rest up to its end.
            item.length = std::max(item.length, size_t(2));
            d.skipping = char(x);
            return true;
        }
        if (x == '[') return parse_csi(q, item);
        item.length = 1;  // ESC before another byte: that byte decodes as itself
        return true;
    }
    if (b < 32 || b == 127) {
        item.length = 1;
        item.kind = Kind::KEY;
        item.code = b == 8 ? 127 : b == 10 ? 13 : b;
        return true;
    }
    int32_t length = 0;
    int32_t cp = unicode::decode_utf8_status(reinterpret_cast<const uint8_t*>(q.data()),
                                             int32_t(std::min(n, size_t(4))), length);
    if (cp == unicode::DECODE_INCOMPLETE) return false;
    item.kind = Kind::KEY;
    if (cp == unicode::DECODE_MALFORMED) {
        item.length = 1;
        item.code = 0xFFFD;
    } else {
        item.length = size_t(length);
        item.code = cp;
    }
    return true;
}

void mouse(Decoder& d, const Item& item, Dispatch& to) {
    State& s = state();
    int32_t b = item.b;
    int32_t f = item.legacy && item.release ? d.last_button : (b & 3) | ((b & 0x40) >> 4);
    uint32_t flags = uint32_t((b >> 2) & 3) * 0x20000000u | ((b & 0x10) ? 0x10000000u : 0u);
    float x = float(item.column - 1), y = float(item.row - s.origin_row - 1);
    if (f <= 2) {
        if (item.release != d.released) {
            d.released = item.release;
            if (!item.release) d.last_button = f;
            to.button(uint32_t(f * 2 + (item.release ? 1 : 0) + 1), x, y, flags);
        } else {
            to.over(x, y, flags | (FLAG_DOWN >> f));
        }
    } else if (f == 3) {
        to.over(x, y, flags);
    } else if (f == 4 || f == 5) {
        to.wheel(x, y, f == 4 ? 1.0f : -1.0f, flags);
    }
}

void act(Decoder& d, const Item& item, Dispatch* to) {
    if (item.kind == Kind::REPORT) {
        State& s = state();
        s.origin_row = std::max(0, item.row - 1);
        s.origin_column = std::max(0, item.column - 1);
        if (s.unanswered_queries > 0) --s.unanswered_queries;
        if (to) to->cursor_report(s.origin_row, s.origin_column);
        return;
    }
    if (!to) return;
    switch (item.kind) {
    case Kind::KEY:
        to->key(item.code, false);
        break;
    case Kind::SPECIAL:
        to->key(item.code, true);
        break;
    case Kind::MOUSE:
        mouse(d, item, *to);
        break;
    default:
        break;
    }
}

}  // namespace

int64_t read_console(bool process) {
    Decoder& d = decoder();
    if (d.ended || !state().active) return 0;
    uint8_t buffer[4096];
    int64_t total = 0;
    for (int32_t i = 0; i < READS_PER_FRAME; ++i) {
        int64_t n = os().read_input(buffer, int64_t(sizeof buffer));
        if (n < 0) break;
        if (n == 0) {
            d.ended = true;
            break;
        }
        total += n;
        if (process) d.queue.append(reinterpret_cast<const char*>(buffer), size_t(n));
    }
    return total;
}

void wait_input(int32_t ms) {
    if (decoder().ended || !state().active) return;
    os().wait_input(ms);
}

void decode_input(Dispatch* to) {
    Decoder& d = decoder();
    // The queue is read again after every action: a handler may have run a
    // nested loop that cleared it or decoded more of it.
    while (!d.queue.empty()) {
        Item item;
        if (!parse(d, item)) return;
        d.esc_waited = false;
        d.queue.erase(0, item.length);
        act(d, item, to);
    }
}

void clear_input() {
    Decoder& d = decoder();
    d.queue.clear();
    d.esc_waited = false;
    d.skipping = 0;
}

bool input_ended() { return decoder().ended; }

const std::string& input_queue() { return decoder().queue; }

void queue_input(const std::string& bytes) { decoder().queue += bytes; }

void reset_input_state() {
    Decoder& d = decoder();
    d.released = true;
    d.last_button = 0;
    d.ended = false;
}

}  // namespace kel::gui
