#include "formats/pak.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"

#include <algorithm>
#include <cstring>

namespace pak {

Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path) {
    uint8_t head[kHeaderSize] = {};
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, head, kHeaderSize) != kHeaderSize)
        io::damaged(shown_path, "shorter than the 12-byte archive header");
    Directory d;
    d.offset = bytes::get_u32(head + 4);
    d.length = bytes::get_u32(head + 8);
    if (uint64_t(d.offset) + d.length > file_size)
        io::damaged(shown_path, "the directory lies past the end of the archive");
    d.buf.resize(d.length);
    std::fseek(in, long(d.offset), SEEK_SET);
    if (io::read(in, d.buf.data(), d.length) != d.length)
        io::damaged(shown_path, "the directory cannot be read");
    return d;
}

std::string flat_name(const uint8_t* entry) {
    const char* name = reinterpret_cast<const char*>(entry + kNameOffset);
    std::string s(name, strnlen(name, kNameCopy));
    std::replace(s.begin(), s.end(), '/', '+');
    return s;
}

} // namespace pak
