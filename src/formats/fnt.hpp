// FNT bitmap fonts of the first game series, as the font jobs read and write
// them, and the strip image that carries a whole font.
//
//   0     header (32 bytes): first code, last code, 8, 0, 0, height, 26 zeros
//   32    glyph records, 12 bytes per code 0 to 255: left bearing (i32),
//         width (i32, only its low byte counts), right bearing (i32)
//   3104  glyph offsets, u32 per code 0 to 255, counted from 4128
//   4128  the bitmaps: height rows of width bytes per glyph, top row first
//
// The jobs handle the 225 codes 31 to 255; "glyph i" is code 31 + i.
//
// The calig font files carry no tables the jobs use: their bitmaps lie back to
// back from offset 1312, 27 rows high, with widths built in here.
//
// Strip image: all 225 glyphs side by side in code order, each followed by a
// stripe, a column of pixel value 254; height rows by (sum of widths) + 225
// columns.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fnt {

constexpr int kFirstCode = 31;
constexpr int kGlyphs = 225;
constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kHeightAt = 5;
constexpr uint32_t kRecordSize = 12;
constexpr uint32_t kLeftField = 0, kWidthField = 4, kRightField = 8;
constexpr uint32_t kRecordsAt = kHeaderSize + kRecordSize * kFirstCode;   // 404
constexpr uint32_t kRecordsSize = kRecordSize * kGlyphs;                  // 2700
constexpr uint32_t kOffsetTableAt = 3104;
constexpr uint32_t kOffsetsAt = kOffsetTableAt + 4 * kFirstCode;          // 3228
constexpr uint32_t kOffsetsSize = 4 * kGlyphs;                            // 900
constexpr uint32_t kBitmapsAt = 4128;

constexpr uint8_t kStripe = 254;

constexpr uint32_t kCaligBitmapsAt = 1312;
constexpr uint32_t kCaligHeight = 27;
extern const uint8_t kCaligWidths[kGlyphs];

// What the jobs take from a font for the glyph range.
struct Tables {
    uint32_t height = 0;
    std::array<uint32_t, kGlyphs> width{};  // the low byte of each width field
    std::array<uint32_t, kGlyphs> offset{}; // into the bitmap area
};

// The tables of a font file held in `file`, at least kBitmapsAt bytes long.
Tables read_tables(const std::vector<uint8_t>& file);
// The built-in tables of the calig font: height 27, its widths, and offsets
// that run on from 0 glyph by glyph.
Tables calig_tables();

uint32_t width_sum(const Tables& t);

// Empty when every glyph bitmap lies inside a bitmap area of `area` bytes;
// otherwise what is wrong, for a message.
std::string bitmaps_fault(const Tables& t, uint64_t area);

// What is wrong with the font file `file` for the jobs that read its glyphs
// (a file too short for its tables, a height of 0, a glyph bitmap past the
// end); empty when nothing. `calig`: the calig font, with the built-in
// tables and its bitmaps from kCaligBitmapsAt.
std::string font_fault(const std::vector<uint8_t>& file, bool calig);

// The strip image of the font whose bitmap area starts at `bitmaps` (checked
// with bitmaps_fault first): t.height rows of width_sum(t) + 225 columns.
std::vector<uint8_t> strip(const Tables& t, const uint8_t* bitmaps);

// A font's glyphs as they are drawn: from the left bearing on, the width
// columns of the bitmap (pixels of value 0 leave what is under them), then
// the right bearing; the next glyph starts where this one ends. The calig
// font's bearings are 0.
struct Face {
    Tables t;
    std::array<int32_t, kGlyphs> left{}, right{};
    const uint8_t* bitmaps = nullptr; // the bitmap area, inside the file read

    // The columns from the start of code `code` (31 to 255) to where the next
    // glyph starts.
    int64_t advance(int code) const {
        int i = code - kFirstCode;
        return int64_t(left[i]) + t.width[i] + right[i];
    }
    const uint8_t* glyph(int code) const { return bitmaps + t.offset[code - kFirstCode]; }
    uint32_t width(int code) const { return t.width[code - kFirstCode]; }
    // Whether the bitmap of `code` has no pixel other than 0.
    bool blank(int code) const;
};

// The font file `file` as a face that points into it; `file` must have
// passed font_fault (with the same `calig`) and outlive the face.
Face face(const std::vector<uint8_t>& file, bool calig);

// How a font draws a character code.
enum class Draws {
    Yes,
    NoGlyph, // below code 31: the font has no glyph for it
    NoWidth, // its glyph is 0 columns wide
    Blank,   // its bitmap has no pixel (a space needs none: it draws so)
};
Draws draws(const Face& f, unsigned char code);

// Whether the font draws at least one Cyrillic letter (codes 192 to 255).
bool has_cyrillic(const Face& f);

} // namespace fnt
