// The method words of `checksum`: tcp, md5, sha1, crc32, adler32, sha256,
// sha384, sha512 and hash, interned in lower case in that order by `init`
// (once, at start-up) and recognised by case-folded symbol, so that 'MD5 and
// 'md5 name the same method.
#pragma once
#include <cstdint>
#include <optional>

#include "runtime/checksum/digest.h"

namespace kel::checksum {

// In the order the symbols are made.
enum class Method : uint8_t { tcp, md5, sha1, crc32, adler32, sha256, sha384, sha512, hash };
inline constexpr int METHOD_COUNT = 9;

// Interns the nine method symbols; later calls do nothing.
void init();
// The symbol id of a method (after init).
int32_t symbol_of(Method method);
// The method a symbol names, compared ignoring case; none for other symbols.
std::optional<Method> method_of(int32_t symbol);

// The method index of the digest and HMAC operations: tcp 0, crc32 1, md5 2,
// sha1 3, sha256 4, sha384 5, sha512 6; -1 for adler32 and hash.
int32_t method_index(Method method);
// The digest a method computes; none for tcp, crc32, adler32 and hash.
std::optional<Digest> digest_of(Method method);

}  // namespace kel::checksum
