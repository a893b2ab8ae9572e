// An FNT font: its tables checked and its glyphs laid side by side in the
// strip image, as extractfonts reads a font.
#include "formats/fnt.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    if (!fnt::font_fault(file, false).empty()) return 0;
    fnt::Tables t = fnt::read_tables(file);
    std::vector<uint8_t> s = fnt::strip(t, file.data() + fnt::kBitmapsAt);
    if (s.size() != size_t(fnt::width_sum(t) + fnt::kGlyphs) * t.height) std::abort();
    return 0;
}
