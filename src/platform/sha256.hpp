// SHA-256 through the system's own code: libcrypto on POSIX systems, the
// Cryptography API: Next Generation (BCrypt) on Windows. Both use the
// processor's SHA instructions where it has them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sha256 {

using Digest = std::array<uint8_t, 32>;

// Hashes the bytes given to update, in order; finish gives the digest and
// starts the hasher over, empty. A hasher that the system cannot make ends
// the process with "Can't compute SHA-256\n" and exit code 1.
class Hasher {
public:
    Hasher();
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    void update(const void* data, size_t n);
    Digest finish();

private:
    struct State;
    State* state_;
};

// The digest in lower-case hexadecimal, 64 characters.
std::string hex(const Digest& digest);

} // namespace sha256
