// date! mold and money! arithmetic against references in the same run:
// mold of dates with time and zone into a string against snprintf of the
// same fields (target: within 3x), and money add and multiply through the
// action slots against float! through the same slots (target: within 4x).
#include <cstdio>
#include <random>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace {

using namespace kel;

// Runs the action slot on the two values as the dispatcher does: a frame of
// the two cells, the result in its first.
template <int A>
Cell through_slot(const Cell& a, const Cell& b) {
    auto fn = reinterpret_cast<ActionSlot<A>::type>(datatype::slot(type_of(a), A));
    Cell* saved_arguments = stack::state.arguments;
    Cell* saved_top = stack::state.top;
    stack::state.arguments = stack::state.top;
    stack::push(a);
    stack::push(b);
    fn();
    Cell r = stack::state.arguments[0];
    stack::state.arguments = saved_arguments;
    stack::state.top = saved_top;
    return r;
}

}  // namespace

int main() {
    start_runtime();
    boot::build();
    const size_t n = 1000000;
    const int rounds = 3;
    std::mt19937 rng(7);
    std::vector<Cell> dates;
    dates.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        Cell d;
        int zone = int(rng() % 31) - 15;
        date::make_at(d, 1900 + int(rng() % 200), 1 + int(rng() % 12), 1 + int(rng() % 28),
                      double(rng() % 86400) + (rng() % 2 ? 0.5 : 0.0), zone < 0, zone < 0 ? -zone : zone,
                      int(rng() % 4) * 15, true);
        dates.push_back(d);
    }
    uint64_t sink = 0;
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    double reference = bench::best_of(rounds, [&] {
        char buffer[64];
        for (const Cell& d : dates) {
            Cell f = d;
            double local = cell_double(f) + date::zone_seconds(date::zone_of(f.data1));
            uint32_t z = date::zone_of(f.data1);
            sink += uint64_t(std::snprintf(
                buffer, sizeof buffer, "%d-%s-%d/%d:%02d:%02g%c%02d:%02d", date::day_of(f.data1),
                months[date::month_of(f.data1) - 1], date::year_of(f.data1), int(local / 3600), int(local / 60) % 60,
                local - 60 * int(local / 60), (z & date::ZONE_SIGN) ? '-' : '+', int(z >> 2 & 15), int(z & 3) * 15));
        }
    });
    Cell buffer{TYPE_STRING, 0, memory::alloc_codepoints(64, 1), 0};
    Rooted keep(buffer);
    double mold = bench::best_of(rounds, [&] {
        MoldOptions o;
        for (const Cell& d : dates) {
            string::ks_reset(buffer);
            sink += uint64_t(o.limit - actions::mold(d, buffer, o));
        }
    });
    std::printf("%zu values, best of %d\n", n, rounds);
    bench::report("date! mold (slot into a string)", mold, reference, "snprintf of the fields");

    std::vector<Cell> amounts, floats;
    amounts.reserve(n);
    floats.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        money::Scaled v = money::Scaled(rng() % 100000000) * 1000 + rng() % 1000;
        amounts.push_back(money::make_cell(rng() % 2 ? -v : v, 0));
        floats.push_back(float_::make_cell(double(v) / 1e5));
    }
    double float_add = bench::best_of(rounds, [&] {
        for (size_t i = 0; i + 1 < n; ++i) sink += through_slot<ACTION_ADD>(floats[i], floats[i + 1]).data2;
    });
    double money_add = bench::best_of(rounds, [&] {
        for (size_t i = 0; i + 1 < n; ++i) sink += through_slot<ACTION_ADD>(amounts[i], amounts[i + 1]).data2;
    });
    Cell three = float_::make_cell(3.0);
    double float_multiply = bench::best_of(rounds, [&] {
        for (size_t i = 0; i + 1 < n; ++i) sink += through_slot<ACTION_MULTIPLY>(floats[i], three).data2;
    });
    Cell two = make_integer(3);
    double money_multiply = bench::best_of(rounds, [&] {
        for (size_t i = 0; i + 1 < n; ++i) sink += through_slot<ACTION_MULTIPLY>(amounts[i], two).data2;
    });
    bench::report("money! add (slot)", money_add, float_add, "float! add (slot)");
    bench::report("money! multiply by an integer (slot)", money_multiply, float_multiply, "float! multiply (slot)");
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(sink));
    return 0;
}
