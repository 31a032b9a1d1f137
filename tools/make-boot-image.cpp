// Writes the boot image (environment/boot/boot.h, make_image) to the file
// named by its one argument, then reads it back in boot mode as a check: a
// build never embeds an image that start-up cannot read.
//
//   make-boot-image OUTPUT
#include <cstdio>

#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/kelbin/kelbin.h"

using namespace kel;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-boot-image OUTPUT\n");
        return 2;
    }
    start_runtime();
    with_root_catch([&] {
        std::vector<uint8_t> image = boot::make_image();
        Cell* check = block::push_only(1);
        kelbin::decode_boot(image.data(), image.size(), *check);
        std::FILE* f = std::fopen(argv[1], "wb");
        if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "make-boot-image: cannot write %s\n", argv[1]);
            end_process(1);
        }
    });
    end_process(0);
}
