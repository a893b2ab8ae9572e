// extracttgas: writes the tagged image entries of the zund7 icons archive as
// colour-mapped TGA images for an image editor. An entry is exported when
// its tag text (the bytes after its name's NUL in the entry header, up to
// the next NUL) holds "tga" in any letter case. The header and palette come
// from the archive, the pixels from the entry's unpacked pixel file in
// icons_all (made outside from the header-last entry file beside it). Files
// are numbered by directory index, so skipped entries leave gaps.
#include "formats/lod.hpp"
#include "formats/tga.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool has_tga_tag(const std::vector<uint8_t>& data) {
    auto nul = std::find(data.begin(), data.end(), 0);
    if (nul == data.end()) return false; // no name terminator, no tag
    std::string tag(nul + 1, std::find(nul + 1, data.end(), 0));
    for (char& c : tag)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return tag.find("tga") != std::string::npos;
}

} // namespace

void extracttgas() {
    const std::string archive = "c:\\games\\ZUND7\\data\\icons.lod";
    const size_t count = 4241;
    FILE* in = io::open_or_die(archive.c_str(), "rb");
    uint64_t in_size = io::size_of(in);
    lod::Block block = lod::read_block(in, in_size, count, archive);

    for (size_t k = 0; k < count; ++k) {
        std::string name = block.name(k);
        io::report_error(in);
        std::vector<uint8_t> data =
            lod::read_data(in, in_size, block.data_offset(k), block.size(k), archive, name);
        if (!has_tga_tag(data)) continue;
        // The name forms the paths of the pixel file and the image.
        if (!io::plain_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        // An image entry holds its header, its payload and a palette.
        if (data.size() < lod::kHeaderSize)
            io::damaged(archive, "entry " + name + " is shorter than its 48-byte entry header");
        uint64_t palette_at = lod::kHeaderSize + uint64_t(lod::field32(data, lod::kStoredSizeField));
        if (palette_at + lod::kPaletteSize > data.size())
            io::damaged(archive, "the palette of entry " + name + " lies past the end of its data");

        std::string pixel_path = io::format("c:\\games\\zund7\\xfiles\\icons_all\\%04zu_%s", k, name.c_str());
        std::printf("%s\n", pixel_path.c_str());
        FILE* pixels = win::fopen(pixel_path.c_str(), "rb");
        if (!pixels) io::cant_create(pixel_path);
        std::string tga_path = io::format("c:\\games\\zund7\\xfiles\\icons_tga\\%04zu_%s.tga", k, name.c_str());
        FILE* out = win::fopen(tga_path.c_str(), "wb");
        if (!out) io::cant_create(tga_path);

        uint32_t pixel_size = lod::field32(data, lod::kPixelSizeField);
        uint16_t width = bytes::get_u16(data.data() + lod::kWidthField);
        uint16_t height = bytes::get_u16(data.data() + lod::kHeightField);
        std::vector<uint8_t> header = tga::header(width, height);
        io::write(out, header.data(), header.size(), tga_path);
        std::vector<uint8_t> colour_map = tga::reverse_triples(data.data() + palette_at);
        io::write(out, colour_map.data(), colour_map.size(), tga_path);
        // A pixel file shorter than the pixel size is made up with zeros, so
        // that the image holds every pixel its header promises: as far as
        // width x height reach, never further, so that a damaged pixel size
        // cannot make a small pixel file into an image of gigabytes.
        uint64_t got = io::copy(pixels, out, pixel_size, tga_path);
        uint64_t promised = std::min<uint64_t>(pixel_size, uint64_t(width) * height);
        if (got < promised) io::write_zeros(out, promised - got, tga_path);
        io::close(out, tga_path);
        std::fclose(pixels);
    }
    std::fclose(in);
}
