#include "formats/fnt.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"

#include <cstring>

namespace fnt {

// Codes 31 to 255, fifteen to a line; they add up to 3064.
const uint8_t kCaligWidths[kGlyphs] = {
    14, 6, 8, 8, 18, 12, 20, 20, 6, 8, 8, 12, 18, 6, 8,          // 31
    6, 8, 12, 8, 10, 10, 12, 10, 12, 10, 12, 12, 6, 6, 18,       // 46
    18, 18, 10, 22, 18, 16, 20, 20, 14, 14, 22, 22, 10, 10, 16,  // 61
    14, 24, 24, 22, 14, 22, 16, 14, 16, 20, 18, 24, 16, 18, 18,  // 76
    8, 8, 8, 22, 12, 12, 12, 12, 10, 12, 10, 8, 12, 12, 8,       // 91
    8, 12, 8, 18, 12, 12, 12, 12, 8, 10, 10, 12, 12, 18, 12,     // 106
    12, 12, 12, 12, 12, 18, 14, 14, 14, 6, 8, 12, 22, 12, 12,    // 121
    12, 28, 14, 10, 28, 14, 14, 14, 14, 6, 6, 12, 12, 14, 12,    // 136
    22, 12, 18, 10, 10, 18, 14, 14, 18, 12, 8, 10, 12, 14, 12,   // 151
    12, 12, 12, 18, 10, 14, 18, 8, 18, 12, 8, 18, 8, 6, 12,      // 166
    12, 12, 6, 12, 6, 10, 14, 20, 18, 20, 10, 18, 18, 18, 18,    // 181
    18, 18, 24, 20, 14, 14, 14, 14, 10, 10, 10, 10, 22, 24, 22,  // 196
    22, 22, 22, 22, 18, 22, 20, 20, 20, 20, 18, 14, 12, 12, 12,  // 211
    12, 12, 12, 12, 16, 10, 10, 10, 10, 10, 8, 8, 8, 8, 12,      // 226
    12, 12, 12, 12, 12, 12, 18, 12, 12, 12, 12, 12, 12, 12, 12,  // 241
};

Tables read_tables(const std::vector<uint8_t>& file) {
    Tables t;
    t.height = file[kHeightAt];
    for (int i = 0; i < kGlyphs; ++i) {
        t.width[i] = file[kRecordsAt + kRecordSize * i + kWidthField];
        t.offset[i] = bytes::get_u32(&file[kOffsetsAt + 4 * i]);
    }
    return t;
}

Tables calig_tables() {
    Tables t;
    t.height = kCaligHeight;
    uint32_t pos = 0;
    for (int i = 0; i < kGlyphs; ++i) {
        t.width[i] = kCaligWidths[i];
        t.offset[i] = pos;
        pos += kCaligWidths[i] * kCaligHeight;
    }
    return t;
}

uint32_t width_sum(const Tables& t) {
    uint32_t s = 0;
    for (uint32_t w : t.width) s += w;
    return s;
}

std::string bitmaps_fault(const Tables& t, uint64_t area) {
    for (int i = 0; i < kGlyphs; ++i)
        if (uint64_t(t.offset[i]) + uint64_t(t.width[i]) * t.height > area)
            return io::format("the bitmap of code %d lies past the end of the file", kFirstCode + i);
    return "";
}

std::string font_fault(const std::vector<uint8_t>& file, bool calig) {
    if (!calig && file.size() < kBitmapsAt) return "shorter than the font tables";
    Tables t = calig ? calig_tables() : read_tables(file);
    uint32_t bitmaps_at = calig ? kCaligBitmapsAt : kBitmapsAt;
    uint64_t area = file.size() > bitmaps_at ? file.size() - bitmaps_at : 0;
    return t.height == 0 ? "the font's height is 0" : bitmaps_fault(t, area);
}

std::vector<uint8_t> strip(const Tables& t, const uint8_t* bitmaps) {
    const size_t columns = width_sum(t) + kGlyphs;
    std::vector<uint8_t> s(columns * t.height);
    for (uint32_t j = 0; j < t.height; ++j) {
        uint8_t* row = &s[j * columns];
        size_t c = 0;
        for (int i = 0; i < kGlyphs; ++i) {
            if (t.width[i] > 0) std::memcpy(row + c, bitmaps + t.offset[i] + size_t(t.width[i]) * j, t.width[i]);
            row[c + t.width[i]] = kStripe;
            c += t.width[i] + 1;
        }
    }
    return s;
}

bool Face::blank(int code) const {
    const uint8_t* g = glyph(code);
    const size_t n = size_t(width(code)) * t.height;
    for (size_t k = 0; k < n; ++k)
        if (g[k] != 0) return false;
    return true;
}

Face face(const std::vector<uint8_t>& file, bool calig) {
    Face f;
    f.t = calig ? calig_tables() : read_tables(file);
    f.bitmaps = file.data() + (calig ? kCaligBitmapsAt : kBitmapsAt);
    if (!calig)
        for (int i = 0; i < kGlyphs; ++i) {
            const uint8_t* rec = &file[kRecordsAt + kRecordSize * i];
            f.left[i] = int32_t(bytes::get_u32(rec + kLeftField));
            f.right[i] = int32_t(bytes::get_u32(rec + kRightField));
        }
    return f;
}

Draws draws(const Face& f, unsigned char code) {
    if (code < kFirstCode) return Draws::NoGlyph;
    // The space and the no-break space are gaps: their room is what counts.
    if (code == 0x20 || code == 0xA0) return f.advance(code) > 0 ? Draws::Yes : Draws::NoWidth;
    if (f.width(code) == 0) return Draws::NoWidth;
    return f.blank(code) ? Draws::Blank : Draws::Yes;
}

bool has_cyrillic(const Face& f) {
    for (int code = 192; code <= 255; ++code)
        if (draws(f, uint8_t(code)) == Draws::Yes) return true;
    return false;
}

} // namespace fnt
