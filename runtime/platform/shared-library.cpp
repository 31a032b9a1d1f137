#include "runtime/platform/shared-library.h"

#include <dlfcn.h>

#include <atomic>

namespace kel::platform {

namespace {
std::atomic<bool> refused{false};
}

SharedLibrary::SharedLibrary(const char* soname) {
    handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    complete_ = handle_ != nullptr;
}

void* SharedLibrary::symbol(const char* name) { return handle_ ? dlsym(handle_, name) : nullptr; }

RefusedLoading::RefusedLoading() : before_(refused.exchange(true)) {}
RefusedLoading::~RefusedLoading() { refused.store(before_); }
bool loading_refused() { return refused.load(std::memory_order_relaxed); }

}  // namespace kel::platform
