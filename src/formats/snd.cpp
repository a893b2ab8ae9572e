#include "formats/snd.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"

#include <cstring>

namespace snd {

bool read_directory(FILE* in, uint64_t file_size, Directory* d, std::string* fault) {
    uint8_t head[kCountSize] = {};
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, head, kCountSize) != kCountSize) {
        *fault = "shorter than the 4-byte entry count";
        return false;
    }
    d->count = bytes::get_u32(head);
    uint64_t size = kCountSize + uint64_t(d->count) * kEntrySize;
    if (size > file_size) {
        *fault = io::format("the directory of %u entries runs past the end of the file", d->count);
        return false;
    }
    d->buf.resize(size_t(size));
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, d->buf.data(), d->buf.size()) != d->buf.size()) {
        *fault = "the directory cannot be read";
        return false;
    }
    return true;
}

Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path) {
    Directory d;
    std::string fault;
    if (!read_directory(in, file_size, &d, &fault)) io::damaged(shown_path, fault);
    return d;
}

std::string name(const uint8_t* entry) {
    const char* p = reinterpret_cast<const char*>(entry);
    return std::string(p, strnlen(p, kNameSize));
}

std::string member_fault(const uint8_t* entry, uint64_t file_size) {
    uint64_t offset = bytes::get_u32(entry + kOffsetField);
    uint64_t stored = bytes::get_u32(entry + kStoredField);
    if (offset + stored > file_size) return "member " + name(entry) + " lies past the end of the archive";
    return "";
}

void check_member(const uint8_t* entry, uint64_t file_size, const std::string& shown_path) {
    std::string fault = member_fault(entry, file_size);
    if (!fault.empty()) io::damaged(shown_path, fault);
}

} // namespace snd
