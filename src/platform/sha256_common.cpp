// What every system's SHA-256 shares.
#include "platform/sha256.hpp"

namespace sha256 {

std::string hex(const Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(digest.size() * 2);
    for (uint8_t b : digest) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

} // namespace sha256
