// The font jobs on damaged fonts and images, and on full disks.
#include "support/fonts_builders.hpp"
#include "support/hardening.hpp"

namespace {

using namespace fonttest;

std::vector<uint32_t> small_widths() {
    std::vector<uint32_t> w(225);
    for (int i = 0; i < 225; ++i) w[i] = i % 4 + (i == 7 ? 0 : 1);
    return w;
}

// Boundaries of an FNT file: header, the tables of codes 31 to 255, and
// where some bitmaps begin.
std::vector<size_t> fnt_boundaries(const Font& f) {
    return {5, 32, 404, 3228, 4128, 4128 + f.offset[100], 4128 + f.offset[224]};
}

// The offsets of the first and the last glyph, and two width fields.
const std::vector<size_t> kFntFields = {offset_field(0), offset_field(224), width_field(0), width_field(112)};

// Boundaries and fields of an image made by edited() with `n` pixels: the
// cuts leave out the pixels, the directory, and the fields read from it one
// after another.
std::vector<size_t> image_boundaries(uint32_t start, size_t n) {
    size_t d = start + n;
    return {8, start, d, d + 26, d + 38, d + 146};
}
std::vector<size_t> image_fields(uint32_t start, size_t n) {
    size_t d = start + n;
    return {4, d + 22, d + 34, d + 142};
}

// The strip that buildfont gets: 20 rows of small glyphs, stripes after each.
Bytes build_strip() { return strip_of(make_font(20, small_widths(), 4)); }

// A glyph sheet of 6 rows and 40 columns: glyphs between blank runs.
Bytes sheet_pixels() {
    Bytes p(6 * 40, 0);
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x : {2u, 3u, 9u, 15u, 16u, 17u, 30u, 39u}) p[y * 40 + x] = uint8_t(1 + (x + y) % 200);
    return p;
}

std::vector<Scenario> font_scenarios() {
    Font calig = make_font(27, calig_widths(), 1);
    Font comic = make_font(4, small_widths(), 3);
    const size_t calig_size = calig_file(calig).size();
    const size_t strip_size = build_strip().size(), sheet_size = sheet_pixels().size();
    return {
        {"extractglyphs", "extractglyphs", "c:\\",
         [=](JobTest& t) {
             t.put(kZund + "calig.fnt", calig_file(calig));
             t.mkdirs(kOut);
         },
         {{kZund + "calig.fnt", {1312, 1312 + 14 * 27, 1312 + calig.offset[200], calig_size - 12 * 27}, {}}}},
        {"extractfonts", "extractfonts", "c:\\",
         [=](JobTest& t) {
             t.put(kZund + "calig.fn1", calig_file(calig));
             t.put(kZund + "comic.fnt", fnt_file(comic));
             t.put(kZund + "small.fnt", fnt_file(make_font(2, std::vector<uint32_t>(225, 1), 5)));
             t.mkdirs(kOut);
         },
         {{kZund + "calig.fn1", {1312, 1312 + 14 * 27, calig_size - 12 * 27}, {}},
          {kZund + "comic.fnt", fnt_boundaries(comic), kFntFields}}},
        // A font built before stays, unless the new one is complete.
        {"buildfont", "buildfont", "c:\\",
         [=](JobTest& t) {
             t.put(kSource, fnt_file(comic));
             t.put(kImage, edited(build_strip(), uint32_t(strip_size / 20), 20, 1565));
             t.put(kTarget, fnt_file(comic));
         },
         {{kSource, {404, 3228, 4128, 4128 + comic.offset[100]}, {offset_field(0)}},
          {kImage, image_boundaries(1565, strip_size), image_fields(1565, strip_size)}}},
        {"stripeglyphs", "stripeglyphs", "c:\\",
         [=](JobTest& t) { t.put(kSheet, edited(sheet_pixels(), 40, 6, 1561, 30)); },
         {{kSheet, image_boundaries(1561, sheet_size), image_fields(1561, sheet_size)}}},
    };
}

INSTANTIATE_TEST_SUITE_P(Fonts, Damage, ::testing::ValuesIn(font_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Fonts, FullDisk, ::testing::ValuesIn(font_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Fonts, BlockedOutput, ::testing::ValuesIn(font_scenarios()), scenario_name);

} // namespace
