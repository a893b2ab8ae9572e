// extractglyphs, extractfonts, buildfont and stripeglyphs, run as executables
// on fonts and images built here; every image written is opened with libtiff.
#include "support/fonts_builders.hpp"

#include "formats/fnt.hpp"

#include <tiffio.h>

#include <cstdarg>

namespace {

using namespace fonttest;

// libtiff's view of an image: size, palette, pixels and every complaint.
std::vector<std::string> tiff_messages;
void collect(const char*, const char* fmt, va_list ap) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    tiff_messages.push_back(buf);
}

void expect_image(const std::filesystem::path& path, uint32_t w, uint32_t h, const Bytes& pixels) {
    TIFFSetWarningHandler(collect);
    TIFFSetErrorHandler(collect);
    tiff_messages.clear();
    TIFF* t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr) << path;
    uint32_t width = 0, height = 0;
    uint16_t photometric = 0, *red = nullptr, *green = nullptr, *blue = nullptr;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue));
    EXPECT_EQ(width, w);
    EXPECT_EQ(height, h);
    EXPECT_EQ(photometric, PHOTOMETRIC_PALETTE);
    Bytes got, row(size_t(TIFFScanlineSize(t)));
    for (uint32_t y = 0; y < height && TIFFReadScanline(t, row.data(), y) >= 0; ++y)
        got.insert(got.end(), row.begin(), row.begin() + width);
    EXPECT_EQ(got, pixels);
    auto rgb = [&](int i) { return uint32_t(red[i] >> 8) << 16 | (green[i] >> 8) << 8 | blue[i] >> 8; };
    for (int i = 0; i < 256; ++i) EXPECT_EQ((red[i] | green[i] | blue[i]) & 0xFF, 0);
    for (auto [i, want] : std::vector<std::pair<int, uint32_t>>{
             {0, 0x000000}, {1, 0x6F5555}, {9, 0xA6CAF0}, {10, 0x2A3FAA}, {36, 0x550000}, {107, 0x7FFFFF},
             {179, 0xD4FFFF}, {180, 0xFF0055}, {212, 0xCCCCFF}, {218, 0x007F00}, {236, 0x2A0000},
             {246, 0xFFFBF0}, {247, 0xA0A0A4}, {248, 0x808080}, {254, 0x00FFFF}, {255, 0xFFFFFF}})
        EXPECT_EQ(rgb(i), want) << "colour " << i;
    TIFFClose(t);
    EXPECT_EQ(tiff_messages, std::vector<std::string>());
}

// The directory the jobs write for a W x H image.
Bytes directory_of(uint32_t w, uint32_t h, uint32_t rows_per_strip) {
    const uint32_t entries[16][4] = {{254, 4, 1, 0},    {256, 4, 1, w},       {257, 4, 1, h},    {258, 3, 1, 8},
                                     {259, 3, 1, 1},    {262, 3, 1, 3},       {270, 2, 1, 0},    {273, 4, 1, 1561},
                                     {274, 3, 1, 1},    {277, 3, 1, 1},       {278, 4, 1, rows_per_strip},
                                     {279, 4, 1, w * h}, {282, 5, 1, 1545},   {283, 5, 1, 1553}, {296, 3, 1, 3},
                                     {320, 3, 768, 8}};
    Buf d;
    d.u16(16);
    for (auto& e : entries) d.u16(uint16_t(e[0])).u16(uint16_t(e[1])).u32(e[2]).u32(e[3]);
    return d.u32(0).b;
}

class FontJobs : public JobTest {};

TEST_F(FontJobs, ExtractGlyphsWritesEachCaligGlyphInTheFixedLayout) {
    Font f = make_font(27, calig_widths(), 1);
    put(kZund + "calig.fnt", calig_file(f));
    mkdirs(kOut);
    expect_run(run("extractglyphs"), 0, {});

    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(host(kOut))) files += e.path().extension() == ".tif";
    EXPECT_EQ(files, 225u);
    Bytes first = get(kOut + "1F.tif");
    ASSERT_EQ(first.size(), 2137u);
    EXPECT_EQ(slice(first, 0, 8), Buf().raw("II*").u8(0).u32(1939).b);
    EXPECT_EQ(slice(first, 1544, 17), Buf().u8(0).u32(2834646).u32(100000).u32(2834646).u32(100000).b);
    EXPECT_EQ(slice(first, 1561, 378), f.glyph(0));
    EXPECT_EQ(slice(first, 1939, 198), directory_of(14, 27, 27));
    expect_image(host(kOut + "1F.tif"), 14, 27, f.glyph(0));
    Bytes space = get(kOut + "20.tif");
    ASSERT_EQ(space.size(), 1921u);
    EXPECT_EQ(slice(space, 8, 1553), slice(first, 8, 1553)); // the same head block
    expect_image(host(kOut + "20.tif"), 6, 27, f.glyph(1));
    expect_image(host(kOut + "A1.tif"), 8, 27, f.glyph(0xA1 - 31));
    expect_image(host(kOut + "FF.tif"), 12, 27, f.glyph(224));
}

TEST_F(FontJobs, ExtractGlyphsFailures) {
    expect_run(run("extractglyphs"), 1, {"Can't open"});
    Bytes file = calig_file(make_font(27, calig_widths(), 2));
    put(kZund + "calig.fnt", file);
    expect_run(run("extractglyphs"), 1, {"Can't open"}); // no calig folder
    mkdirs(kOut);
    put(kZund + "calig.fnt", slice(file, 0, file.size() - 1)); // one byte short: no image at all
    expect_run(run("extractglyphs"), 1,
               {"Damaged file " + kZund + "calig.fnt: the bitmap of code 255 lies past the end of the file"});
    EXPECT_FALSE(has(kOut + "1F.tif"));
    put(kZund + "calig.fnt", file);
    link(kOut + "21.tif", "/dev/full");
    expect_run(run("extractglyphs"), 1, {"Can't write " + kOut + "21.tif"});
    EXPECT_EQ(get(kOut + "20.tif").size(), 1921u);
}

TEST_F(FontJobs, ExtractFontsWritesTheCaligStripAndOneStripPerFont) {
    Font calig = make_font(27, calig_widths(), 3);
    put(kZund + "calig.fn1", calig_file(calig));
    // 18 rows; zero widths (the first glyph, and two side by side); upper
    // bytes in the width fields; bitmaps stored in reverse order after a gap,
    // so that only the offsets find them.
    std::vector<uint32_t> widths(225);
    for (int i = 0; i < 225; ++i) widths[i] = (i % 7 + 1) | uint32_t(i) << 8;
    widths[0] = widths[40] = widths[41] = 0x300;
    Font comic = make_font(18, widths, 4);
    Bytes comic_strip = strip_of(comic), moved = pattern(33, 9);
    for (int i = 224; i >= 0; --i) {
        Bytes g = comic.glyph(i);
        comic.offset[i] = uint32_t(moved.size());
        moved.insert(moved.end(), g.begin(), g.end());
    }
    comic.bitmaps = moved;
    put(kZund + "comic.fnt", fnt_file(comic));
    // A font taller than 27 rows, and the calig font's own .fnt, which is
    // read with its tables like any other.
    Font tall = make_font(30, std::vector<uint32_t>(225, 3), 5), small = make_font(2, std::vector<uint32_t>(225, 1), 6);
    put(kZund + "Tall.FNT", fnt_file(tall));
    put(kZund + "calig.fnt", fnt_file(small));
    put(kZund + "notafont.fn", "x");
    mkdirs(kOut);
    expect_run(run("extractfonts"), 0, {});

    Bytes strip = strip_of(calig);
    ASSERT_EQ(strip.size(), 3289u * 27);
    for (uint32_t y = 0; y < 27; ++y) EXPECT_TRUE(strip[y * 3289 + 14] == 254 && strip[y * 3289 + 21] == 254);
    EXPECT_EQ(slice(get(kOut + "calig.tif"), 1561 + 3289 * 27, 198), directory_of(3289, 27, 27));
    expect_image(host(kOut + "calig.tif"), 3289, 27, strip);
    uint32_t w = uint32_t(comic_strip.size()) / 18;
    EXPECT_EQ(comic_strip[0], 254);
    EXPECT_EQ(slice(get(kOut + "comic.fnt.tif"), 1561 + w * 18, 198), directory_of(w, 18, 27));
    expect_image(host(kOut + "comic.fnt.tif"), w, 18, comic_strip);
    EXPECT_EQ(slice(get(kOut + "Tall.FNT.tif"), 1561 + 900 * 30, 198), directory_of(900, 30, 30));
    expect_image(host(kOut + "Tall.FNT.tif"), 900, 30, strip_of(tall));
    expect_image(host(kOut + "calig.fnt.tif"), 450, 2, strip_of(small));
    EXPECT_FALSE(has(kOut + "notafont.fn.tif"));
}

TEST_F(FontJobs, ExtractFontsSkipsDamagedFontsAndFailsTheRun) {
    expect_run(run("extractfonts"), 1, {"Can't open"});
    Font good = make_font(4, std::vector<uint32_t>(225, 2), 7), far = good, flat = good;
    far.offset[100] = uint32_t(far.bitmaps.size()) - 7; // its 8 bytes run past the end
    flat.height = 0;
    put(kZund + "calig.fn1", Bytes(1312 + 3064 * 27 - 1, 1));
    put(kZund + "a.fnt", Bytes(4127, 0));
    put(kZund + "b.fnt", fnt_file(far));
    put(kZund + "c.fnt", fnt_file(flat));
    put(kZund + "d.fnt", fnt_file(good));
    mkdirs(kOut);
    expect_run(run("extractfonts"), 1,
               {"Damaged file " + kZund + "calig.fn1: the bitmap of code 255 lies past the end of the file",
                "Damaged file " + kZund + "a.fnt: shorter than the font tables",
                "Damaged file " + kZund + "b.fnt: the bitmap of code 131 lies past the end of the file",
                "Damaged file " + kZund + "c.fnt: the font's height is 0"});
    for (const char* n : {"calig.tif", "a.fnt.tif", "b.fnt.tif", "c.fnt.tif"}) EXPECT_FALSE(has(kOut + n)) << n;
    expect_image(host(kOut + "d.fnt.tif"), 675, 4, strip_of(good));

    put(kZund + "calig.fn1", calig_file(make_font(27, calig_widths(), 1)));
    for (const char* n : {"a.fnt", "c.fnt"}) std::filesystem::remove(host(kZund + n));
    put(kZund + "b.fnt", fnt_file(good));
    link(kOut + "b.fnt.tif", "/dev/full");
    expect_run(run("extractfonts"), 1, {"Can't write " + kOut + "b.fnt.tif"});
}

class BuildFont : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        std::vector<uint32_t> widths(225);
        for (int i = 0; i < 225; ++i) widths[i] = (i % 5 + 4) | 0xAB0000;
        source = make_font(27, widths, 11);
        put(kSource, fnt_file(source));
        mkdirs("c:\\games\\hexfiles\\fonts");
    }
    Font source;
};

TEST_F(BuildFont, MeasuresWidthsFromTheStripesAndWritesTheFont) {
    std::vector<uint32_t> widths(225);
    for (int i = 0; i < 225; ++i) widths[i] = i % 9 + 2;
    widths[0] = widths[60] = 0; // a stripe in column 0, two side by side
    widths[200] = 255;          // the widest a font can record
    Font f = make_font(20, widths, 20);
    Bytes s = strip_of(f, 5, 9);
    uint32_t w = uint32_t(s.size()) / 20;
    for (uint32_t y = 1; y < 20; ++y) s[y * w + w - 2] = 254; // past the 225th stripe, below the top row
    put(kImage, edited(s, w, 20, 1565));
    put(kTarget, "old font");
    expect_run(run("buildfont"), 0, {});

    Buf want;
    want.u8(31).u8(255).u8(8).u8(0).u8(0).u8(20).fill(26, 0).fill(31 * 12, 0);
    for (int i = 0; i < 225; ++i) {
        bool fixed = i >= 161; // codes 192 to 255
        want.u32(fixed ? 1 : uint32_t(source.left[i])).u32((source.width[i] & ~0xFFu) | widths[i]);
        want.u32(fixed ? 0 : uint32_t(source.right[i]));
    }
    want.fill(124, 0);
    for (uint32_t o : f.offset) want.u32(o);
    want.raw(f.bitmaps);
    Bytes out = get(kTarget);
    EXPECT_EQ(out, want.b);

    // The old font's offset of code 31 stays, with zeros before the glyphs.
    source.offset[0] = 50;
    put(kSource, fnt_file(source));
    expect_run(run("buildfont"), 0, {});
    Bytes moved = get(kTarget);
    ASSERT_EQ(moved.size(), out.size() + 50);
    EXPECT_EQ(le32(moved, 3228 + 4 * 224), le32(out, 3228 + 4 * 224) + 50);
    EXPECT_EQ(slice(moved, 4128, 50), Bytes(50, 0));
    EXPECT_EQ(slice(moved, 4178, f.bitmaps.size()), f.bitmaps);
}

TEST_F(BuildFont, ChecksStopTheJobBeforeTheFontIsCreated) {
    put(kTarget, "old font");
    Font f = make_font(20, std::vector<uint32_t>(225, 3), 30);
    Bytes s = strip_of(f);
    const uint32_t w = 900;
    auto expect_stop = [&](const Bytes& pixels, uint32_t width, uint32_t h, int code, const std::string& line) {
        put(kImage, edited(pixels, width, h, 1565));
        expect_run(run("buildfont"), code, {line});
    };
    Bytes b = s;
    b.insert(b.end(), w, 7);
    expect_stop(b, w, 21, 2, "Ne ta vysota!");
    b = s;
    b[w - 1] = 0;
    expect_stop(b, w, 20, 4, "Mnogo polosok!"); // 224 stripes
    b = strip_of(f, 3);
    b[w + 2] = 254;
    expect_stop(b, w + 3, 20, 4, "Mnogo polosok!"); // 226 stripes
    b = s;
    b[19 * w + 4 * 100 + 3] = 9;
    expect_stop(b, w, 20, 2, "Net poloski!"); // the stripe after code 131, last row
    EXPECT_EQ(get_text(kTarget), "old font");
}

TEST_F(BuildFont, DamagedInputsAndFailures) {
    Bytes s = strip_of(make_font(20, std::vector<uint32_t>(225, 2), 40));
    const uint32_t w = 675;
    Bytes image = edited(s, w, 20, 1565);
    put(kImage, image);
    source.offset[0] = uint32_t(source.bitmaps.size()) + 1;
    put(kSource, fnt_file(source));
    expect_run(run("buildfont"), 1,
               {"Damaged file " + kSource + ": the glyph offset of code 31 lies past the end of the file"});
    put(kSource, Bytes(4127, 0));
    expect_run(run("buildfont"), 1, {"Damaged file " + kSource + ": shorter than the font tables"});
    source.offset[0] = 0;
    put(kSource, fnt_file(source));

    const std::string img = "Damaged file " + kImage + ": ";
    put(kImage, slice(image, 0, image.size() - 60));
    expect_run(run("buildfont"), 1, {img + "too short for its image file directory"});
    for (auto [end, what] : std::vector<std::pair<uint32_t, std::string>>{
             {1564, "the pixels end before they start"},
             {uint32_t(image.size()) + 1, "the pixels run past the end of the file"},
             {1565 + 20 * w - 1, "13499 bytes of pixels are too few for 675 x 20"}}) {
        Bytes b = image;
        set32(b, 1565 + s.size() + 142, end);
        put(kImage, b);
        expect_run(run("buildfont"), 1, {img + what});
    }
    Bytes wide; // 254 more columns for code 38 (columns 21 and 22)
    for (uint32_t y = 0; y < 20; ++y) {
        Bytes row = slice(s, y * w, w);
        row.insert(row.begin() + 21, 254, 9);
        wide.insert(wide.end(), row.begin(), row.end());
    }
    put(kImage, edited(wide, w + 254, 20, 1565));
    expect_run(run("buildfont"), 1, {img + "the glyph of code 38 is 256 columns wide, more than a font can hold"});
    EXPECT_FALSE(has(kTarget));

    put(kImage, image);
    put(kTarget, "old font"); // a full disk leaves the font built before as it was
    RunOptions full;
    full.file_size_limit = 4000;
    expect_run(run("buildfont", "c:\\", full), 1, {"Can't write " + kTarget});
    EXPECT_EQ(get_text(kTarget), "old font");
    std::filesystem::remove_all(host("c:\\games\\hexfiles"));
    expect_run(run("buildfont"), 1, {"Can't open"});
    put(kImage, image);
    std::filesystem::remove(host(kSource));
    expect_run(run("buildfont"), 1, {"Can't open"});
}

class StripeGlyphs : public JobTest {
protected:
    // The strip's pixels, once the head and tail came through unchanged.
    Bytes respace(const Bytes& pixels, uint32_t w, uint32_t h) {
        Bytes sheet = edited(pixels, w, h, 1561, 40);
        put(kSheet, sheet);
        expect_run(run("stripeglyphs"), 0, {});
        Bytes out = get(kStrip);
        if (out.size() != sheet.size()) return {};
        EXPECT_EQ(slice(out, 0, 1561), slice(sheet, 0, 1561));
        EXPECT_EQ(slice(out, 1561 + pixels.size(), 238), slice(sheet, 1561 + pixels.size(), 238));
        return slice(out, 1561, pixels.size());
    }
};

TEST_F(StripeGlyphs, PacksGlyphsToTheLeftWithOneStripeEach) {
    EXPECT_EQ(respace({0, 5, 5, 0, 0, 7, 0, 0, 0, 0}, 10, 1), Bytes({5, 5, 254, 7, 254, 0, 0, 0, 0, 0}));
    EXPECT_EQ(respace(Bytes(30, 0), 10, 3), Bytes(30, 0));
    // Blank means 0 in every row; a glyph at the right edge gets its stripe.
    EXPECT_EQ(respace({0, 0, 1, 0, 0, 0, 0, 4, /**/ 0, 0, 0, 2, 0, 0, 0, 5}, 8, 2),
              Bytes({1, 0, 254, 4, 254, 0, 0, 0, /**/ 0, 2, 254, 5, 254, 0, 0, 0}));
    // On its own result, the packed area is one glyph: one more stripe.
    EXPECT_EQ(respace({5, 5, 254, 7, 254, 0, 0, 0, 0, 0}, 10, 1), Bytes({5, 5, 254, 7, 254, 254, 0, 0, 0, 0}));
    // No blank column to spare: the last glyph's stripe has no room.
    EXPECT_EQ(respace({3, 0, 4, 4, 3, 0, 0, 4}, 4, 2), Bytes({3, 254, 4, 4, 3, 254, 0, 4}));
    // Pixels past width x height are not part of the image.
    EXPECT_EQ(respace({0, 6, 0, 9, 9}, 3, 1), Bytes({6, 254, 0, 0, 0}));

    Bytes sheet = edited({0, 1}, 2, 1, 1561, 1500); // at most 1000 bytes after the pixels stay
    put(kSheet, sheet);
    expect_run(run("stripeglyphs"), 0, {});
    EXPECT_EQ(get(kStrip), Buf().raw(slice(sheet, 0, 1561)).u8(1).u8(254).raw(slice(sheet, 1563, 1000)).b);
}

TEST_F(StripeGlyphs, Failures) {
    expect_run(run("stripeglyphs"), 1, {"Can't open"});
    const std::string bad = "Damaged file " + kSheet + ": ";
    put(kSheet, edited({0, 1, 0}, 2, 2, 1561));
    expect_run(run("stripeglyphs"), 1, {bad + "3 bytes of pixels are too few for 2 x 2"});
    put(kSheet, Buf().raw("II*").u8(0).u32(0xFFFFFFF0).fill(2000, 0).b);
    expect_run(run("stripeglyphs"), 1, {bad + "too short for its image file directory"});
    put(kSheet, Bytes(1000, 0)); // every field 0: the pixels would end at 0
    expect_run(run("stripeglyphs"), 1, {bad + "the pixels end before they start"});
    EXPECT_FALSE(has(kStrip));
    put(kSheet, edited({0, 1, 0, 2}, 2, 2, 1561));
    mkdirs(kStrip);
    expect_run(run("stripeglyphs"), 1, {"Can't create"});
    std::filesystem::remove(host(kStrip));
    link(kStrip, "/dev/full");
    expect_run(run("stripeglyphs"), 1, {"Can't write " + kStrip});
}

} // namespace
