// date! text: day, month abbreviation and year, then the local time and the
// zone: 1-Jul-2021/9:05:03.5+05:30. form and mold write the same text. The
// month names are read from system/locale/months at every use.
#include <cstdlib>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/date-internal.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/time.h"
#include "runtime/evaluator/system-fields.h"

namespace kel::date {

namespace {

// Up to three code points of month n's name; script/invalid-months when the
// list has no such entry or it is no string!.
int32_t month_abbreviation(int32_t n, uint32_t out[3]) {
    static const int32_t locale = symbol::make("locale");
    static const int32_t months = symbol::make("months");
    Cell list = system_fields::get({locale, months});
    if (type_of(list) != TYPE_BLOCK || n < 1 || block::ks_length(list) < n) fire(ErrorId::script_invalid_months);
    Cell name = block::ks_head(list)[n - 1];
    if (type_of(name) != TYPE_STRING) fire(ErrorId::script_invalid_months);
    int32_t length = string::ks_length(name);
    int32_t count = length < 3 ? length : 3;
    int32_t head = int32_t(name.data1);
    for (int32_t i = 0; i < count; ++i) out[i] = string::get_char_at(name, head + i);
    return count;
}

void put_number(char* text, int32_t& length, int32_t n, int32_t width) {
    char digits[12];
    int32_t k = 0;
    do {
        digits[k++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (k < width) digits[k++] = '0';
    while (k > 0) text[length++] = digits[--k];
}

int64_t write(const Cell& d, Cell buffer, int64_t limit) {
    uint32_t word = d.data1;
    uint32_t month[3];
    int32_t month_length = month_abbreviation(month_of(word), month);
    int32_t year = year_of(word);
    char separator = year < 0 ? '/' : '-';
    char text[32];
    int32_t length = 0;
    put_number(text, length, day_of(word), 1);
    text[length++] = separator;
    string::append_c_string_part(buffer, text, length);
    SeriesBuffer* b = string::buffer(buffer);
    for (int32_t i = 0; i < month_length; ++i) b = string::append_char(b, month[i]);
    limit -= length + month_length;
    length = 0;
    text[length++] = separator;
    if (year < 0) text[length++] = '-';
    put_number(text, length, std::abs(year), 4 * (std::abs(year) < 100));
    if (has_time(word)) text[length++] = '/';
    string::append_c_string_part(buffer, text, length);
    limit -= length;
    if (!has_time(word)) return limit;
    limit = time_::form_hms(cell_double(d) + zone_seconds(zone_of(word)), buffer, limit);
    uint32_t zone = zone_of(word);
    if (zone == 0) return limit;
    length = 0;
    text[length++] = (zone & ZONE_SIGN) ? '-' : '+';
    put_number(text, length, int32_t(zone >> 2 & 0xF), 2);
    text[length++] = ':';
    put_number(text, length, int32_t(zone & 3) * 15, 2);
    string::append_c_string_part(buffer, text, length);
    return limit - length;
}

}  // namespace

int64_t form(Cell value, Cell buffer, bool, int64_t limit) { return write(value, buffer, limit); }

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) { return write(value, buffer, options.limit); }

}  // namespace kel::date
