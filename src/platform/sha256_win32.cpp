// SHA-256 through BCrypt, the system's own cryptography since Windows Vista.
#include "platform/sha256.hpp"

#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <cstdlib>

namespace sha256 {

struct Hasher::State {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

namespace {

[[noreturn]] void fail() {
    std::fputs("Can't compute SHA-256\n", stdout);
    std::exit(1);
}

bool ok(NTSTATUS status) { return status >= 0; }


} // namespace

Hasher::Hasher() : state_(new State) {
    if (!ok(BCryptOpenAlgorithmProvider(&state_->alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) fail();
    if (!ok(BCryptCreateHash(state_->alg, &state_->hash, nullptr, 0, nullptr, 0, 0))) fail();
}

Hasher::~Hasher() {
    if (state_->hash) BCryptDestroyHash(state_->hash);
    if (state_->alg) BCryptCloseAlgorithmProvider(state_->alg, 0);
    delete state_;
}

void Hasher::update(const void* data, size_t n) {
    // BCryptHashData takes at most 4 GiB - 1 at a time.
    auto p = static_cast<PUCHAR>(const_cast<void*>(data));
    while (n) {
        ULONG part = n > 0x40000000u ? 0x40000000u : ULONG(n);
        if (!ok(BCryptHashData(state_->hash, p, part, 0))) fail();
        p += part;
        n -= part;
    }
}

Digest Hasher::finish() {
    Digest d{};
    if (!ok(BCryptFinishHash(state_->hash, d.data(), ULONG(d.size()), 0))) fail();
    // A finished hash object cannot be used again: a new one for what follows.
    BCryptDestroyHash(state_->hash);
    state_->hash = nullptr;
    if (!ok(BCryptCreateHash(state_->alg, &state_->hash, nullptr, 0, nullptr, 0, 0))) fail();
    return d;
}

} // namespace sha256
