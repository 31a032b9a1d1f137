// Start-up from the boot image or from the library's source, seen from a
// fresh process:
//
//   boot-probe dump image|source   builds the environment from the embedded
//                                  image or from the source path, then
//                                  prints every global word with its type,
//                                  the class id of every global object, and
//                                  the spec and body of every library
//                                  function (global, or a field of a global
//                                  object)
//   boot-probe lexer-runs          the scans start-up runs
//   boot-probe file PATH           builds the environment from the image
//                                  in the file
//   boot-probe keep-base PATH      after start-up, loads the image in the
//                                  file again with keep-base, once with the
//                                  collector on and once with it off
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/core/system.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"

using namespace kel;

namespace {

const char DUMP[] = R"(
show-fn: func [name f] [
    print [name mold/flat/all spec-of :f]
    print [name mold/flat/all body-of :f]
]
foreach w sort words-of system/words [
    set/any 'v get/any w
    print [w type? get/any 'v]
    if function? get/any 'v [show-fn w :v]
    if object? get/any 'v [print [w "class" class-of v]]
    if all [object? get/any 'v w <> 'system] [
        foreach f words-of v [
            set/any 'fv get/any in v f
            if function? get/any 'fv [show-fn rejoin [w "/" f] :fv]
        ]
    ]
]
)";

std::vector<uint8_t> read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool same_cell(const Cell& a, const Cell& b) { return std::memcmp(&a, &b, sizeof(Cell)) == 0; }

// Loads the image again with keep-base, the collector set to `on` first.
void load_keeping_base(const std::vector<uint8_t>& image, bool on) {
    collector::set_active(on);
    uint32_t base = roots::literal_base();
    Cell first = *roots::get_root(0);
    kelbin::boot_load(image.data(), image.size(), true);
    std::printf("collector %s: base %s, literal 0 %s, collector %s\n", on ? "on" : "off",
                roots::literal_base() == base ? "kept" : "moved",
                same_cell(*roots::get_root(0), first) ? "unchanged" : "changed",
                collector::active() == on ? "restored" : "not restored");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string mode = argv[1];
    start_runtime();
    with_root_catch([&] {
        if (mode == "dump" && argc == 3) {
            boot::build(std::strcmp(argv[2], "source") == 0 ? boot::Image{} : boot::embedded_image());
            Cell* code = stack::push(make_none());
            lexer::scan(code, reinterpret_cast<const uint8_t*>(DUMP), int64_t(sizeof DUMP - 1), lexer::Options{});
            (void)interpreter::eval(*code, false);
        } else if (mode == "lexer-runs") {
            uint64_t before = lexer::runs();
            boot::build();
            std::printf("image %s, lexer runs %llu\n", boot::embedded_image().size ? "embedded" : "absent",
                        static_cast<unsigned long long>(lexer::runs() - before));
        } else if (mode == "file" && argc == 3) {
            std::vector<uint8_t> image = read_file(argv[2]);
            boot::build(boot::Image{image.data(), image.size()});
            std::printf("booted\n");
        } else if (mode == "keep-base" && argc == 3) {
            boot::build();
            std::vector<uint8_t> image = read_file(argv[2]);
            load_keeping_base(image, true);
            load_keeping_base(image, false);
        }
    });
    std::fflush(stdout);
    end_process(0);
}
