#include "runtime/checksum/methods.h"

#include "runtime/datatypes/symbol-set.h"

namespace kel::checksum {

namespace {

constexpr const char* spellings[METHOD_COUNT] = {"tcp",    "md5",    "sha1",   "crc32", "adler32",
                                                 "sha256", "sha384", "sha512", "hash"};
SymbolSet words{spellings};

}  // namespace

void init() { words.init(); }

int32_t symbol_of(Method method) { return words.symbol(size_t(method)); }

std::optional<Method> method_of(int32_t symbol) { return words.find_as<Method>(symbol); }

int32_t method_index(Method method) {
    switch (method) {
    case Method::tcp:
        return 0;
    case Method::crc32:
        return 1;
    case Method::adler32:
    case Method::hash:
        return -1;
    default:
        return int32_t(*digest_of(method));
    }
}

std::optional<Digest> digest_of(Method method) {
    switch (method) {
    case Method::md5:
        return Digest::md5;
    case Method::sha1:
        return Digest::sha1;
    case Method::sha256:
        return Digest::sha256;
    case Method::sha384:
        return Digest::sha384;
    case Method::sha512:
        return Digest::sha512;
    default:
        return std::nullopt;
    }
}

}  // namespace kel::checksum
