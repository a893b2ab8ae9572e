// extractglyphs, extractfonts, buildfont and stripeglyphs, run as executables
// on fonts and images built here; every image written is also opened with
// libtiff.
#include "support/jobtest.hpp"

#include "formats/fnt.hpp"

#include <tiffio.h>

#include <cstdarg>
#include <numeric>

namespace {

const std::string kZund = "e:\\games\\zundfiles\\";
const std::string kOut = "e:\\games\\zundfiles\\calig\\";
const std::string kSource = "c:\\games\\zundfiles\\comic.fnt";
const std::string kImage = "c:\\games\\hexfiles\\fonts\\comic.fnt.tif";
const std::string kTarget = "c:\\games\\hexfiles\\fonts\\comic.fnt";
const std::string kSheet = "c:\\games\\zundfiles\\calig\\abc.tif";
const std::string kStrip = "c:\\games\\zundfiles\\calig\\a_b_c_.tif";

// ---- libtiff's view of an image ------------------------------------------

std::vector<std::string> tiff_messages;

void collect(const char* module, const char* fmt, va_list ap) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    tiff_messages.push_back(std::string(module ? module : "") + ": " + buf);
}

struct Image {
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, photometric = 0;
    const uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    std::vector<uint16_t> map; // red, green, blue: 768 values
    Bytes pixels;
    std::vector<std::string> messages; // libtiff's warnings and errors
};

Image read_tiff(const std::filesystem::path& path) {
    TIFFSetWarningHandler(collect);
    TIFFSetErrorHandler(collect);
    tiff_messages.clear();
    Image im;
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (t) {
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &im.width);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &im.height);
        TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &im.bits);
        TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &im.samples);
        TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &im.photometric);
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b)) {
            im.map.assign(r, r + 256);
            im.map.insert(im.map.end(), g, g + 256);
            im.map.insert(im.map.end(), b, b + 256);
        }
        Bytes row(size_t(TIFFScanlineSize(t)));
        for (uint32_t y = 0; y < im.height; ++y) {
            if (TIFFReadScanline(t, row.data(), y) < 0) break;
            im.pixels.insert(im.pixels.end(), row.begin(), row.begin() + im.width);
        }
        TIFFClose(t);
    } else {
        tiff_messages.push_back("cannot open " + path.string());
    }
    im.messages = tiff_messages;
    return im;
}

uint32_t rgb(const Image& im, int i) { return uint32_t(im.map[i] >> 8) << 16 | (im.map[256 + i] >> 8) << 8 | im.map[512 + i] >> 8; }

// An image as the jobs write it, read through libtiff: a W x H palette image
// with the colour map of the jobs, the given pixels and nothing to complain of.
void expect_image(const Image& im, uint32_t w, uint32_t h, const Bytes& pixels) {
    EXPECT_EQ(im.messages, std::vector<std::string>());
    EXPECT_EQ(im.width, w);
    EXPECT_EQ(im.height, h);
    EXPECT_EQ(im.bits, 8);
    EXPECT_EQ(im.samples, 1);
    EXPECT_EQ(im.photometric, PHOTOMETRIC_PALETTE);
    EXPECT_EQ(im.pixels, pixels);
    ASSERT_EQ(im.map.size(), 768u);
    for (uint16_t v : im.map) EXPECT_EQ(v & 0xFF, 0);
    std::vector<std::pair<int, uint32_t>> samples = {
        {0, 0x000000},   {1, 0x6F5555},   {9, 0xA6CAF0},   {10, 0x2A3FAA},  {35, 0x2AFFFF},  {36, 0x550000},
        {107, 0x7FFFFF}, {179, 0xD4FFFF}, {180, 0xFF0055}, {211, 0xFFFFAA}, {212, 0xCCCCFF}, {218, 0x007F00},
        {235, 0x00FFAA}, {236, 0x2A0000}, {246, 0xFFFBF0}, {247, 0xA0A0A4}, {248, 0x808080}, {254, 0x00FFFF},
        {255, 0xFFFFFF}};
    for (auto [i, want] : samples) EXPECT_EQ(rgb(im, i), want) << "colour " << i;
}

// The directory the jobs write for a W x H image, entry by entry.
Bytes directory_of(uint32_t w, uint32_t h, uint32_t rows_per_strip) {
    Buf d;
    d.u16(16);
    auto entry = [&d](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        d.u16(tag).u16(type).u32(count).u32(value);
    };
    entry(254, 4, 1, 0);
    entry(256, 4, 1, w);
    entry(257, 4, 1, h);
    entry(258, 3, 1, 8);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 3);
    entry(270, 2, 1, 0);
    entry(273, 4, 1, 1561);
    entry(274, 3, 1, 1);
    entry(277, 3, 1, 1);
    entry(278, 4, 1, rows_per_strip);
    entry(279, 4, 1, w * h);
    entry(282, 5, 1, 1545);
    entry(283, 5, 1, 1553);
    entry(296, 3, 1, 3);
    entry(320, 3, 768, 8);
    d.u32(0);
    return d.b;
}

Bytes slice(const Bytes& b, size_t at, size_t n) { return Bytes(b.begin() + at, b.begin() + at + n); }

// ---- fonts and strips ----------------------------------------------------

// Glyph pixels: anything but the stripe value.
Bytes glyph_bytes(size_t n, uint32_t seed) {
    Bytes b = pattern(n, seed);
    for (auto& v : b) v = uint8_t(v % 254);
    return b;
}

struct Font {
    uint8_t height = 20;
    std::vector<uint32_t> width = std::vector<uint32_t>(225); // full width fields
    std::vector<uint32_t> offset = std::vector<uint32_t>(225);
    std::vector<int32_t> left = std::vector<int32_t>(225), right = std::vector<int32_t>(225);
    Bytes bitmaps;
    uint8_t w(int i) const { return uint8_t(width[i]); }
};

// Glyphs back to back from `base`, with random pixels.
Font make_font(uint8_t height, const std::vector<uint32_t>& widths, uint32_t base, uint32_t seed) {
    Font f;
    f.height = height;
    f.width = widths;
    uint32_t pos = base;
    for (int i = 0; i < 225; ++i) {
        f.offset[i] = pos;
        pos += uint8_t(widths[i]) * height;
        f.left[i] = -i;
        f.right[i] = i + 100;
    }
    f.bitmaps = Buf().fill(base, 0).raw(glyph_bytes(pos - base, seed)).b;
    return f;
}

Bytes fnt_file(const Font& f) {
    Buf b;
    b.u8(31).u8(255).u8(8).u8(0).u8(0).u8(f.height).fill(26, 0).fill(31 * 12, 0);
    for (int i = 0; i < 225; ++i) b.u32(uint32_t(f.left[i])).u32(f.width[i]).u32(uint32_t(f.right[i]));
    b.fill(124, 0);
    for (int i = 0; i < 225; ++i) b.u32(f.offset[i]);
    return b.raw(f.bitmaps).b;
}

Bytes glyph(const Font& f, int i) { return slice(f.bitmaps, f.offset[i], f.w(i) * f.height); }

// The strip the export must make: each glyph's rows followed by a stripe.
Bytes strip_of(const Font& f) {
    Bytes s;
    for (uint32_t y = 0; y < f.height; ++y)
        for (int i = 0; i < 225; ++i) {
            Bytes g = glyph(f, i);
            s.insert(s.end(), g.begin() + y * f.w(i), g.begin() + (y + 1) * f.w(i));
            s.push_back(254);
        }
    return s;
}

std::vector<uint32_t> calig_widths() { return std::vector<uint32_t>(fnt::kCaligWidths, fnt::kCaligWidths + 225); }

// The calig font files: 1312 bytes the jobs skip, then the glyphs.
Font calig_font(uint32_t seed) { return make_font(27, calig_widths(), 0, seed); }
Bytes calig_file(const Font& f) { return Buf().raw(pattern(1312, 77)).raw(f.bitmaps).b; }

// An image in the editor's layout: pixels from `start` on, and a directory
// whose second, third and twelfth value fields hold width, height and the
// end of the pixels.
Bytes edited(const Bytes& pixels, uint32_t w, uint32_t h, uint32_t start, size_t tail = 0) {
    uint32_t end = start + uint32_t(pixels.size());
    Buf b;
    b.raw("II*").u8(0).u32(end).raw(pattern(start - 8, 5)).raw(pixels);
    Bytes dir = pattern(198, 6);
    Buf fields;
    fields.u32(w);
    std::copy(fields.b.begin(), fields.b.end(), dir.begin() + 22);
    fields = Buf().u32(h);
    std::copy(fields.b.begin(), fields.b.end(), dir.begin() + 34);
    fields = Buf().u32(end);
    std::copy(fields.b.begin(), fields.b.end(), dir.begin() + 142);
    return b.raw(dir).raw(pattern(tail, 8)).b;
}

// ---- extractglyphs -------------------------------------------------------

class ExtractGlyphs : public JobTest {};

TEST_F(ExtractGlyphs, WritesEachCaligGlyphInTheFixedLayout) {
    Font f = calig_font(1);
    put(kZund + "calig.fnt", calig_file(f));
    mkdirs(kOut);
    expect_run(run("extractglyphs"), 0, {});

    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(host(kOut))) files += e.path().extension() == ".tif";
    EXPECT_EQ(files, 225u);

    Bytes first = get(kOut + "1F.tif");
    ASSERT_EQ(first.size(), 2137u);
    EXPECT_EQ(slice(first, 0, 8), Buf().raw("II*").u8(0).u32(1939).b);
    EXPECT_EQ(first[1544], 0);
    EXPECT_EQ(slice(first, 1545, 16), Buf().u32(2834646).u32(100000).u32(2834646).u32(100000).b);
    EXPECT_EQ(slice(first, 1561, 378), glyph(f, 0));
    EXPECT_EQ(slice(first, 1939, 198), directory_of(14, 27, 27));
    expect_image(read_tiff(host(kOut + "1F.tif")), 14, 27, glyph(f, 0));

    Bytes space = get(kOut + "20.tif");
    ASSERT_EQ(space.size(), 1921u);
    EXPECT_EQ(slice(space, 8, 1553), slice(first, 8, 1553)); // the same head block
    expect_image(read_tiff(host(kOut + "20.tif")), 6, 27, glyph(f, 1));
    expect_image(read_tiff(host(kOut + "FF.tif")), 12, 27, glyph(f, 224));
    expect_image(read_tiff(host(kOut + "A1.tif")), 8, 27, glyph(f, 0xA1 - 31));
}

TEST_F(ExtractGlyphs, Failures) {
    expect_run(run("extractglyphs"), 1, {"Can't open"});

    Font f = calig_font(2);
    put(kZund + "calig.fnt", calig_file(f));
    expect_run(run("extractglyphs"), 1, {"Can't open"}); // no calig folder

    // A font one byte short writes no image at all.
    Bytes file = calig_file(f);
    file.pop_back();
    put(kZund + "calig.fnt", file);
    mkdirs(kOut);
    expect_run(run("extractglyphs"), 1,
               {"Damaged file " + kZund + "calig.fnt: the bitmap of code 255 lies past the end of the file"});
    EXPECT_FALSE(has(kOut + "1F.tif"));

    put(kZund + "calig.fnt", calig_file(f));
    link(kOut + "21.tif", "/dev/full");
    expect_run(run("extractglyphs"), 1, {"Can't write " + kOut + "21.tif"});
    EXPECT_EQ(get(kOut + "20.tif").size(), 1921u);
}

// ---- extractfonts --------------------------------------------------------

class ExtractFonts : public JobTest {};

TEST_F(ExtractFonts, WritesTheCaligStripAndOneStripPerFont) {
    Font calig = calig_font(3);
    put(kZund + "calig.fn1", calig_file(calig));

    // 18 rows; zero widths (the first glyph and two side by side); upper bytes
    // in the width fields that the export ignores; bitmaps stored out of order
    // after a gap, so that only the offsets find them.
    std::vector<uint32_t> widths(225);
    for (int i = 0; i < 225; ++i) widths[i] = (i % 7 + 1) | uint32_t(i) << 8;
    widths[0] = widths[40] = widths[41] = 0x300;
    Font comic = make_font(18, widths, 0, 4);
    Bytes moved = pattern(33, 9);
    for (int i = 224; i >= 0; --i) {
        comic.offset[i] = uint32_t(moved.size());
        Bytes g = glyph_bytes(comic.w(i) * 18u, 100 + i);
        moved.insert(moved.end(), g.begin(), g.end());
    }
    comic.bitmaps = moved;
    put(kZund + "comic.fnt", fnt_file(comic));

    // A font taller than 27 rows, and the calig font's own .fnt file, which is
    // read with its tables like any other.
    Font tall = make_font(30, std::vector<uint32_t>(225, 3), 0, 5);
    put(kZund + "Tall.FNT", fnt_file(tall));
    Font small = make_font(2, std::vector<uint32_t>(225, 1), 0, 6);
    put(kZund + "calig.fnt", fnt_file(small));
    put(kZund + "notafont.fn", "x");
    mkdirs(kOut);
    expect_run(run("extractfonts"), 0, {});

    Bytes strip = get(kOut + "calig.tif");
    ASSERT_EQ(strip.size(), 1561u + 3289 * 27 + 198);
    EXPECT_EQ(slice(strip, 1561 + 3289 * 27, 198), directory_of(3289, 27, 27));
    Image im = read_tiff(host(kOut + "calig.tif"));
    expect_image(im, 3289, 27, strip_of(calig));
    for (uint32_t y = 0; y < 27 && im.pixels.size() == 3289u * 27; ++y) {
        EXPECT_EQ(im.pixels[y * 3289 + 14], 254);
        EXPECT_EQ(im.pixels[y * 3289 + 21], 254);
    }

    uint32_t w = std::accumulate(comic.width.begin(), comic.width.end(), 0u,
                                 [](uint32_t s, uint32_t v) { return s + uint8_t(v); }) + 225;
    Bytes c = get(kOut + "comic.fnt.tif");
    EXPECT_EQ(slice(c, 1561 + w * 18, 198), directory_of(w, 18, 27));
    im = read_tiff(host(kOut + "comic.fnt.tif"));
    expect_image(im, w, 18, strip_of(comic));
    ASSERT_GE(im.pixels.size(), 3u);
    EXPECT_EQ(im.pixels[0], 254); // code 31 has no columns

    Bytes t = get(kOut + "Tall.FNT.tif");
    EXPECT_EQ(slice(t, 1561 + 900 * 30, 198), directory_of(900, 30, 30));
    expect_image(read_tiff(host(kOut + "Tall.FNT.tif")), 900, 30, strip_of(tall));
    expect_image(read_tiff(host(kOut + "calig.fnt.tif")), 450, 2, strip_of(small));
    EXPECT_FALSE(has(kOut + "notafont.fn.tif"));
}

TEST_F(ExtractFonts, DamagedFontsAreSkippedAndFailTheRun) {
    expect_run(run("extractfonts"), 1, {"Can't open"});

    Font good = make_font(4, std::vector<uint32_t>(225, 2), 0, 7);
    Font far = good;
    far.offset[100] = uint32_t(far.bitmaps.size()) - 7; // its 8 bytes run past the end
    Font flat = good;
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
    expect_image(read_tiff(host(kOut + "d.fnt.tif")), 675, 4, strip_of(good));

    put(kZund + "calig.fn1", calig_file(calig_font(1)));
    std::filesystem::remove(host(kZund + "a.fnt"));
    std::filesystem::remove(host(kZund + "c.fnt"));
    link(kOut + "b.fnt.tif", "/dev/full");
    put(kZund + "b.fnt", fnt_file(good));
    expect_run(run("extractfonts"), 1, {"Can't write " + kOut + "b.fnt.tif"});
}

// ---- buildfont -----------------------------------------------------------

// A strip 20 rows high for the given widths, with `extra` columns after the
// last stripe, and the glyph bitmaps it holds (back to back).
struct Strip {
    Bytes pixels, bitmaps;
    uint32_t width = 0;
};

Strip make_strip(const std::vector<uint32_t>& widths, uint32_t extra, uint32_t seed) {
    Strip s;
    s.width = std::accumulate(widths.begin(), widths.end(), 0u) + 225 + extra;
    std::vector<Bytes> g;
    for (int i = 0; i < 225; ++i) {
        g.push_back(glyph_bytes(widths[i] * 20, seed + i));
        s.bitmaps.insert(s.bitmaps.end(), g.back().begin(), g.back().end());
    }
    Bytes tail = glyph_bytes(extra * 20, seed + 1000);
    for (uint32_t y = 0; y < 20; ++y) {
        for (int i = 0; i < 225; ++i) {
            s.pixels.insert(s.pixels.end(), g[i].begin() + y * widths[i], g[i].begin() + (y + 1) * widths[i]);
            s.pixels.push_back(254);
        }
        s.pixels.insert(s.pixels.end(), tail.begin() + y * extra, tail.begin() + (y + 1) * extra);
    }
    return s;
}

class BuildFont : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        std::vector<uint32_t> widths(225);
        for (int i = 0; i < 225; ++i) widths[i] = (i % 5 + 4) | 0xAB0000;
        source = make_font(27, widths, 0, 11);
        put(kSource, fnt_file(source));
        mkdirs("c:\\games\\hexfiles\\fonts");
    }
    Font source;
};

TEST_F(BuildFont, MeasuresWidthsFromTheStripesAndWritesTheFont) {
    std::vector<uint32_t> widths(225);
    for (int i = 0; i < 225; ++i) widths[i] = i % 9 + 2;
    widths[0] = 0;                  // a stripe in column 0
    widths[60] = 0;                 // two stripes side by side
    widths[200] = 255;              // the widest a font can record
    Strip s = make_strip(widths, 5, 20);
    // Past the 225th stripe anything goes below the top row.
    for (uint32_t y = 1; y < 20; ++y) s.pixels[y * s.width + s.width - 2] = 254;
    put(kImage, edited(s.pixels, s.width, 20, 1565));
    put(kTarget, "old font");
    expect_run(run("buildfont"), 0, {});

    Bytes out = get(kTarget);
    Buf want;
    want.u8(31).u8(255).u8(8).u8(0).u8(0).u8(20).fill(26, 0).fill(31 * 12, 0);
    for (int i = 0; i < 225; ++i) {
        bool fixed = i >= 161; // codes 192 to 255
        want.u32(fixed ? 1 : uint32_t(source.left[i]));
        want.u32((source.width[i] & ~0xFFu) | widths[i]);
        want.u32(fixed ? 0 : uint32_t(source.right[i]));
    }
    want.fill(124, 0);
    uint32_t pos = 0;
    for (int i = 0; i < 225; ++i) {
        want.u32(pos);
        pos += widths[i] * 20;
    }
    want.raw(s.bitmaps);
    EXPECT_EQ(out, want.b);
    EXPECT_EQ(le32(out, 3228 + 4 * 60), le32(out, 3228 + 4 * 61));

    // The old font's offset of code 31 stays, with zeros before the glyphs.
    source.offset[0] = 50;
    put(kSource, fnt_file(source));
    expect_run(run("buildfont"), 0, {});
    Bytes moved = get(kTarget);
    ASSERT_EQ(moved.size(), want.size() + 50);
    EXPECT_EQ(le32(moved, 3228), 50u);
    EXPECT_EQ(le32(moved, 3228 + 4 * 224), le32(out, 3228 + 4 * 224) + 50);
    EXPECT_EQ(slice(moved, 4128, 50), Bytes(50, 0));
    EXPECT_EQ(slice(moved, 4178, s.bitmaps.size()), s.bitmaps);
}

TEST_F(BuildFont, ChecksStopTheJobBeforeTheFontIsCreated) {
    put(kTarget, "old font");
    std::vector<uint32_t> widths(225, 3);
    Strip s = make_strip(widths, 0, 30);

    Bytes tall = s.pixels;
    tall.insert(tall.end(), s.width, 7); // 21 rows, stripes and all
    put(kImage, edited(tall, s.width, 21, 1565));
    expect_run(run("buildfont"), 2, {"Ne ta vysota!"});

    Bytes fewer = s.pixels;
    fewer[s.width - 1] = 0; // 224 stripes
    put(kImage, edited(fewer, s.width, 20, 1565));
    expect_run(run("buildfont"), 4, {"Mnogo polosok!"});

    Strip more = make_strip(widths, 3, 30);
    more.pixels[more.width - 1] = 254; // 226 stripes
    put(kImage, edited(more.pixels, more.width, 20, 1565));
    expect_run(run("buildfont"), 4, {"Mnogo polosok!"});

    Bytes broken = s.pixels;
    broken[19 * s.width + 4 * 100 + 3] = 9; // stripe of code 131 missing in the last row
    put(kImage, edited(broken, s.width, 20, 1565));
    expect_run(run("buildfont"), 2, {"Net poloski!"});

    EXPECT_EQ(get_text(kTarget), "old font");
}

TEST_F(BuildFont, DamagedInputsAndFailures) {
    std::vector<uint32_t> widths(225, 2);
    Strip s = make_strip(widths, 0, 40);
    put(kImage, edited(s.pixels, s.width, 20, 1565));
    const std::string img = "Damaged file " + kImage + ": ";

    put(kSource, Bytes(4127, 0));
    expect_run(run("buildfont"), 1, {"Damaged file " + kSource + ": shorter than the font tables"});
    source.offset[0] = uint32_t(source.bitmaps.size()) + 1;
    put(kSource, fnt_file(source));
    expect_run(run("buildfont"), 1,
               {"Damaged file " + kSource + ": the glyph offset of code 31 lies past the end of the file"});
    source.offset[0] = 0;
    put(kSource, fnt_file(source));

    Bytes e = edited(s.pixels, s.width, 20, 1565);
    Bytes bad = e;
    bad.resize(bad.size() - 60); // the directory is cut short
    put(kImage, bad);
    expect_run(run("buildfont"), 1, {img + "too short for its image file directory"});

    size_t dir = e.size() - 198;
    auto with_end = [&](uint32_t end) {
        Bytes b = e;
        Bytes v = Buf().u32(end).b;
        std::copy(v.begin(), v.end(), b.begin() + dir + 142);
        return b;
    };
    put(kImage, with_end(1564));
    expect_run(run("buildfont"), 1, {img + "the pixels end before they start"});
    put(kImage, with_end(uint32_t(e.size()) + 1));
    expect_run(run("buildfont"), 1, {img + "the pixels run past the end of the file"});
    put(kImage, with_end(1565 + 20 * s.width - 1));
    expect_run(run("buildfont"), 1,
               {img + std::to_string(20 * s.width - 1) + " bytes of pixels are too few for " +
                std::to_string(s.width) + " x 20"});

    widths[7] = 256;
    Strip wide = make_strip(widths, 0, 40);
    put(kImage, edited(wide.pixels, wide.width, 20, 1565));
    expect_run(run("buildfont"), 1,
               {img + "the glyph of code 38 is 256 columns wide, more than a font can hold"});
    EXPECT_FALSE(has(kTarget));

    put(kImage, edited(s.pixels, s.width, 20, 1565));
    link(kTarget, "/dev/full");
    expect_run(run("buildfont"), 1, {"Can't write " + kTarget});
    std::filesystem::remove_all(host("c:\\games\\hexfiles"));
    expect_run(run("buildfont"), 1, {"Can't open"}); // the image is gone
    put(kImage, edited(s.pixels, s.width, 20, 1565));
    std::filesystem::remove(host(kSource));
    expect_run(run("buildfont"), 1, {"Can't open"});
}

// ---- the font chain ------------------------------------------------------

class FontChain : public JobTest {};

TEST_F(FontChain, FontToStripToFontGivesTheSameFont) {
    // A font as buildfont writes them: 20 rows, glyphs back to back from 0,
    // codes 192 to 255 with bearings 1 and 0.
    std::vector<uint32_t> widths(225);
    for (int i = 0; i < 225; ++i) widths[i] = (i * 5) % 13;
    Font f = make_font(20, widths, 0, 50);
    for (int i = 161; i < 225; ++i) f.left[i] = 1, f.right[i] = 0;
    Bytes font = fnt_file(f);
    put(kZund + "comic.fnt", font);
    put(kZund + "calig.fn1", calig_file(calig_font(1)));
    mkdirs(kOut);
    expect_run(run("extractfonts"), 0, {});

    // The editor saves the strip with its pixels 4 bytes further on.
    Bytes written = get(kOut + "comic.fnt.tif");
    uint32_t pixels = le32(written, 4) - 1561;
    uint32_t w = le32(written, pixels + 1561 + 22);
    put(kImage, edited(slice(written, 1561, pixels), w, 20, 1565));
    put(kSource, font);
    expect_run(run("buildfont"), 0, {});
    EXPECT_EQ(get(kTarget), font);
}

// ---- stripeglyphs --------------------------------------------------------

class StripeGlyphs : public JobTest {
protected:
    // Runs the job on a sheet and returns the strip's pixels, after checking
    // that the head and the tail came through unchanged.
    Bytes respace(const Bytes& pixels, uint32_t w, uint32_t h) {
        Bytes sheet = edited(pixels, w, h, 1561, 40);
        put(kSheet, sheet);
        expect_run(run("stripeglyphs"), 0, {});
        Bytes out = get(kStrip);
        EXPECT_EQ(out.size(), sheet.size());
        if (out.size() != sheet.size()) return {};
        EXPECT_EQ(slice(out, 0, 1561), slice(sheet, 0, 1561));
        EXPECT_EQ(slice(out, 1561 + pixels.size(), 238), slice(sheet, 1561 + pixels.size(), 238));
        return slice(out, 1561, pixels.size());
    }
};

TEST_F(StripeGlyphs, PacksGlyphsToTheLeftWithOneStripeEach) {
    EXPECT_EQ(respace({0, 5, 5, 0, 0, 7, 0, 0, 0, 0}, 10, 1), Bytes({5, 5, 254, 7, 254, 0, 0, 0, 0, 0}));
    EXPECT_EQ(respace(Bytes(30, 0), 10, 3), Bytes(30, 0));
    // A column is blank only when it is 0 in every row; a glyph reaching the
    // right edge still gets its stripe when there is room.
    EXPECT_EQ(respace({0, 0, 1, 0, 0, 0, 0, 4,
                       0, 0, 0, 2, 0, 0, 0, 5},
                      8, 2),
              Bytes({1, 0, 254, 4, 254, 0, 0, 0,
                     0, 2, 254, 5, 254, 0, 0, 0}));
    // Run on its own result, the packed area is one glyph: one more stripe.
    EXPECT_EQ(respace({5, 5, 254, 7, 254, 0, 0, 0, 0, 0}, 10, 1), Bytes({5, 5, 254, 7, 254, 254, 0, 0, 0, 0}));
    // No blank column to spare: the last glyph's stripe has no room.
    EXPECT_EQ(respace({3, 0, 4, 4, 3, 0, 0, 4}, 4, 2), Bytes({3, 254, 4, 4, 3, 254, 0, 4}));
    // Pixels past width x height are not part of the image.
    EXPECT_EQ(respace({0, 6, 0, 9, 9}, 3, 1), Bytes({6, 254, 0, 0, 0}));
}

TEST_F(StripeGlyphs, KeepsAtMost1000BytesAfterThePixels) {
    Bytes sheet = edited({0, 1}, 2, 1, 1561, 1500);
    put(kSheet, sheet);
    expect_run(run("stripeglyphs"), 0, {});
    Bytes out = get(kStrip);
    ASSERT_EQ(out.size(), 1561u + 2 + 1000);
    EXPECT_EQ(slice(out, 1561, 2), Bytes({1, 254}));
    EXPECT_EQ(slice(out, 1563, 1000), slice(sheet, 1563, 1000));
}

TEST_F(StripeGlyphs, Failures) {
    expect_run(run("stripeglyphs"), 1, {"Can't open"});
    Bytes sheet = edited({0, 1, 0, 2}, 2, 2, 1561);
    put(kSheet, edited({0, 1, 0}, 2, 2, 1561));
    expect_run(run("stripeglyphs"), 1, {"Damaged file " + kSheet + ": 3 bytes of pixels are too few for 2 x 2"});
    put(kSheet, Buf().raw("II*").u8(0).u32(0xFFFFFFF0).fill(2000, 0).b);
    expect_run(run("stripeglyphs"), 1, {"Damaged file " + kSheet + ": too short for its image file directory"});
    put(kSheet, Bytes(1000, 0)); // the fields at 0: the pixels would end at 0
    expect_run(run("stripeglyphs"), 1, {"Damaged file " + kSheet + ": the pixels end before they start"});
    EXPECT_FALSE(has(kStrip));

    put(kSheet, sheet);
    mkdirs(kStrip);
    expect_run(run("stripeglyphs"), 1, {"Can't create"});
    std::filesystem::remove(host(kStrip));
    link(kStrip, "/dev/full");
    expect_run(run("stripeglyphs"), 1, {"Can't write " + kStrip});
}

} // namespace
