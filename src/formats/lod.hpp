// The first game series' LOD archive: a 256-byte archive header, a 32-byte
// directory descriptor, a directory of 32-byte entries, and the entries' data.
//
//   0    256       archive header (opaque)
//   256  32        descriptor: data-region size at 276, entry count at 284
//   288  32*count  directory: name[16], data offset, size, 8 opaque bytes
//   ...            entry data; an entry's data lie at 288 + its data offset
//
// The head and the directory form one block that the archive writers read
// whole, patch and write back whole. Every entry's data begin with a 48-byte
// entry header (name, pixel size, stored size, width, height, ..., unpacked
// size), then the stored payload, then for images a 768-byte palette.
//
// Entries travel between the jobs as entry files named "%04d_%s.zl" (index,
// name), in one of two layouts that carry no mark of their own:
//   header-first  the data exactly as stored in the archive;
//   header-last   bytes 48 to the end, then the 48-byte entry header.
#pragma once

#include "formats/bytes.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lod {

constexpr uint32_t kHeadSize = 288; // archive header and directory descriptor
constexpr uint32_t kEntrySize = 32;
constexpr size_t kNameWidth = 16;
// Directory descriptor fields (archive offsets).
constexpr size_t kDataRegionField = 276;
constexpr size_t kCountField = 284;
// Directory entry fields.
constexpr size_t kDataOffsetField = 16;
constexpr size_t kSizeField = 20;

// The entry header that opens every entry's data.
constexpr size_t kHeaderSize = 48;
constexpr size_t kPixelSizeField = 16;
constexpr size_t kStoredSizeField = 20;
constexpr size_t kWidthField = 24;
constexpr size_t kHeightField = 26;
constexpr size_t kUnpackedSizeField = 40;
constexpr size_t kPaletteSize = 768; // 256 entries of red, green, blue

// Bytes of the head-and-directory block of an archive of `count` entries.
constexpr uint64_t block_size(uint64_t count) { return kHeadSize + uint64_t(kEntrySize) * count; }

// The name inside a 16-byte name field: up to its NUL, or all 16 bytes when
// the field holds none.
std::string entry_name(const uint8_t* field);

// "%04d_%s.zl": the entry file of directory entry `index` named `name`.
std::string entry_file_name(uint64_t index, const std::string& name);

// An archive's head-and-directory block, held in memory.
struct Block {
    std::vector<uint8_t> buf;
    size_t count = 0;

    uint8_t* entry(size_t k) { return buf.data() + kHeadSize + kEntrySize * k; }
    const uint8_t* entry(size_t k) const { return buf.data() + kHeadSize + kEntrySize * k; }
    std::string name(size_t k) const { return entry_name(entry(k)); }
    uint32_t data_offset(size_t k) const;
    uint32_t size(size_t k) const;
    void set_data_offset(size_t k, uint32_t v);
    void set_size(size_t k, uint32_t v);
};

// Reads the first block_size(count) bytes of an open archive of `file_size`
// bytes. An archive shorter than that stops the job with a message naming
// `shown_path` and exit code 1.
Block read_block(FILE* in, uint64_t file_size, size_t count, const std::string& shown_path);
// The same, telling what is wrong in *fault instead (false) for a reader that
// goes on.
bool read_block(FILE* in, uint64_t file_size, size_t count, Block* b, std::string* fault);

// Whether the data of an entry (data offset, size) lie inside an archive of
// `file_size` bytes.
bool data_inside(uint32_t data_offset, uint32_t size, uint64_t file_size);

// Reads the data of entry `name` (data offset, size) from an archive of
// `file_size` bytes. Data lying past the end stop the job with a message
// naming `shown_path` and the entry, exit code 1.
std::vector<uint8_t> read_data(FILE* in, uint64_t file_size, uint32_t data_offset, uint32_t size,
                               const std::string& shown_path, const std::string& name);

// Unpacks the payload of an entry: `header` is its 48-byte entry header,
// `room` the bytes that follow the payload's start in the entry (payload,
// palette and whatever else). The payload is the first stored-size bytes
// there, unpacked held to the header's unpacked size (zl::unpack). False,
// with what is wrong in *fault, when the payload does not fit in `room` or
// does not unpack so.
bool unpack_payload(const uint8_t* header, const uint8_t* payload, size_t room, std::vector<uint8_t>* out,
                    std::string* fault, const char* where = "come after the header");

// Writes entry data in the header-last layout: bytes 48 to the end, then the
// entry header. Data shorter than an entry header have none to move and are
// written as they are.
void write_header_last(FILE* out, const std::vector<uint8_t>& data, const std::string& out_path);

// The u32 field at `at` of a byte buffer (the caller has checked the bounds).
inline uint32_t field32(const std::vector<uint8_t>& b, size_t at) { return bytes::get_u32(b.data() + at); }
inline void set_field32(std::vector<uint8_t>& b, size_t at, uint32_t v) { bytes::put_u32(b.data() + at, v); }

// The data-order table of the Starhold VI icons archive: record k is the
// directory index of the entry whose data come k-th in the archive.
constexpr size_t kIconOrderCount = 2703;
extern const uint16_t kIconOrder[kIconOrderCount];

} // namespace lod
