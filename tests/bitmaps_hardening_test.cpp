// The TGA jobs on damaged archives, pixel files, images and ".pl" files, and
// on full disks.
#include "support/hardening.hpp"
#include "support/lod_builders.hpp"

namespace {

const std::string kZ7 = "c:\\games\\ZUND7\\data\\";
const std::string kIconsAll = "c:\\games\\zund7\\xfiles\\icons_all\\";
const std::string kIconsTga = "c:\\games\\zund7\\xfiles\\icons_tga\\";
const std::string kReadyTga = "c:\\games\\zund7\\xfiles\\readytga\\";
const std::string kIconsReady = "c:\\games\\zund7\\xfiles\\icons_ready\\";

size_t dir_at(size_t k) { return 288 + 32 * k; }
size_t data_at(const Bytes& lod, size_t k) { return 288 + size_t(lod_entry(lod, k).offset); }

// icons.lod for extracttgas: two tagged images, entries 3 (4 x 3) and 7
// (2 x 2), among 4241 entries without a tag.
const Bytes& export_lod() {
    static const Bytes lod = [] {
        auto es = plain_entries();
        es[3] = {"pic3", image_entry("pic3", "tga", 4, 3, pattern(7, 30), pattern(768, 3))};
        es[7] = {"pic7", image_entry("pic7", "TGA", 2, 2, pattern(3, 70), pattern(768, 7))};
        return make_lod(es);
    }();
    return lod;
}

// icons1.lod for readtgas: entry 12 an image "name".
const Bytes& import_lod() {
    static const Bytes lod = [] {
        auto es = plain_entries();
        es[12] = {"name", image_entry("name", "tga", 9, 11, pattern(7, 1), pattern(768, 2), 99)};
        return make_lod(es);
    }();
    return lod;
}

// A 5 x 3 image stored bottom row first, as editors save it.
Bytes edited_tga() { return concat({tga_header(5, 3, 0), pattern(768, 4), pattern(15, 5)}); }

std::vector<Scenario> bitmaps_scenarios() {
    const Bytes exp = export_lod(), imp = import_lod();
    const size_t pic3 = data_at(exp, 3);
    const size_t name = data_at(imp, 12);
    return {
        {"extracttgas", "extracttgas", "c:\\",
         [=](JobTest& t) {
             t.put(kZ7 + "icons.lod", exp);
             t.put(kIconsAll + "0003_pic3", pattern(12, 31));
             t.put(kIconsAll + "0007_pic7", pattern(4, 71));
             t.mkdirs(kIconsTga);
         },
         // The directory entry and the header fields of the first image:
         // data offset, size, pixel size, stored size, width and height.
         {{kZ7 + "icons.lod",
           {288, dir_at(3), dir_at(4240), 136000, pic3, pic3 + 16, pic3 + 20, pic3 + 24, pic3 + 48, pic3 + 55,
            data_at(exp, 7)},
           {dir_at(3) + 16, dir_at(3) + 20, pic3 + 16, pic3 + 20, pic3 + 24}},
          {kIconsAll + "0003_pic3", {}, {}}}},
        {"readtgas", "readtgas", "c:\\",
         [=](JobTest& t) {
             t.put(kZ7 + "icons1.lod", imp);
             t.put(kReadyTga + "0012_name.tga", edited_tga());
             t.put(kReadyTga + "0012_name.pl", "made by an earlier run");
             t.put(kReadyTga + "pack\\0012_name", "made by an earlier run");
         },
         // Image header fields, colour map, pixel rows; width and height
         // together are one 32-bit field.
         {{kReadyTga + "0012_name.tga", {1, 2, 3, 5, 7, 12, 14, 16, 17, 18, 786, 790}, {3, 12, 14}},
          {kZ7 + "icons1.lod", {dir_at(12), dir_at(13), name, name + 48}, {dir_at(12) + 16}}}},
        {"comptgas", "comptgas", "c:\\",
         [=](JobTest& t) {
             t.put(kReadyTga + "0012_name.pl",
                   concat({entry_header("name", "tga", 15, 99, 5, 3, 15), pattern(768, 1)}));
             t.put(kReadyTga + "0012_name.zl", pattern(13, 2));
             t.put(kIconsReady + "0012_name.zl", "made by an earlier run");
         },
         {{kReadyTga + "0012_name.pl", {20, 48, 815}, {20}}, {kReadyTga + "0012_name.zl", {}, {}}}},
    };
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, Damage, ::testing::ValuesIn(bitmaps_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Bitmaps, FullDisk, ::testing::ValuesIn(bitmaps_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Bitmaps, BlockedOutput, ::testing::ValuesIn(bitmaps_scenarios()), scenario_name);

} // namespace
