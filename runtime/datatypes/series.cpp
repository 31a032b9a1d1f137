// series!: registration, the services that later modules install, and the
// owner notification every modifying action goes through.
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/memory/ownership.h"

namespace kel::series {

Services& services() {
    static Services s;
    return s;
}

int check(const Cell& s, Change change, const Cell* new_value, int32_t index, int32_t part) {
    Services& sv = services();
    if (!sv.check_owner) return 0;
    // Only series with an entry in the ownership table carry the flag.
    if (!(buffer(s)->flags & ownership::OWNED_FLAG)) return 0;
    return sv.check_owner(s, change, new_value, index, part);
}

void init() {
    datatype::Record r(TYPE_SERIES, 0, "series!");
    r.own<ACTION_RANDOM>(random)
        .own<ACTION_REFLECT>(reflect)
        .own<ACTION_AT>(at)
        .own<ACTION_BACK>(back)
        .own<ACTION_CLEAR>(clear)
        .own<ACTION_HEAD>(head)
        .own<ACTION_HEAD_Q>(head_q)
        .own<ACTION_INDEX_Q>(index)
        .own<ACTION_LENGTH_Q>(length)
        .own<ACTION_NEXT>(next)
        .own<ACTION_PICK>(pick)
        .own<ACTION_POKE>(poke)
        .own<ACTION_SKIP>(skip)
        .own<ACTION_TAIL>(tail)
        .own<ACTION_TAIL_Q>(tail_q)
        .own<ACTION_MODIFY>(modify)
        .own<ACTION_MOVE>(move)
        .own<ACTION_REMOVE>(remove)
        .own<ACTION_REVERSE>(reverse)
        .own<ACTION_TAKE>(take)
        .own<ACTION_COPY>(copy);
    datatype::register_type(r);
}

}  // namespace kel::series
