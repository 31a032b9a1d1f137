// Services that natives hand work to but that later modules provide: money!,
// image!, the boot library's `do-file` and `show-memory-stats`, the
// preprocessor's `expand` and the child-process layer.
//
// Each service is one function pointer, null until its module installs it at
// start-up; a native reaches it only through `need`, which raises
// internal/not-done while it is missing. So the module that arrives later
// changes no native: it fills its entry and the native's behaviour appears.
// A test that replaces an entry puts the old one back.
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
    // image!: whether the position has pixels left, and the loop step that
    // sets the words (one word, or a block of n) from the pixels there.
    bool (*image_values_left)(const Cell& image) = nullptr;
    void (*image_set_loop_words)(const Cell& words, int32_t n, const Cell& image) = nullptr;
    // do of a file! or url!: the library's do-file with the script's
    // arguments (none without /args); the result into out.
    void (*do_file)(Cell* out, const Cell& file, const Cell& args) = nullptr;
    // do/expand: the preprocessor expands the block in place.
    void (*expand)(const Cell& block) = nullptr;
    // The boot library's `show-memory-stats`, given the block `stats/info`
    // makes.
    void (*show_memory_stats)(const Cell& stats) = nullptr;
    // The child-process layer behind `call`: the command (string!, or a
    // file! already turned into its local form) and the refinements; answers
    // 0, -1 or a process id.
    int32_t (*run_command)(const Cell& command, const CallOptions& options) = nullptr;
};

// The services as installed now.
Services& services();

// The service, or internal/not-done while its module has not installed it.
template <class Fn>
Fn need(Fn fn) {
    if (!fn) [[unlikely]]
        fire(ErrorId::internal_not_done);
    return fn;
}

}  // namespace kel::natives
