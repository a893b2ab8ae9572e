#include "formats/vid.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"

#include <cstdint>
#include <cstring>

namespace vid {

bool read_entries(FILE* in, uint64_t file_size, size_t count, Directory* d, std::string* fault) {
    uint8_t head[kCountSize] = {};
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, head, kCountSize) != kCountSize) {
        *fault = count == SIZE_MAX ? "shorter than the 4-byte entry count"
                                   : io::format("shorter than the %zu-byte directory of %zu entries",
                                                kCountSize + count * kEntrySize, count);
        return false;
    }
    uint64_t n = count == SIZE_MAX ? bytes::get_u32(head) : count;
    uint64_t size = kCountSize + n * kEntrySize;
    if (size > file_size) {
        *fault = count == SIZE_MAX ? io::format("the directory of %u entries runs past the end of the file",
                                                bytes::get_u32(head))
                                   : io::format("shorter than the %zu-byte directory of %zu entries",
                                                kCountSize + count * kEntrySize, count);
        return false;
    }
    d->count = size_t(n);
    d->buf.resize(size_t(size));
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, d->buf.data(), d->buf.size()) != d->buf.size()) {
        *fault = "the directory cannot be read";
        return false;
    }
    d->count_word = bytes::get_u32(d->buf.data());
    return true;
}

Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path) {
    Directory d;
    std::string fault;
    if (!read_entries(in, file_size, SIZE_MAX, &d, &fault)) io::damaged(shown_path, fault);
    return d;
}

Directory read_fixed(FILE* in, uint64_t file_size, size_t count, const std::string& shown_path) {
    Directory d;
    std::string fault;
    if (!read_entries(in, file_size, count, &d, &fault)) io::damaged(shown_path, fault);
    return d;
}

std::string name(const uint8_t* entry) {
    const char* p = reinterpret_cast<const char*>(entry);
    return std::string(p, strnlen(p, kNameSize));
}

bool member(const Directory& d, size_t i, uint64_t file_size, Member* m, std::string* fault) {
    uint64_t offset = bytes::get_u32(d.entry(i) + kOffsetField);
    uint64_t end = i + 1 < d.count ? bytes::get_u32(d.entry(i + 1) + kOffsetField) : file_size;
    if (offset > file_size || end > file_size) {
        *fault = "member " + name(d.entry(i)) + " lies past the end of the archive";
        return false;
    }
    if (end < offset) {
        *fault = "member " + name(d.entry(i)) + " ends before it starts: the data offsets decrease";
        return false;
    }
    *m = {offset, end - offset};
    return true;
}

Member member(const Directory& d, size_t i, uint64_t file_size, const std::string& shown_path) {
    Member m;
    std::string fault;
    if (!member(d, i, file_size, &m, &fault)) io::damaged(shown_path, fault);
    return m;
}

} // namespace vid
