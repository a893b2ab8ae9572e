// stripeglyphs: turns a glyph sheet (glyphs standing side by side, separated
// by blank columns of any width) into a strip image that buildfont can
// measure: the glyphs are packed to the left edge in the order they stand,
// each followed by one stripe of value 254. The image keeps its size; the
// head block and up to 1000 bytes after the pixels are carried over as read.
#include "formats/fnt.hpp"
#include "formats/tiff.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t kPixelsStart = 1561;
constexpr size_t kTailMax = 1000;

} // namespace

void stripeglyphs() {
    const std::string sheet = "c:\\games\\zundfiles\\calig\\abc.tif";
    const std::string target = "c:\\games\\zundfiles\\calig\\a_b_c_.tif";

    FILE* in = io::open_or_die(sheet.c_str(), "rb");
    uint64_t size = io::size_of(in);
    tiffimg::Edited e = tiffimg::read_fields(in, size, sheet);
    std::vector<uint8_t> p = tiffimg::read_pixels(in, size, e, kPixelsStart, sheet);
    // The pixels start at 1561 and end within the file, so the head is there.
    std::vector<uint8_t> head(kPixelsStart);
    std::fseek(in, 0, SEEK_SET);
    if (io::read(in, head.data(), head.size()) != head.size()) io::damaged(sheet, "the head cannot be read");
    std::vector<uint8_t> tail(kTailMax);
    std::fseek(in, long(e.end), SEEK_SET);
    tail.resize(io::read(in, tail.data(), tail.size()));
    std::fclose(in);

    const uint32_t w = e.width, h = e.height;
    std::vector<uint8_t> q(p.size());
    if (w > 0 && h > 0) { // otherwise there are no pixels, and every column is blank
        std::vector<bool> blank(w, true);
        for (uint32_t r = 0; r < h; ++r)
            for (uint32_t x = 0; x < w; ++x)
                if (p[size_t(r) * w + x] != 0) blank[x] = false;
        uint32_t a = 0, out = 0;
        while (a < w) {
            uint32_t x = a;
            while (x < w && blank[x]) ++x;
            if (x == w) break;
            uint32_t end = x + 1;
            while (end < w && !blank[end]) ++end;
            for (uint32_t r = 0; r < h; ++r)
                for (uint32_t c = x; c < end; ++c) q[size_t(r) * w + out + (c - x)] = p[size_t(r) * w + c];
            out += end - x;
            // A sheet without blank columns to spare has no room for the
            // stripe after its last glyph; the image keeps its width.
            if (out < w) {
                for (uint32_t r = 0; r < h; ++r) q[size_t(r) * w + out] = fnt::kStripe;
                ++out;
            }
            a = end;
        }
    }

    FILE* f = win::fopen(target.c_str(), "wb");
    if (!f) {
        std::printf("Can't create\n");
        std::exit(1);
    }
    io::write(f, head.data(), head.size(), target);
    io::write(f, q.data(), q.size(), target);
    io::write(f, tail.data(), tail.size(), target);
    io::close(f, target);
}
