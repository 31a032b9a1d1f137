// No boot image: start-up takes the source path (environment/boot/boot-image.h).
#include "environment/boot/boot-image.h"

extern "C" {
alignas(16) const unsigned char kel_boot_image[1] = {0};
const uint64_t kel_boot_image_size = 0;
}
