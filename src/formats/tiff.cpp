#include "formats/tiff.hpp"

#include "formats/bytes.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

namespace tiffimg {

const uint32_t kColourMap[256] = {
    0x000000, 0x6F5555, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080, // 0
    0xC0DCC0, 0xA6CAF0, 0x2A3FAA, 0x2A3FFF, 0x2A5F00, 0x2A5F55, 0x2A5FAA, 0x2A5FFF, // 8
    0x2A7F00, 0x2A7F55, 0x2A7FAA, 0x2A7FFF, 0x2A9F00, 0x2A9F55, 0x2A9FAA, 0x2A9FFF, // 16
    0x2ABF00, 0x2ABF55, 0x2ABFAA, 0x2ABFFF, 0x2ADF00, 0x2ADF55, 0x2ADFAA, 0x2ADFFF, // 24
    0x2AFF00, 0x2AFF55, 0x2AFFAA, 0x2AFFFF, 0x550000, 0x550055, 0x5500AA, 0x5500FF, // 32
    0x551F00, 0x551F55, 0x551FAA, 0x551FFF, 0x553F00, 0x553F55, 0x553FAA, 0x553FFF, // 40
    0x555F00, 0x555F55, 0x555FAA, 0x555FFF, 0x557F00, 0x557F55, 0x557FAA, 0x557FFF, // 48
    0x559F00, 0x559F55, 0x559FAA, 0x559FFF, 0x55BF00, 0x55BF55, 0x55BFAA, 0x55BFFF, // 56
    0x55DF00, 0x55DF55, 0x55DFAA, 0x55DFFF, 0x55FF00, 0x55FF55, 0x55FFAA, 0x55FFFF, // 64
    0x7F0000, 0x7F0055, 0x7F00AA, 0x7F00FF, 0x7F1F00, 0x7F1F55, 0x7F1FAA, 0x7F1FFF, // 72
    0x7F3F00, 0x7F3F55, 0x7F3FAA, 0x7F3FFF, 0x7F5F00, 0x7F5F55, 0x7F5FAA, 0x7F5FFF, // 80
    0x7F7F00, 0x7F7F55, 0x7F7FAA, 0x7F7FFF, 0x7F9F00, 0x7F9F55, 0x7F9FAA, 0x7F9FFF, // 88
    0x7FBF00, 0x7FBF55, 0x7FBFAA, 0x7FBFFF, 0x7FDF00, 0x7FDF55, 0x7FDFAA, 0x7FDFFF, // 96
    0x7FFF00, 0x7FFF55, 0x7FFFAA, 0x7FFFFF, 0xAA0000, 0xAA0055, 0xAA00AA, 0xAA00FF, // 104
    0xAA1F00, 0xAA1F55, 0xAA1FAA, 0xAA1FFF, 0xAA3F00, 0xAA3F55, 0xAA3FAA, 0xAA3FFF, // 112
    0xAA5F00, 0xAA5F55, 0xAA5FAA, 0xAA5FFF, 0xAA7F00, 0xAA7F55, 0xAA7FAA, 0xAA7FFF, // 120
    0xAA9F00, 0xAA9F55, 0xAA9FAA, 0xAA9FFF, 0xAABF00, 0xAABF55, 0xAABFAA, 0xAABFFF, // 128
    0xAADF00, 0xAADF55, 0xAADFAA, 0xAADFFF, 0xAAFF00, 0xAAFF55, 0xAAFFAA, 0xAAFFFF, // 136
    0xD40000, 0xD40055, 0xD400AA, 0xD400FF, 0xD41F00, 0xD41F55, 0xD41FAA, 0xD41FFF, // 144
    0xD43F00, 0xD43F55, 0xD43FAA, 0xD43FFF, 0xD45F00, 0xD45F55, 0xD45FAA, 0xD45FFF, // 152
    0xD47F00, 0xD47F55, 0xD47FAA, 0xD47FFF, 0xD49F00, 0xD49F55, 0xD49FAA, 0xD49FFF, // 160
    0xD4BF00, 0xD4BF55, 0xD4BFAA, 0xD4BFFF, 0xD4DF00, 0xD4DF55, 0xD4DFAA, 0xD4DFFF, // 168
    0xD4FF00, 0xD4FF55, 0xD4FFAA, 0xD4FFFF, 0xFF0055, 0xFF00AA, 0xFF1F00, 0xFF1F55, // 176
    0xFF1FAA, 0xFF1FFF, 0xFF3F00, 0xFF3F55, 0xFF3FAA, 0xFF3FFF, 0xFF5F00, 0xFF5F55, // 184
    0xFF5FAA, 0xFF5FFF, 0xFF7F00, 0xFF7F55, 0xFF7FAA, 0xFF7FFF, 0xFF9F00, 0xFF9F55, // 192
    0xFF9FAA, 0xFF9FFF, 0xFFBF00, 0xFFBF55, 0xFFBFAA, 0xFFBFFF, 0xFFDF00, 0xFFDF55, // 200
    0xFFDFAA, 0xFFDFFF, 0xFFFF55, 0xFFFFAA, 0xCCCCFF, 0xFFCCFF, 0x33FFFF, 0x66FFFF, // 208
    0x99FFFF, 0xCCFFFF, 0x007F00, 0x007F55, 0x007FAA, 0x007FFF, 0x009F00, 0x009F55, // 216
    0x009FAA, 0x009FFF, 0x00BF00, 0x00BF55, 0x00BFAA, 0x00BFFF, 0x00DF00, 0x00DF55, // 224
    0x00DFAA, 0x00DFFF, 0x00FF55, 0x00FFAA, 0x2A0000, 0x2A0055, 0x2A00AA, 0x2A00FF, // 232
    0x2A1F00, 0x2A1F55, 0x2A1FAA, 0x2A1FFF, 0x2A3F00, 0x2A3F55, 0xFFFBF0, 0xA0A0A4, // 240
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF, // 248
};

namespace {

// Field types of directory entries.
constexpr uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5;

// The resolution both ways: 2834646 / 100000 pixels per centimetre (72 dpi).
constexpr uint32_t kResolutionNumerator = 2834646;
constexpr uint32_t kResolutionDenominator = 100000;

// A single strip holds every row. Images up to 27 rows high (the tallest
// glyphs of the fonts) say 27 rows per strip; a taller image says its own
// height, so that readers do not look for strips that are not there.
uint32_t rows_per_strip(uint32_t height) { return height > 27 ? height : 27; }

} // namespace

std::vector<uint8_t> head_block(uint32_t width, uint32_t height) {
    std::vector<uint8_t> h(kHeadSize);
    h[0] = 'I';
    h[1] = 'I';
    h[2] = 42;
    bytes::put_u32(&h[4], kHeadSize + width * height);
    for (int i = 0; i < 256; ++i) {
        uint32_t rgb = kColourMap[i];
        // Each 8-bit intensity stands in the high byte of its u16 value.
        bytes::put_u16(&h[kColourMapAt + 2 * i], uint16_t(((rgb >> 16) & 0xFF) << 8));
        bytes::put_u16(&h[kColourMapAt + 512 + 2 * i], uint16_t(((rgb >> 8) & 0xFF) << 8));
        bytes::put_u16(&h[kColourMapAt + 1024 + 2 * i], uint16_t((rgb & 0xFF) << 8));
    }
    h[kDescriptionAt] = 0;
    for (uint32_t at : {kXResolutionAt, kYResolutionAt}) {
        bytes::put_u32(&h[at], kResolutionNumerator);
        bytes::put_u32(&h[at + 4], kResolutionDenominator);
    }
    return h;
}

std::vector<uint8_t> directory(uint32_t width, uint32_t height) {
    std::vector<uint8_t> d(kDirectorySize);
    uint8_t* p = d.data();
    bytes::put_u16(p, 16);
    p += 2;
    auto entry = [&p](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        bytes::put_u16(p, tag);
        bytes::put_u16(p + 2, type);
        bytes::put_u32(p + 4, count);
        if (type == kShort && count == 1)
            bytes::put_u16(p + 8, uint16_t(value)); // the other two bytes stay 0
        else
            bytes::put_u32(p + 8, value);
        p += 12;
    };
    entry(254, kLong, 1, 0);                          // NewSubfileType
    entry(256, kLong, 1, width);                      // ImageWidth
    entry(257, kLong, 1, height);                     // ImageLength
    entry(258, kShort, 1, 8);                         // BitsPerSample
    entry(259, kShort, 1, 1);                         // Compression: none
    entry(262, kShort, 1, 3);                         // PhotometricInterpretation: palette
    // ImageDescription: the empty text is its own terminating zero byte. A
    // value of 4 bytes or fewer stands in the entry itself, so the field holds
    // that byte rather than the offset of the copy at 1544.
    entry(270, kAscii, 1, 0);
    entry(273, kLong, 1, kHeadSize);                  // StripOffsets
    entry(274, kShort, 1, 1);                         // Orientation: top left
    entry(277, kShort, 1, 1);                         // SamplesPerPixel
    entry(278, kLong, 1, rows_per_strip(height));     // RowsPerStrip
    entry(279, kLong, 1, width * height);             // StripByteCounts
    entry(282, kRational, 1, kXResolutionAt);         // XResolution
    entry(283, kRational, 1, kYResolutionAt);         // YResolution
    entry(296, kShort, 1, 3);                         // ResolutionUnit: centimetre
    entry(320, kShort, 768, kColourMapAt);            // ColorMap
    bytes::put_u32(p, 0);                             // no next directory
    return d;
}

void write_image(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height) {
    FILE* out = io::open_or_die(path.c_str(), "wb");
    std::vector<uint8_t> head = head_block(width, height);
    std::vector<uint8_t> dir = directory(width, height);
    io::write(out, head.data(), head.size(), path);
    io::write(out, pixels, size_t(width) * height, path);
    io::write(out, dir.data(), dir.size(), path);
    io::close(out, path);
}

Edited read_fields(FILE* in, uint64_t size, const std::string& path) {
    uint8_t b[4] = {};
    auto u32_at = [&](uint64_t at) {
        if (at + 4 > size || std::fseek(in, long(at), SEEK_SET) != 0 || io::read(in, b, 4) != 4)
            io::damaged(path, "too short for its image file directory");
        return bytes::get_u32(b);
    };
    uint64_t d = u32_at(4);
    Edited e;
    e.height = u32_at(d + kEditedHeightAt);
    e.width = u32_at(d + kEditedWidthAt);
    e.end = u32_at(d + kEditedEndAt);
    return e;
}

std::vector<uint8_t> read_pixels(FILE* in, uint64_t size, const Edited& e, uint32_t start, const std::string& path) {
    if (e.end < start) io::damaged(path, "the pixels end before they start");
    if (e.end > size) io::damaged(path, "the pixels run past the end of the file");
    std::vector<uint8_t> p(e.end - start);
    if (uint64_t(e.width) * e.height > p.size())
        io::damaged(path, io::format("%u bytes of pixels are too few for %u x %u", unsigned(p.size()),
                                     unsigned(e.width), unsigned(e.height)));
    std::fseek(in, long(start), SEEK_SET);
    if (io::read(in, p.data(), p.size()) != p.size()) io::damaged(path, "the pixels cannot be read");
    return p;
}

} // namespace tiffimg
