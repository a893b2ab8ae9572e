// The second game's PAK archive: a 12-byte header ("PACK", directory offset,
// directory length), the members' data, and a directory of 64-byte entries
// (56-byte name, offset, length) with no count of its own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pak {

constexpr size_t kHeaderSize = 12;
constexpr size_t kEntrySize = 64;
constexpr size_t kNameOffset = 0;
constexpr size_t kOffsetField = 56;
constexpr size_t kLengthField = 60;
// The jobs take a member's name from the first 48 bytes of its name field;
// bytes 48 to 55 are carried unchanged wherever a directory is copied.
constexpr size_t kNameCopy = 48;

struct Directory {
    uint32_t offset = 0;       // as the header gives it
    uint32_t length = 0;       // in bytes; count = length >> 6
    std::vector<uint8_t> buf;  // `length` bytes read from `offset`
    size_t count() const { return length >> 6; }
    uint8_t* entry(size_t i) { return buf.data() + i * kEntrySize; }
};

// Reads the header and the directory of an open archive of `file_size`
// bytes. An archive too short for its header, or whose directory does not lie
// inside it, stops the job with a message naming `shown_path` and exit code 1.
Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path);
// The same, telling what is wrong in *fault instead (false) for a reader that
// goes on.
bool read_directory(FILE* in, uint64_t file_size, Directory* d, std::string* fault);

// The member's name (the 48-byte copy up to its NUL; all 48 bytes when the
// copy holds none) with every "/" replaced by "+": its file name on disk.
std::string flat_name(const uint8_t* entry);

} // namespace pak
