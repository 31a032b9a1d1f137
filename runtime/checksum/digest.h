// The cryptographic digests MD5, SHA-1, SHA-256, SHA-384 and SHA-512, computed
// by OpenSSL's EVP interface (libcrypto, opened on the first digest), and
// HMAC (RFC 2104) over them.
//
// Every call reports failure instead of answering undefined bytes: a library
// that cannot be opened, a digest it refuses (not built in, disabled by its
// configuration) or a failed library call gives no value, and the caller
// raises its error.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kel::checksum {

// The digest methods, numbered as the method index of the checksum methods
// (tcp 0 and crc32 1 have no digest).
enum class Digest : uint8_t { md5 = 2, sha1 = 3, sha256 = 4, sha384 = 5, sha512 = 6 };

inline constexpr uint32_t MAX_DIGEST_SIZE = 64;

// 16, 20, 32, 48 and 64 bytes.
uint32_t digest_size(Digest method);
// The HMAC block size: 128 bytes for SHA-384 and SHA-512, 64 for the others.
uint32_t block_size(Digest method);

// A digest: its first `size` bytes are the value, the rest are 0.
struct DigestValue {
    std::array<uint8_t, MAX_DIGEST_SIZE> bytes{};
    uint32_t size = 0;
    std::span<const uint8_t> view() const { return {bytes.data(), size}; }
};

// A digest computed over pieces: update with each, then finish once. A
// context whose set-up failed answers false from every call.
class DigestContext {
public:
    explicit DigestContext(Digest method);
    ~DigestContext();
    DigestContext(const DigestContext&) = delete;
    DigestContext& operator=(const DigestContext&) = delete;

    bool update(std::span<const uint8_t> bytes);
    std::optional<DigestValue> finish();

private:
    void* context_;  // EVP_MD_CTX
    bool ok_;
};

// The digest of the bytes, or none when the library fails.
std::optional<DigestValue> digest(Digest method, std::span<const uint8_t> bytes);

// HMAC of the bytes under the key (RFC 2104): a key longer than the block
// size is replaced by its digest; inner = digest((key ^ 0x36...) + bytes),
// result = digest((key ^ 0x5C...) + inner), the key zero-padded to a block.
std::optional<DigestValue> hmac(Digest method, std::span<const uint8_t> bytes, std::span<const uint8_t> key);

}  // namespace kel::checksum
