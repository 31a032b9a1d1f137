// money! text: sign, currency code, "$", the integer digits (grouped by
// threes with "'" in form) and the fraction digits that
// system/options/money-digits asks for, truncated: form $1'234.50, mold
// $1234.50, mold/all $1234.50000.
#include <string>

#include "runtime/datatypes/money-internal.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/system-fields.h"

namespace kel::money {

int32_t shown_fraction_digits() {
    static const int32_t options = symbol::make("options");
    static const int32_t money_digits = symbol::make("money-digits");
    Cell n = system_fields::get({options, money_digits});
    if (type_of(n) != TYPE_INTEGER) return 2;
    int32_t c = int32_t(n.data2);
    return c > FRACTION_DIGITS ? FRACTION_DIGITS : c < 0 ? 0 : c;
}

int64_t form_text(const Cell& money, Cell buffer, int64_t limit, bool all, bool grouping) {
    Scaled v = amount(money);
    std::string text;
    if (v < 0) text += '-';
    if (uint32_t index = currency_of(money)) {
        Cell code = currency_word(index);
        if (word::is_any_word(type_of(code))) {
            uint32_t length = 0;
            const uint8_t* spelling = symbol::spelling(word::symbol_of(code), &length);
            text.append(reinterpret_cast<const char*>(spelling), length);
        }
    }
    text += '$';
    Scaled m = v < 0 ? -v : v;
    char digits[DIGITS];
    for (int32_t k = DIGITS - 1; k >= 0; --k) {
        digits[k] = char('0' + int(m % 10));
        m /= 10;
    }
    int32_t first = 0;
    while (first < INTEGER_DIGITS - 1 && digits[first] == '0') ++first;
    for (int32_t k = first; k < INTEGER_DIGITS; ++k) {
        text += digits[k];
        int32_t position = k + 1;
        if (grouping && (position == 2 || position == 5 || position == 8 || position == 11 || position == 14))
            text += '\'';
    }
    int32_t c = all ? FRACTION_DIGITS : shown_fraction_digits();
    if (c > 0) {
        text += '.';
        text.append(digits + INTEGER_DIGITS, size_t(c));
    }
    string::append_c_string_part(buffer, text.data(), int32_t(text.size()));
    return limit - int64_t(text.size());
}

int64_t form(Cell value, Cell buffer, bool, int64_t limit) { return form_text(value, buffer, limit, false, true); }

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form_text(value, buffer, options.limit, options.all, false);
}

}  // namespace kel::money
