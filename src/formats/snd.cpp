#include "formats/snd.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"

#include <cstring>

namespace snd {

Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path) {
    uint8_t head[kCountSize] = {};
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, head, kCountSize) != kCountSize)
        io::damaged(shown_path, "shorter than the 4-byte entry count");
    Directory d;
    d.count = bytes::get_u32(head);
    uint64_t size = kCountSize + uint64_t(d.count) * kEntrySize;
    if (size > file_size)
        io::damaged(shown_path, io::format("the directory of %u entries runs past the end of the file", d.count));
    d.buf.resize(size_t(size));
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, d.buf.data(), d.buf.size()) != d.buf.size())
        io::damaged(shown_path, "the directory cannot be read");
    return d;
}

std::string name(const uint8_t* entry) {
    const char* p = reinterpret_cast<const char*>(entry);
    return std::string(p, strnlen(p, kNameSize));
}

void check_member(const uint8_t* entry, uint64_t file_size, const std::string& shown_path) {
    uint64_t offset = bytes::get_u32(entry + kOffsetField);
    uint64_t stored = bytes::get_u32(entry + kStoredField);
    if (offset + stored > file_size)
        io::damaged(shown_path, "member " + name(entry) + " lies past the end of the archive");
}

} // namespace snd
