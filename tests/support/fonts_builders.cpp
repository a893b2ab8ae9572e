#include "support/fonts_builders.hpp"

#include "formats/fnt.hpp"

namespace fonttest {

const std::string kZund = "e:\\games\\zundfiles\\";
const std::string kOut = "e:\\games\\zundfiles\\calig\\";
const std::string kSource = "c:\\games\\zundfiles\\comic.fnt";
const std::string kImage = "c:\\games\\hexfiles\\fonts\\comic.fnt.tif";
const std::string kTarget = "c:\\games\\hexfiles\\fonts\\comic.fnt";
const std::string kSheet = "c:\\games\\zundfiles\\calig\\abc.tif";
const std::string kStrip = "c:\\games\\zundfiles\\calig\\a_b_c_.tif";

Bytes slice(const Bytes& b, size_t at, size_t n) { return Bytes(b.begin() + long(at), b.begin() + long(at + n)); }

void set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> 8 * i);
}

Font make_font(uint8_t height, const std::vector<uint32_t>& widths, uint32_t seed) {
    Font f;
    f.height = height;
    f.width = widths;
    uint32_t pos = 0;
    for (int i = 0; i < 225; ++i) {
        f.offset[i] = pos;
        pos += f.w(i) * height;
        f.left[i] = -i;
        f.right[i] = i + 100;
    }
    f.bitmaps = pattern(pos, seed);
    for (auto& v : f.bitmaps) v %= 254;
    return f;
}

Bytes fnt_file(const Font& f) {
    Buf b;
    b.u8(31).u8(255).u8(8).u8(0).u8(0).u8(f.height).fill(26, 0).fill(31 * 12, 0);
    for (int i = 0; i < 225; ++i) b.u32(uint32_t(f.left[i])).u32(f.width[i]).u32(uint32_t(f.right[i]));
    b.fill(124, 0);
    for (uint32_t o : f.offset) b.u32(o);
    return b.raw(f.bitmaps).b;
}

Bytes strip_of(const Font& f, uint32_t extra, uint8_t fill) {
    Bytes s;
    for (uint32_t y = 0; y < f.height; ++y) {
        for (int i = 0; i < 225; ++i) {
            Bytes g = f.glyph(i);
            s.insert(s.end(), g.begin() + y * f.w(i), g.begin() + (y + 1) * f.w(i));
            s.push_back(254);
        }
        s.insert(s.end(), extra, fill);
    }
    return s;
}

std::vector<uint32_t> calig_widths() { return std::vector<uint32_t>(fnt::kCaligWidths, fnt::kCaligWidths + 225); }

Bytes calig_file(const Font& f) { return Buf().raw(pattern(1312, 77)).raw(f.bitmaps).b; }

Bytes edited(const Bytes& pixels, uint32_t w, uint32_t h, uint32_t start, size_t tail) {
    uint32_t end = start + uint32_t(pixels.size());
    Bytes b = Buf().raw("II*").u8(0).u32(end).raw(pattern(start - 8, 5)).raw(pixels).raw(pattern(198 + tail, 6)).b;
    set32(b, end + 22, w);
    set32(b, end + 34, h);
    set32(b, end + 142, end);
    return b;
}

} // namespace fonttest
