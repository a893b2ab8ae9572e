// The TIFF images that carry font glyphs: the one fixed layout in which the
// font jobs write every image (a single glyph or a whole font strip), and the
// fixed positions at which they read images that come back from the image
// editor.
//
// Written layout, little-endian ("II"):
//   0     "II" 42, then the u32 offset of the image file directory
//   8     colour map: 256 red, 256 green, 256 blue u16 values (8-bit x 256)
//   1544  one zero byte (an empty text; the directory holds its own copy)
//   1545  x and y resolution, 2834646 / 100000 each (pixels per centimetre)
//   1561  the pixels, one byte each, rows of W bytes, top row first
//   then  the image file directory: 16 entries and a zero next-directory offset
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tiffimg {

constexpr uint32_t kHeadSize = 1561;      // everything before the pixels
constexpr uint32_t kDirectorySize = 198;  // 2 + 16 x 12 + 4
constexpr uint32_t kColourMapAt = 8;
constexpr uint32_t kDescriptionAt = 1544;
constexpr uint32_t kXResolutionAt = 1545;
constexpr uint32_t kYResolutionAt = 1553;

// The colour map of every image written, entry by entry as 0xRRGGBB.
extern const uint32_t kColourMap[256];

// The head block with the directory offset of an image of width x height
// pixels, and that image's directory.
std::vector<uint8_t> head_block(uint32_t width, uint32_t height);
std::vector<uint8_t> directory(uint32_t width, uint32_t height);

// Creates `path` ("wb") and writes the image: head block, the width x height
// pixels, directory. "Can't open\n" (exit 1) when it cannot be created,
// "Can't write %s\n" (exit 1) when a write fails.
void write_image(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height);

// Edited images are read at fixed positions only:
//   4       D, the offset of the image file directory
//   D + 22  width W            D + 34  height H
//   D + 142 E, the offset of the first byte after the pixels
// The pixels run from a start that each job fixes to E, rows of W bytes.
constexpr uint32_t kEditedWidthAt = 22;
constexpr uint32_t kEditedHeightAt = 34;
constexpr uint32_t kEditedEndAt = 142;

struct Edited {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t end = 0;
};

// Reads D, W, H and E from an open image of `size` bytes. An image too short
// to hold them stops the job with a message naming `path` and exit code 1.
Edited read_fields(FILE* in, uint64_t size, const std::string& path);

// Reads the pixel block, bytes `start` to E - 1. A block that ends before it
// starts, runs past the end of the file or holds fewer than W x H pixels
// stops the job with a message naming `path` and exit code 1.
std::vector<uint8_t> read_pixels(FILE* in, uint64_t size, const Edited& e, uint32_t start, const std::string& path);

} // namespace tiffimg
