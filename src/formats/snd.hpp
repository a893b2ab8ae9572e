// The first series' SND sound archive: a count word, a directory of 52-byte
// entries (40-byte name, data offset, stored size, unpacked size) and the
// members' stored bytes (their ".wav.zl" form), each at its data offset.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace snd {

constexpr size_t kCountSize = 4;
constexpr size_t kEntrySize = 52;
constexpr size_t kNameSize = 40;
constexpr size_t kOffsetField = 40;
constexpr size_t kStoredField = 44;
constexpr size_t kUnpackedField = 48;

// The count word and the directory, as they lie at the start of the archive.
struct Directory {
    uint32_t count = 0;
    std::vector<uint8_t> buf; // kCountSize + count * kEntrySize bytes from offset 0
    uint8_t* entry(size_t i) { return buf.data() + kCountSize + i * kEntrySize; }
};

// Reads the count word and the whole directory of an open archive of
// `file_size` bytes. An archive too short for its count, or whose directory
// does not fit in it, stops the job with a message naming `shown_path`.
Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path);
// The same, telling what is wrong in *fault instead (false) for a reader that
// goes on.
bool read_directory(FILE* in, uint64_t file_size, Directory* d, std::string* fault);

// The member's name: its field up to the NUL, all 40 bytes when it holds none.
std::string name(const uint8_t* entry);

// Stops the job with a message naming `shown_path` when the member's stored
// bytes do not lie inside an archive of `file_size` bytes.
void check_member(const uint8_t* entry, uint64_t file_size, const std::string& shown_path);
// What is wrong with where the member lies; empty when it lies inside.
std::string member_fault(const uint8_t* entry, uint64_t file_size);

} // namespace snd
