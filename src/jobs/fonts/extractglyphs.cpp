// extractglyphs: writes each glyph of the calig font as a TIFF image of its
// own, calig\1F.tif to calig\FF.tif, named by the character code.
#include "formats/fnt.hpp"
#include "formats/tiff.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdio>

void extractglyphs() {
    const std::string font = "e:\\games\\zundfiles\\calig.fnt";
    FILE* in = io::open_or_die(font.c_str(), "rb");
    std::vector<uint8_t> file = io::read_all(in);
    std::fclose(in);
    // The whole font is checked before the first image is written.
    fnt::Tables t = fnt::calig_tables();
    uint64_t area = file.size() > fnt::kCaligBitmapsAt ? file.size() - fnt::kCaligBitmapsAt : 0;
    std::string fault = fnt::bitmaps_fault(t, area);
    if (!fault.empty()) io::damaged(font, fault);
    const uint8_t* bitmaps = file.data() + fnt::kCaligBitmapsAt;
    for (int i = 0; i < fnt::kGlyphs; ++i) {
        std::string path = io::format("e:\\games\\zundfiles\\calig\\%02X.tif", fnt::kFirstCode + i);
        tiffimg::write_image(path, bitmaps + t.offset[i], t.width[i], t.height);
    }
}
