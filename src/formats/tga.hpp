// The colour-mapped TGA images that carry LOD image entries to and from an
// image editor: an 18-byte header, a colour map of 256 entries of blue,
// green, red, and one byte (a colour-map index) per pixel, uncompressed.
//
//   0   id length (0)     1  colour-map type (1)   2  image type (1)
//   3   first colour-map entry (u16 0)   5  colour-map length (u16 256)
//   7   colour-map entry size (24)       8  x origin, 10 y origin (u16 0)
//   12  width (u16)   14  height (u16)   16 pixel depth (8)
//   17  image descriptor: 0x20 when the rows are stored top row first
//   18  colour map (768 bytes), then the pixel rows
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tga {

constexpr size_t kHeaderSize = 18;
constexpr size_t kColourMapSize = 768;
constexpr size_t kPixelsAt = kHeaderSize + kColourMapSize; // 786
constexpr size_t kWidthField = 12;
constexpr size_t kHeightField = 14;
constexpr size_t kDescriptorField = 17;
constexpr uint8_t kTopLeft = 0x20;

// The header of an image `width` x `height` whose rows come top row first.
std::vector<uint8_t> header(uint16_t width, uint16_t height);

// Whether an image header describes the layout above (no identification
// field, uncompressed, 256 colour-map entries of 24 bits from entry 0, 8-bit
// pixels), the only one that the import reads.
bool is_colour_mapped_256(const uint8_t* header);

// Turns 256 colours of red, green, blue into blue, green, red, and back: the
// same reversal of each triple either way.
std::vector<uint8_t> reverse_triples(const uint8_t* colours);

} // namespace tga
