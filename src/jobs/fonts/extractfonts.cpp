// extractfonts: writes the calig font, then every FNT font of the fonts
// folder, as one strip image each (all 225 glyphs side by side, each followed
// by a stripe of value 254): calig\calig.tif, and calig\<font name>.tif, so
// that "comic.fnt" gives "comic.fnt.tif". The edited strips are what
// buildfont reads back.
//
// A damaged font gets a "Damaged file" line and no image; the job goes on
// with the other fonts and ends with exit code 1.
#include "formats/fnt.hpp"
#include "formats/tiff.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdio>
#include <cstdlib>

namespace {

bool write_strip(const std::string& font, const std::vector<uint8_t>& file, bool calig, const std::string& image) {
    std::string fault = fnt::font_fault(file, calig);
    if (!fault.empty()) {
        io::report_damaged(font, fault);
        return false;
    }
    fnt::Tables t = calig ? fnt::calig_tables() : fnt::read_tables(file);
    std::vector<uint8_t> pixels = fnt::strip(t, file.data() + (calig ? fnt::kCaligBitmapsAt : fnt::kBitmapsAt));
    tiffimg::write_image(image, pixels.data(), fnt::width_sum(t) + fnt::kGlyphs, t.height);
    return true;
}

} // namespace

void extractfonts() {
    bool all_good = true;

    const std::string calig = "e:\\games\\zundfiles\\calig.fn1";
    FILE* in = io::open_or_die(calig.c_str(), "rb");
    std::vector<uint8_t> file = io::read_all(in);
    std::fclose(in);
    all_good &= write_strip(calig, file, true, "e:\\games\\zundfiles\\calig\\calig.tif");

    win::FindData fd;
    intptr_t h = win::findfirst("e:\\games\\zundfiles\\*.fnt", &fd);
    if (h != -1) {
        do {
            std::string font = "e:\\games\\zundfiles\\" + fd.name;
            in = io::open_or_die(font.c_str(), "rb");
            file = io::read_all(in);
            std::fclose(in);
            all_good &= write_strip(font, file, false, "e:\\games\\zundfiles\\calig\\" + fd.name + ".tif");
        } while (win::findnext(h, &fd) == 0);
        win::findclose(h);
    }
    if (!all_good) std::exit(1);
}
