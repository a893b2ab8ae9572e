#include "formats/vid.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"

#include <cstring>

namespace vid {

namespace {

Directory read_entries(FILE* in, uint64_t file_size, uint64_t count, const std::string& too_short,
                       const std::string& shown_path) {
    Directory d;
    uint64_t size = kCountSize + count * kEntrySize;
    if (size > file_size) io::damaged(shown_path, too_short);
    d.count = size_t(count);
    d.buf.resize(size_t(size));
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, d.buf.data(), d.buf.size()) != d.buf.size())
        io::damaged(shown_path, "the directory cannot be read");
    d.count_word = bytes::get_u32(d.buf.data());
    return d;
}

} // namespace

Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path) {
    uint8_t head[kCountSize] = {};
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, head, kCountSize) != kCountSize)
        io::damaged(shown_path, "shorter than the 4-byte entry count");
    uint32_t count = bytes::get_u32(head);
    return read_entries(in, file_size, count,
                        io::format("the directory of %u entries runs past the end of the file", count), shown_path);
}

Directory read_fixed(FILE* in, uint64_t file_size, size_t count, const std::string& shown_path) {
    return read_entries(in, file_size, count,
                        io::format("shorter than the %zu-byte directory of %zu entries",
                                   kCountSize + count * kEntrySize, count),
                        shown_path);
}

std::string name(const uint8_t* entry) {
    const char* p = reinterpret_cast<const char*>(entry);
    return std::string(p, strnlen(p, kNameSize));
}

Member member(const Directory& d, size_t i, uint64_t file_size, const std::string& shown_path) {
    uint64_t offset = bytes::get_u32(d.entry(i) + kOffsetField);
    uint64_t end = i + 1 < d.count ? bytes::get_u32(d.entry(i + 1) + kOffsetField) : file_size;
    if (offset > file_size || end > file_size)
        io::damaged(shown_path, "member " + name(d.entry(i)) + " lies past the end of the archive");
    if (end < offset)
        io::damaged(shown_path, "member " + name(d.entry(i)) + " ends before it starts: the data offsets decrease");
    return {offset, end - offset};
}

} // namespace vid
