// Services that natives hand work to but that later modules provide: the
// map! and image! datatypes, the library's `do-file` and the preprocessor's
// `expand`.
//
// Each service is one function pointer, filled with a stand-in that raises
// internal/not-done until its module installs the real one at start-up. A
// native calls the pointer and nothing else, so the module that arrives
// later changes no native: it fills its entry and the native's behaviour
// appears. A module installs by assigning its entry of `services()`; a
// test that replaces an entry puts the old one back.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::natives {

struct Services {
    // foreach over a map! with the block of two words: sets them to the key
    // and value at the position (a cell that stays put) and answers whether
    // a pair was left there. The caller then advances the position by 2.
    bool (*map_set_loop_words)(const Cell& words, const Cell& position);
    // Item `index` (1-based) of a map's keys and values in storage order,
    // none past its end: what `set` with a block of words takes from a map.
    void (*map_item)(Cell* out, const Cell& map, int32_t index);
    // extend of a map!: the key and value pairs of spec added; answers nothing,
    // the map is changed in place.
    void (*map_extend)(const Cell& map, const Cell& spec, bool case_sensitive);
    // image!: whether the position has pixels left, and the loop step that
    // sets the words (one word, or a block of n) from the pixels there.
    bool (*image_values_left)(const Cell& image);
    void (*image_set_loop_words)(const Cell& words, int32_t n, const Cell& image);
    // do of a file! or url!: the library's do-file with the script's
    // arguments (none without /args); the result into out.
    void (*do_file)(Cell* out, const Cell& file, const Cell& args);
    // do/expand: the preprocessor expands the block in place.
    void (*expand)(const Cell& block);
};

// The services as installed now (stand-ins until then).
Services& services();

}  // namespace kel::natives
