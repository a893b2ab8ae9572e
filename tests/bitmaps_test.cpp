// The TGA jobs, run as executables on archives, pixel files and images built
// here.
#include "support/jobtest.hpp"
#include "support/lod_builders.hpp"

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

const std::string kIconsLod = "c:\\games\\ZUND7\\data\\icons.lod";
const std::string kIcons1Lod = "c:\\games\\ZUND7\\data\\icons1.lod";
const std::string kIconsAll = "c:\\games\\zund7\\xfiles\\icons_all\\";
const std::string kIconsTga = "c:\\games\\zund7\\xfiles\\icons_tga\\";
const std::string kReadyTga = "c:\\games\\zund7\\xfiles\\readytga\\";
const std::string kPack = "c:\\games\\zund7\\xfiles\\readytga\\pack\\";
const std::string kIconsReady = "c:\\games\\zund7\\xfiles\\icons_ready\\";

class Bitmaps : public JobTest {};

TEST_F(Bitmaps, ExtractTgasWritesTaggedEntriesAsTopLeftImages) {
    auto es = plain_entries();
    Bytes pal3 = pattern(768, 3), pal7 = pattern(768, 7);
    pal3[0] = 1, pal3[1] = 2, pal3[2] = 3;
    es[3] = {"pic3", image_entry("pic3", "tga", 3, 2, pattern(4, 30), pal3)};
    es[4] = {"e4", image_entry("e4", "", 3, 2, pattern(4, 40), pal3)};     // no tag text
    es[5] = {"e5", image_entry("e5", "bmp", 3, 2, pattern(4, 50), pal3)};  // another tag
    es[6] = {"e6", image_entry("e6", "TG A", 3, 2, pattern(4, 60), pal3)}; // not the three letters
    es[7] = {"pic7", image_entry("pic7", "myTgAfile", 4, 4, pattern(9, 70), pal7)};
    // Pixel sizes beyond width x height: the pixel file's bytes are copied
    // up to the pixel size, zeros made up only as far as width x height.
    es[8] = {"big", image_entry("big", "tga", 2, 2, pattern(4, 80), pal3, 100000)};
    es[9] = {"six", image_entry("six", "tga", 2, 2, pattern(4, 90), pal3, 6)};
    put(kIconsLod, make_lod(es));
    Bytes pixels3 = {1, 2, 3, 4, 5, 6};
    put(kIconsAll + "0003_pic3", pixels3);
    put(kIconsAll + "0007_pic7", pattern(10, 71)); // 6 pixels short of 16
    put(kIconsAll + "0008_big", Bytes{9});
    put(kIconsAll + "0009_six", pattern(8, 91));
    mkdirs(kIconsTga);

    expect_run(run("extracttgas"), 0,
               {kIconsAll + "0003_pic3", kIconsAll + "0007_pic7", kIconsAll + "0008_big", kIconsAll + "0009_six"});
    EXPECT_EQ(files(kIconsTga),
              std::vector<std::string>({"0003_pic3.tga", "0007_pic7.tga", "0008_big.tga", "0009_six.tga"}));
    EXPECT_EQ(get(kIconsTga + "0008_big.tga"), concat({tga_header(2, 2), reversed(pal3), Bytes{9, 0, 0, 0}}));
    EXPECT_EQ(get(kIconsTga + "0009_six.tga"), concat({tga_header(2, 2), reversed(pal3), pattern(6, 91)}));
    Bytes tga3 = get(kIconsTga + "0003_pic3.tga");
    Bytes want_header = {0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 3, 0, 2, 0, 8, 0x20};
    EXPECT_EQ(slice(tga3, 0, 18), want_header);
    EXPECT_EQ(slice(tga3, 18, 3), Bytes({3, 2, 1})); // red 1, green 2, blue 3
    EXPECT_EQ(tga3, concat({want_header, reversed(pal3), pixels3}));
    EXPECT_EQ(get(kIconsTga + "0007_pic7.tga"),
              concat({tga_header(4, 4), reversed(pal7), pattern(10, 71), Bytes(6, 0)}));
}

TEST_F(Bitmaps, ExtractTgasStopsOnMissingFilesAndDamagedEntries) {
    expect_run(run("extracttgas"), 1, {"Can't open"});
    auto es = plain_entries();
    es[2] = {"a", image_entry("a", "tga", 1, 1, {}, pattern(768, 1))};
    es[9] = {"b", image_entry("b", "tga", 1, 1, {}, pattern(768, 2))};
    put(kIconsLod, make_lod(es));
    put(kIconsAll + "0002_a", Bytes{7});
    mkdirs(kIconsTga);
    // The pixel file's path is printed before it is found missing.
    expect_run(run("extracttgas"), 1,
               {kIconsAll + "0002_a", kIconsAll + "0009_b", "Can't create file " + kIconsAll + "0009_b"});
    EXPECT_EQ(files(kIconsTga), std::vector<std::string>({"0002_a.tga"}));

    fs::remove_all(host(kIconsTga));
    expect_run(run("extracttgas"), 1, {kIconsAll + "0002_a", "Can't create file " + kIconsTga + "0002_a.tga"});

    mkdirs(kIconsTga);
    link(kIconsTga + "0002_a.tga", "/dev/full");
    expect_run(run("extracttgas"), 1, {kIconsAll + "0002_a", "Can't write " + kIconsTga + "0002_a.tga"});

    // A tagged entry whose name would lead out of the folders; an entry
    // without a tag may have any name.
    fs::remove(host(kIconsTga + "0002_a.tga"));
    es[2] = {"a/../../b", image_entry("a/../../b", "tga", 1, 1, {}, pattern(768, 1))};
    es[1] = {"x\\y", image_entry("x\\y", "", 1, 1, {}, pattern(768, 1))};
    put(kIconsLod, make_lod(es));
    expect_run(run("extracttgas"), 1, {"Damaged file " + kIconsLod + ": member name a/../../b is not a plain file name"});
    EXPECT_TRUE(files(kIconsTga).empty());

    // A tagged entry whose palette would lie past its data.
    es[2] = {"a", concat({entry_header("a", "tga", 1, 5, 1, 1, 1), pattern(700, 1)})};
    put(kIconsLod, make_lod(es));
    expect_run(run("extracttgas"), 1,
               {"Damaged file " + kIconsLod + ": the palette of entry a lies past the end of its data"});
    put(kIconsLod, pattern(1000, 1));
    expect_run(run("extracttgas"), 1,
               {"Damaged file " + kIconsLod + ": shorter than the 136000 bytes of its head and directory of 4241 entries"});
}

// icons1.lod with entry 12 an image "name" tagged "tga".
class ReadTgas : public Bitmaps {
protected:
    void SetUp() override {
        Bitmaps::SetUp();
        es = plain_entries();
        old_header = entry_header("name", "tga", 99, 7, 9, 11, 99);
        es[12] = {"name", concat({old_header, pattern(7, 1), pattern(768, 2)})};
        put(kIcons1Lod, make_lod(es));
        mkdirs(kPack);
        palette = pattern(768, 3);
    }
    // What the ".pl" file should hold for an image w x h.
    Bytes pl_for(uint16_t w, uint16_t h) {
        Bytes hd = old_header;
        uint32_t n = uint32_t(w) * h;
        for (int i = 0; i < 4; ++i) hd[16 + i] = hd[40 + i] = uint8_t(n >> (8 * i));
        hd[24] = uint8_t(w), hd[25] = uint8_t(w >> 8), hd[26] = uint8_t(h), hd[27] = uint8_t(h >> 8);
        return concat({hd, palette});
    }
    std::vector<LodEntry> es;
    Bytes old_header, palette;
};

TEST_F(ReadTgas, TakesBottomUpRowsTopRowFirst) {
    // Rows stored bottom row first, as most editors save: 1 2 3 is the bottom row.
    put(kReadyTga + "0012_name.tga", concat({tga_header(3, 2, 0), reversed(palette), Bytes{1, 2, 3, 4, 5, 6}}));
    expect_run(run("readtgas"), 0, {"0012_name.pl"});
    EXPECT_EQ(get(kPack + "0012_name"), Bytes({4, 5, 6, 1, 2, 3}));
    Bytes pl = get(kReadyTga + "0012_name.pl");
    EXPECT_EQ(pl.size(), 816u);
    EXPECT_EQ(pl, pl_for(3, 2));
    EXPECT_EQ(le32(pl, 20), 7u); // the old stored size, until comptgas sets it
}

TEST_F(ReadTgas, KeepsTopLeftRowsInOrderAndIgnoresTrailingBytes) {
    // As extracttgas writes them, with an editor's footer behind the pixels.
    put(kReadyTga + "0012_Name.TGA",
        concat({tga_header(3, 2, 0x20), reversed(palette), Bytes{1, 2, 3, 4, 5, 6}, to_bytes("TRUEVISION-XFILE.")}));
    put(kReadyTga + "notes.txt", "not an image");
    expect_run(run("readtgas"), 0, {"0012_Name.pl"});
    EXPECT_EQ(get(kPack + "0012_Name"), Bytes({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(get(kReadyTga + "0012_Name.pl"), pl_for(3, 2)); // pixel size 6, not 6 + footer
}

TEST_F(ReadTgas, StopsOnImagesItCannotRead) {
    const std::string name = kReadyTga + "0012_name.tga";
    expect_run(run("readtgas"), 0, {}); // nothing to do

    put(name, concat({tga_header(3, 2, 0), reversed(palette), Bytes{1, 2, 3, 4, 5}}));
    expect_run(run("readtgas"), 1, {"Damaged file 0012_name.tga: shorter than its colour map and pixel rows"});
    Bytes rgb = tga_header(3, 2, 0);
    rgb[1] = 0, rgb[2] = 2; // a true-colour image
    put(name, concat({rgb, Bytes(800, 1)}));
    expect_run(run("readtgas"), 1,
               {"Damaged file 0012_name.tga: not an uncompressed TGA image with a colour map of 256 colours of 24 bits"});
    put(name, Bytes{0, 1});
    expect_run(run("readtgas"), 1,
               {"Damaged file 0012_name.tga: not an uncompressed TGA image with a colour map of 256 colours of 24 bits"});
    EXPECT_EQ(files(kReadyTga), std::vector<std::string>({"0012_name.tga", "pack"}));

    fs::remove(host(name));
    put(kReadyTga + "4241_x.tga", concat({tga_header(1, 1), palette, Bytes{0}}));
    expect_run(run("readtgas"), 1,
               {"Damaged file 4241_x.tga: its number names no entry of " + kIcons1Lod + ", which has 4241"});
    fs::remove(host(kReadyTga + "4241_x.tga"));

    // Without the pack folder the ".pl" file is written, the pixels are not.
    put(name, concat({tga_header(1, 1), palette, Bytes{0}}));
    fs::remove_all(host(kPack));
    expect_run(run("readtgas"), 1, {"0012_name.pl", "Can't open"});
    EXPECT_TRUE(has(kReadyTga + "0012_name.pl"));

    fs::remove(host(kIcons1Lod));
    expect_run(run("readtgas"), 1, {"Can't open"});
}

TEST_F(Bitmaps, CompTgasJoinsHeaderPackedPixelsAndPalette) {
    expect_run(run("comptgas"), 0, {}); // nothing to do
    Bytes header = entry_header("name", "tga", 6, 99, 3, 2, 6), palette = pattern(768, 1);
    put(kReadyTga + "0012_name.pl", concat({header, palette}));
    Bytes packed = pattern(13, 2);
    put(kReadyTga + "0012_name.zl", packed);
    mkdirs(kIconsReady);
    expect_run(run("comptgas"), 0, {"0012_name.zl"});
    Bytes want = header;
    want[20] = 13, want[21] = 0;
    Bytes entry = get(kIconsReady + "0012_name.zl");
    EXPECT_EQ(entry, concat({want, packed, palette}));
    EXPECT_EQ(entry.size(), 48u + 13u + 768u);

    fs::remove(host(kReadyTga + "0012_name.zl"));
    expect_run(run("comptgas"), 1, {"Can't open"});
    for (size_t n : {815, 817}) {
        put(kReadyTga + "0012_name.pl", pattern(n, 3));
        fs::remove(host(kIconsReady + "0012_name.zl"));
        expect_run(run("comptgas"), 1, {"Don't match 0x330"});
        EXPECT_FALSE(has(kIconsReady + "0012_name.zl"));
    }
}

} // namespace
