// An edited TIFF image read at its fixed positions: the directory's offset,
// width, height and the end of the pixels, then the pixel block from where
// the font jobs (buildfont, stripeglyphs) begin it.
#include "formats/tiff.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* in = fuzz::open(data, size);
    fuzz::until_exit([&] {
        tiffimg::Edited e = tiffimg::read_fields(in, size, "a.tif");
        std::vector<uint8_t> p = tiffimg::read_pixels(in, size, e, tiffimg::kHeadSize, "a.tif");
        if (uint64_t(e.width) * e.height > p.size()) std::abort();
        // The jobs walk the rows: the last pixel of the last row is there.
        if (e.width > 0 && e.height > 0) (void)*(volatile uint8_t*)&p[size_t(e.width) * e.height - 1];
    });
    std::fclose(in);
    return 0;
}
