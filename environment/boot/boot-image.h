// The boot image's bytes in the executable: the build's image tool
// (tools/make-boot-image.cpp) writes the file, a generated assembler file
// embeds it as read-only data with .incbin, 16-byte aligned, and start-up
// decodes it in place. A build that boots from the library's source
// (KEL_BOOT_SOURCE, and the image tool itself) links
// environment/boot/no-image.cpp instead: size 0.
#pragma once
#include <cstdint>

extern "C" {
extern const unsigned char kel_boot_image[];
extern const uint64_t kel_boot_image_size;
}
