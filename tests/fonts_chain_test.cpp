// The font chain as a translator runs it: extractfonts writes a strip per
// font, the image editor saves the strip in its own layout, buildfont makes
// the font again; and a hand-drawn sheet goes through stripeglyphs first.
#include "support/fonts_builders.hpp"

namespace {

using namespace fonttest;

// What a font says about codes 31 to 255: height, widths (low bytes),
// bearings and each glyph's bitmap.
struct Glyphs {
    uint32_t height = 0;
    std::vector<uint32_t> width;
    std::vector<int32_t> left, right;
    std::vector<Bytes> bitmap;
};

Glyphs glyphs_of(const Bytes& fnt) {
    Glyphs g;
    g.height = fnt.at(5);
    for (int i = 0; i < 225; ++i) {
        g.width.push_back(fnt.at(width_field(i)));
        g.left.push_back(int32_t(le32(fnt, width_field(i) - 4)));
        g.right.push_back(int32_t(le32(fnt, width_field(i) + 4)));
        size_t at = 4128 + size_t(le32(fnt, offset_field(i))), n = size_t(g.width[i]) * g.height;
        EXPECT_LE(at + n, fnt.size()) << "code " << 31 + i;
        if (at + n > fnt.size()) return g;
        g.bitmap.push_back(slice(fnt, at, n));
    }
    return g;
}

// An image as the editor saves it: four more bytes before the pixels, which
// therefore start at 1565, the directory moved on by as much, and the end of
// the pixels where the written layout has their byte count (D + 142).
Bytes editor_layout(const Bytes& written) {
    const uint32_t d = le32(written, 4), w = le32(written, d + 22), h = le32(written, d + 34);
    EXPECT_EQ(d, 1561 + w * h);
    const uint32_t end = 1565 + w * h;
    Bytes b = Buf().raw(slice(written, 0, 1561)).u32(0).raw(slice(written, 1561, written.size() - 1561)).b;
    set32(b, 4, end);
    set32(b, end + 94, 1565); // StripOffsets
    set32(b, end + 142, end);
    return b;
}

// The pixels of an image in the written layout.
Bytes pixels_of(const Bytes& written) { return slice(written, 1561, le32(written, 4) - 1561); }

class FontChain : public JobTest {
protected:
    // The fonts folder of the game: the calig font, the comic font (20 rows,
    // glyphs stored out of code order after a gap) and a font of its own
    // height that the chain does not touch.
    void SetUp() override {
        JobTest::SetUp();
        std::vector<uint32_t> widths(225);
        for (int i = 0; i < 225; ++i) widths[i] = uint32_t(i * 7) % 11;
        widths[0] = 0;
        widths[100] = 40;
        comic = make_font(20, widths, 61);
        Bytes stored = pattern(17, 62);
        for (int i = 224; i >= 0; --i) {
            Bytes g = comic.glyph(i);
            comic.offset[i] = uint32_t(stored.size());
            stored.insert(stored.end(), g.begin(), g.end());
        }
        comic.bitmaps = stored;
        put(kZund + "calig.fn1", calig_file(make_font(27, calig_widths(), 60)));
        put(kZund + "comic.fnt", fnt_file(comic));
        put(kZund + "main.fnt", fnt_file(make_font(14, std::vector<uint32_t>(225, 6), 63)));
        mkdirs(kOut);
        mkdirs("c:\\games\\hexfiles\\fonts");
    }

    // The new font must hold `want`'s widths and bitmaps, back to back from
    // `start` (the source font's offset of code 31, zeros before it), with the
    // bearings of codes 31 to 191 and 1 and 0 after them.
    void expect_built(const Glyphs& want, uint32_t start) {
        Bytes font = get(kTarget);
        Glyphs got = glyphs_of(font);
        EXPECT_EQ(got.height, 20u);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.bitmap, want.bitmap);
        EXPECT_EQ(slice(font, 4128, start), Bytes(start, 0));
        uint32_t pos = start;
        for (int i = 0; i < 225; ++i) {
            EXPECT_EQ(le32(font, offset_field(i)), pos) << "code " << 31 + i;
            pos += want.width[i] * 20;
            EXPECT_EQ(got.left[i], i < 161 ? want.left[i] : 1) << "code " << 31 + i;
            EXPECT_EQ(got.right[i], i < 161 ? want.right[i] : 0) << "code " << 31 + i;
        }
        EXPECT_EQ(font.size(), 4128u + pos);
    }

    Font comic;
};

TEST_F(FontChain, StripFromExtractFontsBuildsTheSameFont) {
    Bytes game_font = get(kZund + "comic.fnt"), other = get(kZund + "main.fnt");
    expect_run(run("extractfonts"), 0, {});
    Bytes strip = get(kOut + "comic.fnt.tif");

    // The translator copies the font and the saved strip where buildfont
    // looks for them.
    put(kSource, game_font);
    Bytes saved = editor_layout(strip);
    put(kImage, saved);
    expect_run(run("buildfont"), 0, {});
    Glyphs want = glyphs_of(game_font);
    expect_built(want, comic.offset[0]);

    // One glyph redrawn one column wider (code 0xC0): its stripe moves
    // right in every row, and only that glyph changes.
    const int i = 0xC0 - 31;
    uint32_t col = 0;
    for (int k = 0; k < i; ++k) col += want.width[k] + 1;
    const uint32_t w = le32(strip, le32(strip, 4) + 22), grown = w + 1;
    Bytes px = pixels_of(strip), wider;
    Bytes drawn = pattern(20, 64);
    for (uint32_t y = 0; y < 20; ++y) {
        Bytes row = slice(px, y * w, w);
        row.insert(row.begin() + col + want.width[i], uint8_t(drawn[y] % 254));
        wider.insert(wider.end(), row.begin(), row.end());
    }
    Bytes redrawn = Buf().raw(slice(strip, 0, 1561)).raw(wider).raw(slice(strip, 1561 + px.size(), 198)).b;
    set32(redrawn, 4, 1561 + grown * 20);
    set32(redrawn, 1561 + grown * 20 + 22, grown);
    set32(redrawn, 1561 + grown * 20 + 142, grown * 20);
    put(kImage, editor_layout(redrawn));
    expect_run(run("buildfont"), 0, {});
    Glyphs changed = want;
    changed.width[i] += 1;
    Bytes glyph;
    for (uint32_t y = 0; y < 20; ++y) {
        Bytes row = slice(want.bitmap[i], y * want.width[i], want.width[i]);
        glyph.insert(glyph.end(), row.begin(), row.end());
        glyph.push_back(uint8_t(drawn[y] % 254));
    }
    changed.bitmap[i] = glyph;
    expect_built(changed, comic.offset[0]);

    // The new font, exported again, gives the very strip it was built from;
    // the other fonts' strips stay as they were.
    Bytes other_strip = get(kOut + "main.fnt.tif");
    put(kZund + "comic.fnt", get(kTarget));
    expect_run(run("extractfonts"), 0, {});
    EXPECT_EQ(get(kOut + "comic.fnt.tif"), redrawn);
    EXPECT_EQ(get(kOut + "main.fnt.tif"), other_strip);
    EXPECT_EQ(get(kZund + "main.fnt"), other);
}

TEST_F(FontChain, HandDrawnSheetThroughStripeGlyphsBuildsAFont) {
    // 225 glyphs, 1 to 3 columns wide, each column inked in one of its 20
    // rows at least, between blank runs of 1 to 4 columns.
    Glyphs want;
    want.height = 20;
    std::vector<Bytes> columns; // column by column, 20 pixels each
    auto blank = [&](uint32_t n) { columns.insert(columns.end(), n, Bytes(20, 0)); };
    Bytes ink = pattern(225 * 3 * 20, 65);
    size_t k = 0;
    for (int i = 0; i < 225; ++i) {
        blank(1 + uint32_t(i) % 4);
        uint32_t gw = 1 + uint32_t(i * 5) % 3;
        want.width.push_back(gw);
        want.left.push_back(-i);
        want.right.push_back(i + 100);
        Bytes glyph(gw * 20);
        for (uint32_t c = 0; c < gw; ++c) {
            Bytes col(20);
            for (uint32_t y = 0; y < 20; ++y) col[y] = uint8_t(ink[k++] % 254);
            col[(i + c) % 20] = uint8_t(1 + i % 200); // never blank
            for (uint32_t y = 0; y < 20; ++y) glyph[y * gw + c] = col[y];
            columns.push_back(col);
        }
        want.bitmap.push_back(glyph);
    }
    blank(7);
    const uint32_t w = uint32_t(columns.size());
    Bytes sheet_px(w * 20);
    for (uint32_t x = 0; x < w; ++x)
        for (uint32_t y = 0; y < 20; ++y) sheet_px[y * w + x] = columns[x][y];
    put(kSheet, edited(sheet_px, w, 20, 1561, 12));
    expect_run(run("stripeglyphs"), 0, {});

    // The strip goes through the editor, which moves its pixels to 1565.
    Bytes strip = get(kStrip);
    ASSERT_EQ(strip.size(), 1561u + w * 20 + 210);
    Bytes saved = edited(slice(strip, 1561, w * 20), w, 20, 1565);
    put(kImage, saved);
    Font source = make_font(9, std::vector<uint32_t>(225, 2), 66);
    put(kSource, fnt_file(source));
    expect_run(run("buildfont"), 0, {});
    expect_built(want, 0);
}

} // namespace
