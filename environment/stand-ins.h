// Stand-ins for natives that are not in the native table yet: routine!
// values made for the words that still have no value after the natives are
// made (start-up's first library step). Temporary: each goes as soon as its
// native is registered, without a change here.
#pragma once

namespace kel::library {

void define_stand_ins();

}  // namespace kel::library
