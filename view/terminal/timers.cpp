#include "view/terminal/timers.h"

#include <cmath>
#include <vector>

#include "runtime/core/fire.h"

namespace kel::gui {

namespace {

struct Timer {
    uint32_t widget = 0;
    int32_t interval = 0;
    int32_t elapsed = 0;
    TimerCallback callback = nullptr;
    bool once = false;  // fires once, then stays done
    bool done = false;
    bool removed = false;  // swept when no pass runs
};

std::vector<Timer> timers;
int32_t passes = 0;  // nesting of run_timers (a callback may run a loop)

void sweep() {
    if (passes > 0) return;
    std::erase_if(timers, [](const Timer& t) { return t.removed; });
}

}  // namespace

void add_timer(uint32_t widget, int32_t interval_ms, TimerCallback callback) {
    timers.push_back(Timer{widget, interval_ms, 0, callback});
}

void remove_timer(uint32_t widget) {
    for (size_t i = timers.size(); i-- > 0;)
        if (!timers[i].removed && timers[i].widget == widget) {
            timers[i].removed = true;
            break;
        }
    sweep();
}

void remove_timers_of(uint32_t widget) {
    for (Timer& t : timers)
        if (t.widget == widget) t.removed = true;
    sweep();
}

void set_rate(uint32_t widget, const Cell& rate, TimerCallback callback) {
    if (type_of(rate) == TYPE_NONE) return remove_timer(widget);
    if (type_of(rate) == TYPE_INTEGER && cell_integer(rate) > 0)
        return add_timer(widget, 1000 / cell_integer(rate), callback);
    if (type_of(rate) == TYPE_TIME) {
        double ms = std::trunc(cell_double(rate) * 1000.0);
        // A time too long for the millisecond count fires never in practice.
        if (ms > 0) return add_timer(widget, ms < 2147483647.0 ? int32_t(ms) : 2147483647, callback);
        if (cell_double(rate) > 0) return add_timer(widget, 0, callback);
    }
    fire(ErrorId::script_invalid_facet_type, {rate});
}

void run_timers(int32_t elapsed_ms) {
    ++passes;
    // By index, with the length read again at every step: a callback may
    // append timers or mark them removed, and nothing here outlives it.
    for (size_t i = 0; i < timers.size(); ++i) {
        if (timers[i].removed) continue;
        int64_t sum = int64_t(timers[i].elapsed) + elapsed_ms;
        timers[i].elapsed = sum > 2147483647 ? 2147483647 : int32_t(sum);
        if (timers[i].done || timers[i].elapsed < timers[i].interval) continue;
        uint32_t widget = timers[i].widget;
        TimerCallback callback = timers[i].callback;
        try {
            callback(widget);
        } catch (...) {
            --passes;
            sweep();
            throw;
        }
        if (i < timers.size() && !timers[i].removed) {
            timers[i].elapsed = 0;
            timers[i].done = timers[i].once;
        }
    }
    --passes;
    sweep();
}

size_t timer_count() {
    size_t n = 0;
    for (const Timer& t : timers) n += t.removed ? 0 : 1;
    return n;
}

void clear_timers() {
    for (Timer& t : timers) t.removed = true;
    sweep();
}

}  // namespace kel::gui
