// buildfont: makes a new comic font, 20 rows high, from an edited strip image.
//
// The stripes (columns of value 254) in the image's top row give the new
// widths of the 225 glyphs, codes 31 to 255; every other row must have its
// stripes in the same columns. The glyph records come from the old font with
// the new widths, codes 192 to 255 get the bearings 1 and 0, and the bitmaps
// lie back to back from the old font's offset of code 31. The new font is
// created only once every check has passed, and takes the place of a font of
// its name only once it has been written completely.
#include "formats/bytes.hpp"
#include "formats/fnt.hpp"
#include "formats/tiff.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kHeight = 20;        // rows of the new font
constexpr uint32_t kPixelsStart = 1565; // in the editor's layout
constexpr int kFixedBearings = 161;     // glyph of code 192

[[noreturn]] void stop(const char* message, int code) {
    std::printf("%s", message);
    std::exit(code);
}

} // namespace

void buildfont() {
    const std::string source = "c:\\games\\zundfiles\\comic.fnt";
    const std::string image = "c:\\games\\hexfiles\\fonts\\comic.fnt.tif";
    const std::string target = "c:\\games\\hexfiles\\fonts\\comic.fnt";

    FILE* in = io::open_or_die(source.c_str(), "rb");
    std::vector<uint8_t> font = io::read_all(in);
    std::fclose(in);
    if (font.size() < fnt::kBitmapsAt) io::damaged(source, "shorter than the font tables");
    std::vector<uint8_t> records(font.begin() + fnt::kRecordsAt, font.begin() + fnt::kRecordsAt + fnt::kRecordsSize);
    std::vector<uint8_t> offsets(font.begin() + fnt::kOffsetsAt, font.begin() + fnt::kOffsetsAt + fnt::kOffsetsSize);
    // The first glyph stays where the old font had it; the space before it is
    // written as zeros, so it must be no larger than the old bitmap area.
    uint64_t start = bytes::get_u32(&offsets[0]);
    if (start > font.size() - fnt::kBitmapsAt)
        io::damaged(source, "the glyph offset of code 31 lies past the end of the file");

    in = io::open_or_die(image.c_str(), "rb");
    uint64_t size = io::size_of(in);
    tiffimg::Edited e = tiffimg::read_fields(in, size, image);
    if (e.height != kHeight) stop("Ne ta vysota!\n", 2);
    std::vector<uint8_t> px = tiffimg::read_pixels(in, size, e, kPixelsStart, image);
    std::fclose(in);
    const uint32_t w = e.width;

    // The stripes of the top row; columns after the 225th are ignored.
    std::vector<uint32_t> width(fnt::kGlyphs);
    int n = 0;
    uint32_t s = 0;
    for (uint32_t x = 0; x < w; ++x) {
        if (px[x] != fnt::kStripe) continue;
        if (n < fnt::kGlyphs) width[n] = x - s;
        s = x + 1;
        ++n;
    }
    if (n != fnt::kGlyphs) stop("Mnogo polosok!\n", 4);

    // Only the low byte of a width field is read, so 255 columns is the most
    // a glyph can have.
    std::vector<uint64_t> offset(fnt::kGlyphs);
    offset[0] = start;
    for (int i = 0; i < fnt::kGlyphs; ++i) {
        if (width[i] > 255)
            io::damaged(image, io::format("the glyph of code %d is %u columns wide, more than a font can hold",
                                          fnt::kFirstCode + i, unsigned(width[i])));
        uint8_t* rec = &records[fnt::kRecordSize * i];
        rec[fnt::kWidthField] = uint8_t(width[i]);
        if (i >= kFixedBearings) {
            bytes::put_u32(rec + fnt::kLeftField, 1);
            bytes::put_u32(rec + fnt::kRightField, 0);
        }
        if (i + 1 < fnt::kGlyphs) offset[i + 1] = offset[i] + width[i] * kHeight;
    }
    uint64_t area = offset[fnt::kGlyphs - 1] + width[fnt::kGlyphs - 1] * kHeight;
    if (area > UINT32_MAX) io::damaged(source, "the new font's bitmaps would pass the 4 GiB its offsets can address");
    for (int i = 0; i < fnt::kGlyphs; ++i) bytes::put_u32(&offsets[4 * i], uint32_t(offset[i]));

    // Copy the glyphs row by row, checking that each is followed by its stripe.
    std::vector<uint8_t> bitmaps(area);
    for (uint32_t r = 0; r < kHeight; ++r) {
        const uint8_t* row = &px[size_t(r) * w];
        size_t c = 0;
        for (int i = 0; i < fnt::kGlyphs; ++i) {
            if (width[i] > 0) std::memcpy(bitmaps.data() + offset[i] + width[i] * r, row + c, width[i]);
            if (row[c + width[i]] != fnt::kStripe) stop("Net poloski!\n", 2);
            c += width[i] + 1;
        }
    }

    std::vector<uint8_t> head(fnt::kRecordsAt); // header and the empty records of codes 0 to 30
    head[0] = fnt::kFirstCode;
    head[1] = 255;
    head[2] = 8;
    head[fnt::kHeightAt] = kHeight;
    std::vector<uint8_t> low_offsets(fnt::kOffsetsAt - fnt::kOffsetTableAt);
    // A font built before keeps its place until the new one is complete.
    io::Replacement out(target, "wb");
    if (!out.ok()) io::cant_open();
    out.write(head.data(), head.size());
    out.write(records.data(), records.size());
    out.write(low_offsets.data(), low_offsets.size());
    out.write(offsets.data(), offsets.size());
    out.write(bitmaps.data(), bitmaps.size());
    out.commit();
}
