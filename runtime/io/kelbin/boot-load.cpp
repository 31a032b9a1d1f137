// Start-up's load of the boot image: failures end the process with a
// message, since nothing can run without the library.
#include <cstdio>

#include "runtime/core/exit-status.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {
namespace {

[[noreturn]] void fail(const char* message) {
    std::fflush(stdout);
    std::printf("%s\n", message);
    std::fflush(stdout);
    end_process(exit_status::UNCAUGHT_ERROR);
}

}  // namespace

uint32_t boot_load(const uint8_t* image, size_t size, bool keep_base) {
    OpenedFile file;
    switch (open_file(image, size, false, file)) {
    case LeadError::not_kelbin:
        fail("Error: Not a Kelbin file!");
    case LeadError::corrupt:
        fail("Error: Kelbin compressed data corrupted!");
    case LeadError::none:
        break;
    }
    bool collecting = collector::active();
    collector::set_active(false);
    uint32_t saved = roots::literal_base();
    Cell literals = roots::literal_block();
    uint32_t base = uint32_t(block::buffer(literals)->cell_count());
    uint32_t code = protect(catch_level::ERRORS, [&] { read_records(file, literals, true); });
    if (code) {
        const ErrorInFlight& e = error_in_flight();
        if (e.id == ErrorId::script_kb_invalid_record && e.argc > 0) {
            // The catalog's message of kb-invalid-record with its position.
            std::fflush(stdout);
            std::printf("Error: KELBIN - invalid record at index %d\n", cell_integer(e.args[0]));
            std::fflush(stdout);
            end_process(exit_status::UNCAUGHT_ERROR);
        }
        print_error_in_flight();
        end_process(exit_status::UNCAUGHT_ERROR);
    }
    roots::set_literal_base(keep_base ? saved : base);
    collector::set_active(collecting);
    return base;
}

}  // namespace kel::kelbin
