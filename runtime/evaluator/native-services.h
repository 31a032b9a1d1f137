// Services that natives reach in modules which come later: money!, map!,
// file! paths, the boot library's `show-memory-stats` and the child-process
// layer. Each module fills its entry when it starts; until then the natives
// that need it raise internal/not-done (`need`), so none of them names a
// function of a module that does not exist yet.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/fire.h"

namespace kel::natives {

// The refinements of `call`, as the child-process layer takes them: a null
// redirection is one that was not asked for.
struct CallOptions {
    bool wait = false;
    bool show = false;
    bool console = false;
    bool shell = false;
    const Cell* input = nullptr;
    const Cell* output = nullptr;
    const Cell* error = nullptr;
};

struct Services {
    // money!: the sign of the amount (-1, 0, 1), behind negative?, positive?,
    // sign? and zero?.
    int32_t (*money_sign)(const Cell& money) = nullptr;
    // money!: `as-money`: the amount (integer! or float!) in the currency the
    // word names, into *out; an unknown currency raises script/bad-denom.
    void (*make_money)(Cell* out, const Cell& currency, const Cell& amount) = nullptr;
    // map!: a new map! in *out holding the key and value pairs of the block.
    void (*map_from_block)(Cell* out, const Cell& pairs) = nullptr;
    // map!: `extend` adds the pairs of spec (block!, hash! or map!) to the map.
    void (*extend_map)(const Cell& map, const Cell& spec, bool case_sensitive) = nullptr;
    // The boot library's `show-memory-stats`, given the block `stats/info`
    // makes.
    void (*show_memory_stats)(const Cell& stats) = nullptr;
    // The child-process layer behind `call`: the command (string!, or a
    // file! already turned into its local form) and the refinements; answers
    // 0, -1 or a process id.
    int32_t (*run_command)(const Cell& command, const CallOptions& options) = nullptr;
};

Services& services();

// The service, or internal/not-done while its module has not installed it.
template <class Fn>
Fn need(Fn fn) {
    if (!fn) [[unlikely]] fire(ErrorId::internal_not_done);
    return fn;
}

}  // namespace kel::natives
