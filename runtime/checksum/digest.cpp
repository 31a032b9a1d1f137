#include "runtime/checksum/digest.h"

#include <openssl/evp.h>
#include <openssl/opensslv.h>

#include "runtime/platform/shared-library.h"

namespace kel::checksum {

namespace {

// libcrypto is opened on the first digest, not linked: loading and relocating
// it costs every run of the executable, and most runs never ask for a digest.
// The soname is that of the headers the calls are compiled against.
#define KEL_CRYPTO_TEXT(x) #x
#define KEL_CRYPTO_SONAME(version) "libcrypto.so." KEL_CRYPTO_TEXT(version)

struct Crypto {
    static constexpr const char* SONAME = KEL_CRYPTO_SONAME(OPENSSL_SHLIB_VERSION);
    decltype(&EVP_MD_fetch) md_fetch;
    decltype(&EVP_MD_get_size) md_get_size;
    decltype(&EVP_MD_CTX_new) context_new;
    decltype(&EVP_MD_CTX_free) context_free;
    decltype(&EVP_DigestInit_ex2) init;
    decltype(&EVP_DigestUpdate) update;
    decltype(&EVP_DigestFinal_ex) final;

    bool bind(platform::SharedLibrary& library) {
        library.resolve(md_fetch, "EVP_MD_fetch");
        library.resolve(md_get_size, "EVP_MD_get_size");
        library.resolve(context_new, "EVP_MD_CTX_new");
        library.resolve(context_free, "EVP_MD_CTX_free");
        library.resolve(init, "EVP_DigestInit_ex2");
        library.resolve(update, "EVP_DigestUpdate");
        library.resolve(final, "EVP_DigestFinal_ex");
        return true;
    }
};

// The library's functions, or null when it or one of them cannot be found
// (then every digest fails and its caller raises its error).
const Crypto* crypto() { return platform::load_api<Crypto>(); }

// The library of a context that exists: it was loaded when the context was
// made (a test may refuse loading to callers since).
const Crypto& in_use() { return *platform::opened_api<Crypto>(); }

const char* name_of(Digest method) {
    switch (method) {
    case Digest::md5:
        return "MD5";
    case Digest::sha1:
        return "SHA1";
    case Digest::sha256:
        return "SHA256";
    case Digest::sha384:
        return "SHA384";
    case Digest::sha512:
        return "SHA512";
    }
    return nullptr;
}

// The algorithm, fetched from the default library context once and kept for
// the rest of the run (fetching is the costly part of starting a digest). A
// failed fetch is tried again next time.
EVP_MD* algorithm(const Crypto& library, Digest method) {
    static EVP_MD* fetched[8] = {};
    auto index = size_t(method);
    if (index >= 8) return nullptr;
    if (!fetched[index]) {
        const char* name = name_of(method);
        if (name) fetched[index] = library.md_fetch(nullptr, name, nullptr);
    }
    return fetched[index];
}

}  // namespace

uint32_t digest_size(Digest method) {
    switch (method) {
    case Digest::md5:
        return 16;
    case Digest::sha1:
        return 20;
    case Digest::sha256:
        return 32;
    case Digest::sha384:
        return 48;
    case Digest::sha512:
        return 64;
    }
    return 0;
}

uint32_t block_size(Digest method) { return method == Digest::sha384 || method == Digest::sha512 ? 128 : 64; }

DigestContext::DigestContext(Digest method) : context_(nullptr), ok_(false) {
    const Crypto* library = crypto();
    if (!library) return;
    context_ = library->context_new();
    EVP_MD* md = algorithm(*library, method);
    // The library's size must be the method's: a digest of another length
    // would not fill the value that callers copy.
    ok_ = context_ && md && uint32_t(library->md_get_size(md)) == digest_size(method) &&
        library->init(static_cast<EVP_MD_CTX*>(context_), md, nullptr) == 1;
}

// A context exists only when the library was loaded.
DigestContext::~DigestContext() {
    if (context_) in_use().context_free(static_cast<EVP_MD_CTX*>(context_));
}

bool DigestContext::update(std::span<const uint8_t> bytes) {
    if (ok_ && !bytes.empty())
        ok_ = in_use().update(static_cast<EVP_MD_CTX*>(context_), bytes.data(), bytes.size()) == 1;
    return ok_;
}

std::optional<DigestValue> DigestContext::finish() {
    if (!ok_) return std::nullopt;
    ok_ = false;  // a context finishes once
    DigestValue value;
    unsigned int size = 0;
    if (in_use().final(static_cast<EVP_MD_CTX*>(context_), value.bytes.data(), &size) != 1) return std::nullopt;
    if (size == 0 || size > MAX_DIGEST_SIZE) return std::nullopt;
    value.size = size;
    return value;
}

std::optional<DigestValue> digest(Digest method, std::span<const uint8_t> bytes) {
    DigestContext context(method);
    if (!context.update(bytes)) return std::nullopt;
    return context.finish();
}

std::optional<DigestValue> hmac(Digest method, std::span<const uint8_t> bytes, std::span<const uint8_t> key) {
    const uint32_t block = block_size(method);
    std::optional<DigestValue> hashed_key;
    if (key.size() > block) {
        hashed_key = digest(method, key);
        if (!hashed_key) return std::nullopt;
        key = hashed_key->view();
    }
    std::array<uint8_t, 128> inner_pad{};
    std::array<uint8_t, 128> outer_pad{};
    for (size_t i = 0; i < block; ++i) {
        uint8_t k = i < key.size() ? key[i] : 0;
        inner_pad[i] = k ^ 0x36;
        outer_pad[i] = k ^ 0x5C;
    }
    DigestContext inner(method);
    if (!inner.update({inner_pad.data(), block}) || !inner.update(bytes)) return std::nullopt;
    std::optional<DigestValue> inner_value = inner.finish();
    if (!inner_value) return std::nullopt;
    DigestContext outer(method);
    if (!outer.update({outer_pad.data(), block}) || !outer.update(inner_value->view())) return std::nullopt;
    return outer.finish();
}

}  // namespace kel::checksum
