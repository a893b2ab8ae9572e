// The first series' VID video archive: a count word, a directory of 44-byte
// entries (40-byte name, data offset) and the members' bytes. A member has no
// size of its own: it runs from its data offset up to the next member's, the
// last one up to the end of the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vid {

constexpr size_t kCountSize = 4;
constexpr size_t kEntrySize = 44;
constexpr size_t kNameSize = 40;
constexpr size_t kOffsetField = 40;

// The count word and the directory, as they lie at the start of the archive.
struct Directory {
    uint32_t count_word = 0; // as the file gives it
    size_t count = 0;        // the entries held in `buf`
    std::vector<uint8_t> buf; // kCountSize + count * kEntrySize bytes from offset 0
    uint8_t* entry(size_t i) { return buf.data() + kCountSize + i * kEntrySize; }
    const uint8_t* entry(size_t i) const { return buf.data() + kCountSize + i * kEntrySize; }
};

// Reads the count word and as many entries as it gives. An archive too short
// for its count, or whose directory does not fit in it, stops the job with a
// message naming `shown_path`.
Directory read_directory(FILE* in, uint64_t file_size, const std::string& shown_path);

// Reads the count word and exactly `count` entries, whatever the word says.
Directory read_fixed(FILE* in, uint64_t file_size, size_t count, const std::string& shown_path);
// The two, telling what is wrong in *fault instead (false) for a reader that
// goes on; `count` SIZE_MAX reads as many entries as the count word gives.
bool read_entries(FILE* in, uint64_t file_size, size_t count, Directory* d, std::string* fault);

// The member's name: its field up to the NUL, all 40 bytes when it holds none.
std::string name(const uint8_t* entry);

struct Member {
    uint64_t offset = 0;
    uint64_t size = 0;
};

// Where member i lies in an archive of `file_size` bytes. Offsets that point
// past the end of the file, or that decrease, stop the job with a message
// naming `shown_path`: such a member has no size.
Member member(const Directory& d, size_t i, uint64_t file_size, const std::string& shown_path);
// The same, telling what is wrong in *fault instead (false).
bool member(const Directory& d, size_t i, uint64_t file_size, Member* m, std::string* fault);

} // namespace vid
