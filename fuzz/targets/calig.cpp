// The calig font: its bitmaps checked against the built-in tables and laid
// out as extractfonts and extractglyphs take them.
#include "formats/fnt.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    if (!fnt::font_fault(file, true).empty()) return 0;
    fnt::Tables t = fnt::calig_tables();
    uint64_t area = file.size() > fnt::kCaligBitmapsAt ? file.size() - fnt::kCaligBitmapsAt : 0;
    if (!fnt::bitmaps_fault(t, area).empty()) std::abort();
    fnt::strip(t, file.data() + fnt::kCaligBitmapsAt);
    return 0;
}
