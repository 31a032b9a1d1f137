// The routines of the image codec objects in system/codecs.
#pragma once

#include "environment/boot/routine-table.h"
#include "runtime/core/cell.h"

namespace kel::library {

// Sets encode and decode of the png, jpeg, bmp, gif and tiff objects of the
// codecs map.
void install_image_codecs(const Cell& codecs);

}  // namespace kel::library
