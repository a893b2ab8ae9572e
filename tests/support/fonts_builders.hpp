// Fonts, strip images and edited images built for the font job tests.
#pragma once

#include "support/jobtest.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace fonttest {

// The fixed paths of the font jobs.
extern const std::string kZund;   // e:\games\zundfiles\, the fonts folder
extern const std::string kOut;    // e:\games\zundfiles\calig\, where images go
extern const std::string kSource; // buildfont's source font
extern const std::string kImage;  // buildfont's edited strip
extern const std::string kTarget; // buildfont's new font
extern const std::string kSheet;  // stripeglyphs' glyph sheet
extern const std::string kStrip;  // stripeglyphs' strip

Bytes slice(const Bytes& b, size_t at, size_t n);
void set32(Bytes& b, size_t at, uint32_t v);

// A font: glyph records, offsets and a bitmap area; glyph pixels are never
// the stripe value.
struct Font {
    uint8_t height = 20;
    std::vector<uint32_t> width, offset = std::vector<uint32_t>(225);
    std::vector<int32_t> left = std::vector<int32_t>(225), right = std::vector<int32_t>(225);
    Bytes bitmaps;
    uint8_t w(int i) const { return uint8_t(width[i]); }
    Bytes glyph(int i) const { return slice(bitmaps, offset[i], size_t(w(i)) * height); }
};

// Glyphs back to back from offset 0, filled from `seed`; bearings -i and i + 100.
Font make_font(uint8_t height, const std::vector<uint32_t>& widths, uint32_t seed);
// The FNT file of a font.
Bytes fnt_file(const Font& f);

// Offsets of an FNT file's fields for glyph i (code 31 + i).
constexpr size_t width_field(int i) { return 404 + 12 * size_t(i) + 4; }
constexpr size_t offset_field(int i) { return 3228 + 4 * size_t(i); }

// The font's strip image: the rows of each glyph followed by a stripe, and
// `extra` columns of `fill` after the last stripe.
Bytes strip_of(const Font& f, uint32_t extra = 0, uint8_t fill = 0);

// The widths of the calig font, codes 31 to 255.
std::vector<uint32_t> calig_widths();
// The calig font files: 1312 bytes the jobs skip, then the glyphs.
Bytes calig_file(const Font& f);

// An image in the editor's layout: "II*", the directory offset, filler up to
// `start`, the pixels, then a directory (and `tail` more bytes) whose value
// fields at 22, 34 and 142 hold width, height and pixel end.
Bytes edited(const Bytes& pixels, uint32_t w, uint32_t h, uint32_t start, size_t tail = 0);

} // namespace fonttest
