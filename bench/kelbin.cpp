// Start-up's loading of the library: decoding the boot image in boot mode
// (set records, the library's blocks, the routines' specs) against lexing
// the library's text entries, in the same process. Prints both and the
// ratio (below 1: the image is faster).
#include <cstdio>

#include "bench/bench.h"
#include "environment/boot/boot.h"
#include "environment/boot/library-image.h"
#include "runtime/datatypes/block.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/lexer.h"
#include "tests/boot-library.h"

using namespace kel;

int main() {
    test::boot_library();
    boot::Image image = boot::embedded_image();
    if (image.size == 0) {
        std::printf("no boot image in this build (KEL_BOOT_SOURCE)\n");
        return 0;
    }
    double decode = bench::best_of(30, [&] {
        Cell* top = stack::top();
        Cell* into = block::push_only(1);
        kelbin::decode_boot(image.data, image.size, *into);
        stack::pop(uint32_t(stack::top() - top));
    });
    double lex = bench::best_of(30, [] {
        Cell* top = stack::top();
        for (int i = 0; i < library::piece_count; ++i) {
            if (!library::pieces[i].text) continue;
            Cell* out = stack::push(make_none());
            lexer::scan(out, library::pieces[i].text, library::pieces[i].size, lexer::Options{});
        }
        stack::pop(uint32_t(stack::top() - top));
    });
    bench::report("decode the boot image", decode, lex, "lex the library text");
    return 0;
}
