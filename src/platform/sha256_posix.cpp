// SHA-256 through libcrypto's EVP interface.
#include "platform/sha256.hpp"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

namespace sha256 {

struct Hasher::State {
    EVP_MD_CTX* ctx = nullptr;
};

namespace {

[[noreturn]] void fail() {
    std::fputs("Can't compute SHA-256\n", stdout);
    std::exit(1);
}

void start(EVP_MD_CTX* ctx) {
    if (EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1) fail();
}

} // namespace

Hasher::Hasher() : state_(new State) {
    state_->ctx = EVP_MD_CTX_new();
    if (!state_->ctx) fail();
    start(state_->ctx);
}

Hasher::~Hasher() {
    EVP_MD_CTX_free(state_->ctx);
    delete state_;
}

void Hasher::update(const void* data, size_t n) {
    if (n && EVP_DigestUpdate(state_->ctx, data, n) != 1) fail();
}

Digest Hasher::finish() {
    Digest d{};
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(state_->ctx, d.data(), &len) != 1 || len != d.size()) fail();
    start(state_->ctx);
    return d;
}

} // namespace sha256
