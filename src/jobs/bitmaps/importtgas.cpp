// The TGA import jobs bring edited images back into LOD image entries, around
// a packing step done outside:
//
// readtgas  for every TGA image in readytga, writes a ".pl" file beside it
//           (the old entry's header with the image's sizes, then the palette)
//           and its pixels, top row first, as a raw pixel file into pack\;
// comptgas  joins each ".pl" file with the packed pixel file "<name>.zl" in
//           readytga into a header-first image entry file in icons_ready,
//           which updatelod_icons takes into the archive.
//
// Image names begin with the directory index of the entry they replace.
// Every per-image file is opened by its full path, so that a missing pack or
// icons_ready folder stops the job instead of sending its files into
// readytga, where an entry file would take the packed file's place.
#include "formats/bytes.hpp"
#include "formats/lod.hpp"
#include "formats/tga.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kReadyTga = "c:\\games\\zund7\\xfiles\\readytga\\";

// Opens a file of the import for writing. The next step (the packing
// outside, comptgas, updatelod_icons) takes such a file in as it finds it:
// it takes the place of an earlier file of its name only once complete.
std::unique_ptr<io::Replacement> output(const std::string& path) {
    auto out = std::make_unique<io::Replacement>(path, "wb");
    if (!out->ok()) io::cant_open();
    return out;
}

// Makes the ".pl" file and the raw pixel file of the TGA image `name`.
void import_tga(FILE* lod, uint64_t lod_size, const std::string& archive, size_t count, const std::string& name) {
    FILE* f = io::open_or_die((kReadyTga + name).c_str(), "rb");
    std::vector<uint8_t> img = io::read_all(f);
    std::fclose(f);
    if (img.size() < tga::kHeaderSize || !tga::is_colour_mapped_256(img.data()))
        io::damaged(name, "not an uncompressed TGA image with a colour map of 256 colours of 24 bits");
    uint16_t width = bytes::get_u16(img.data() + tga::kWidthField);
    uint16_t height = bytes::get_u16(img.data() + tga::kHeightField);
    uint32_t pixels = uint32_t(width) * height;
    if (img.size() < tga::kPixelsAt + pixels) io::damaged(name, "shorter than its colour map and pixel rows");

    // The old entry's header, from the entry of the image's number.
    long k = std::strtol(name.c_str(), nullptr, 10);
    if (k < 0 || size_t(k) >= count)
        io::damaged(name, io::format("its number names no entry of %s, which has %zu", archive.c_str(), count));
    uint8_t entry[lod::kEntrySize] = {};
    std::fseek(lod, long(lod::block_size(size_t(k))), SEEK_SET);
    if (lod::block_size(size_t(k) + 1) > lod_size || io::read(lod, entry, sizeof entry) != sizeof entry)
        io::damaged(archive, "its directory lies past the end of the archive");
    std::vector<uint8_t> header = lod::read_data(lod, lod_size, bytes::get_u32(entry + lod::kDataOffsetField),
                                                 lod::kHeaderSize, archive, lod::entry_name(entry));
    // Pixel size and unpacked size count the pixels written to the raw
    // pixel file; bytes after them (an editor's footer) are not pixels.
    lod::set_field32(header, lod::kPixelSizeField, pixels);
    lod::set_field32(header, lod::kUnpackedSizeField, pixels);
    bytes::put_u16(header.data() + lod::kWidthField, width);
    bytes::put_u16(header.data() + lod::kHeightField, height);

    std::string pl = name.substr(0, name.size() - 3) + "pl";
    auto out = output(kReadyTga + pl);
    out->write(header.data(), header.size());
    std::vector<uint8_t> palette = tga::reverse_triples(img.data() + tga::kHeaderSize);
    out->write(palette.data(), palette.size());
    out->commit();
    std::printf("%s\n", pl.c_str());

    std::string raw = pl.substr(0, pl.size() - 3);
    out = output(kReadyTga + "pack\\" + raw);
    // Rows go top row first. Most images store the bottom row first; an
    // image whose descriptor says top-left origin is already in that order.
    bool top_first = (img[tga::kDescriptorField] & tga::kTopLeft) != 0;
    for (size_t i = 0; i < height; ++i) {
        size_t row = top_first ? i : height - 1 - i;
        out->write(img.data() + tga::kPixelsAt + row * width, width);
    }
    out->commit();
}

} // namespace

void readtgas() {
    const std::string archive = "c:\\games\\ZUND7\\data\\icons1.lod";
    FILE* lod = io::open_or_die(archive.c_str(), "rb");
    uint64_t lod_size = io::size_of(lod);
    win::FindData fd;
    intptr_t h = win::findfirst((kReadyTga + "*.tga").c_str(), &fd);
    if (h != -1) {
        do {
            import_tga(lod, lod_size, archive, 4241, fd.name);
        } while (win::findnext(h, &fd) == 0);
        win::findclose(h);
    }
    std::fclose(lod);
}

void comptgas() {
    const size_t pl_size = lod::kHeaderSize + lod::kPaletteSize; // 0x330
    win::FindData fd;
    intptr_t h = win::findfirst((kReadyTga + "*.pl").c_str(), &fd);
    if (h == -1) return;
    do {
        FILE* f = io::open_or_die((kReadyTga + fd.name).c_str(), "rb");
        if (fd.size != pl_size) {
            std::printf("Don't match 0x330\n");
            std::exit(1);
        }
        std::vector<uint8_t> pl(pl_size);
        size_t got = io::read(f, pl.data(), pl.size());
        std::fclose(f);
        if (got != pl.size()) io::damaged(fd.name, "shorter than its 816 bytes of header and palette");

        std::string zl = fd.name.substr(0, fd.name.size() - 2) + "zl";
        f = io::open_or_die((kReadyTga + zl).c_str(), "rb");
        std::vector<uint8_t> packed = io::read_all(f);
        std::fclose(f);
        if (packed.size() > UINT32_MAX) io::damaged(zl, "longer than the 4 GiB that an entry header can record");
        lod::set_field32(pl, lod::kStoredSizeField, uint32_t(packed.size()));

        auto out = output("c:\\games\\zund7\\xfiles\\icons_ready\\" + zl);
        out->write(pl.data(), lod::kHeaderSize);
        out->write(packed.data(), packed.size());
        out->write(pl.data() + lod::kHeaderSize, lod::kPaletteSize);
        out->commit();
        std::printf("%s\n", zl.c_str());
    } while (win::findnext(h, &fd) == 0);
    win::findclose(h);
}
