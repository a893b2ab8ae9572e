// The payloads of LOD entries (the ".zl" files): as a rule a zlib stream,
// which the game inflates to the unpacked size that the entry header gives;
// a payload whose stored size equals its unpacked size may also be stored as
// it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zl {

// Unpacks the `n` payload bytes of an entry whose header gives `unpacked`
// as the unpacked size. A zlib stream must inflate to exactly that many
// bytes: inflation stops one byte past it, so a header that gives too few
// cannot make it run on, and one that gives too many allocates no more than
// the stream yields. A payload that is no zlib stream is taken as it is when
// `n` equals `unpacked`. True with the unpacked bytes in *out; false with
// what is wrong with the payload in *fault.
bool unpack(const uint8_t* payload, size_t n, uint32_t unpacked, std::vector<uint8_t>* out, std::string* fault);

// `n` bytes (below 4 GiB) packed as a zlib stream at the best compression,
// with zlib's default window and memory level: the same bytes always give
// the same stream.
std::vector<uint8_t> pack(const uint8_t* data, size_t n);

} // namespace zl
