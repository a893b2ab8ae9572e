// Builders for LOD archives, entry headers, entry files and TGA images,
// shared by the LOD and bitmap tests. Every byte the games treat as opaque is filled with
// patterned bytes, so that a job that loses or moves one is caught.
#pragma once

#include "support/jobtest.hpp"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct LodEntry {
    std::string name; // at most 16 bytes; exactly 16 leaves no NUL
    Bytes data;       // the entry's data: entry header, payload, palette
};

// An archive as the games' tools lay it out: patterned header and descriptor
// with the data-region size at 276 and `count_field` (the number of entries
// when left at -1) at 284, the directory with patterned opaque bytes, and the
// data back to back in directory order from data offset 32 x count.
Bytes make_lod(const std::vector<LodEntry>& entries, int64_t count_field = -1);

// `count` entries named "e<k>" with distinct data of 48 to 50 bytes.
std::vector<LodEntry> tiny_entries(size_t count, uint32_t seed = 1);

struct LodDirEntry {
    std::string name;
    uint32_t offset = 0; // data offset, from archive byte 288
    uint32_t size = 0;
};
LodDirEntry lod_entry(const Bytes& lod, size_t k);
// Entry k's data, found through its own data offset and size.
Bytes lod_data(const Bytes& lod, size_t k);
// Sets directory entry k's data offset and size in an archive.
void set_lod_entry(Bytes& lod, size_t k, uint32_t offset, uint32_t size);

// A 48-byte entry header: name, tag text after the name's NUL, the five
// fields, and patterned opaque bytes.
Bytes entry_header(const std::string& name, const std::string& tag, uint32_t pixel_size, uint32_t stored_size,
                   uint16_t width, uint16_t height, uint32_t unpacked_size);

// Entry data in the header-last layout.
Bytes header_last(const Bytes& data);

// `count` entries that are no images: entry headers without a tag text, each
// followed by one payload byte.
std::vector<LodEntry> plain_entries(size_t count = 4241);

// An image entry: entry header (pixel size width x height unless given),
// payload, palette.
Bytes image_entry(const std::string& name, const std::string& tag, uint16_t w, uint16_t h, const Bytes& payload,
                  const Bytes& palette, uint32_t pixel_size = ~0u);

// Colour triples with their first and third bytes swapped (red, green, blue
// to blue, green, red and back).
Bytes reversed(const Bytes& colours);

// A TGA header as extracttgas writes it (rows top row first), or with another
// image descriptor.
Bytes tga_header(uint16_t w, uint16_t h, uint8_t descriptor = 0x20);

// Bytes [from, from + n) of a buffer.
Bytes slice(const Bytes& b, size_t from, size_t n);
Bytes concat(const std::vector<Bytes>& parts);

// `data` as a zlib stream (zlib at its best compression): the packed payloads
// of test archives.
Bytes deflated(const Bytes& data);

// Python's zlib, the judge of the payload jobs that shares no code with them:
// `data` packed with zlib.compress at level 9, or a zlib stream unpacked with
// zlib.decompress. A failure of Python (an exception: no zlib stream) fails
// the test. `scratch` is a folder for the files that carry the bytes.
Bytes python_compress(const std::filesystem::path& scratch, const Bytes& data);
Bytes python_decompress(const std::filesystem::path& scratch, const Bytes& stream);

// Makes the folder `winpath` a link to a folder outside the drives that is
// kept from one reset of the drives to the next within a test, made by
// `fill` (given its file system path) the first time. The damage and
// full-disk checks run a job many times, each time on fresh drives; a job
// that reads or writes thousands of entry files would spend most of that
// time having them created again.
void kept_folder(JobTest& t, const std::string& winpath, const std::string& key,
                 const std::function<void(const std::filesystem::path&)>& fill = {});
