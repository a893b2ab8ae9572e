#include "formats/pak.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"

#include <algorithm>
#include <cstring>

namespace pak {

bool read_directory(FILE* in, uint64_t file_size, Directory* d, std::string* fault) {
    uint8_t head[kHeaderSize] = {};
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, head, kHeaderSize) != kHeaderSize) {
        *fault = "shorter than the 12-byte archive header";
        return false;
    }
    d->offset = bytes::get_u32(head + 4);
    d->length = bytes::get_u32(head + 8);
    if (uint64_t(d->offset) + d->length > file_size) {
        *fault = "the directory lies past the end of the archive";
        return false;
    }
    d->buf.resize(d->length);
    std::fseek(in, long(d->offset), SEEK_SET);
    if (io::read(in, d->buf.data(), d->length) != d->length) {
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

std::string flat_name(const uint8_t* entry) {
    const char* name = reinterpret_cast<const char*>(entry + kNameOffset);
    std::string s(name, strnlen(name, kNameCopy));
    std::replace(s.begin(), s.end(), '/', '+');
    return s;
}

} // namespace pak
