// The icons archive of zund7 taken apart and put together again as a
// translator does it, on one game tree: extractlod_icons, the entry files
// turned back to header-first, updatelod_icons; and the images through
// extracttgas, an image editor, readtgas, packing and comptgas.
#include "support/jobtest.hpp"
#include "support/lod_builders.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

const std::string kData = "c:\\games\\ZUND7\\data\\";
const std::string kXfiles = "c:\\games\\zund7\\xfiles\\";
const std::string kIconsAll = kXfiles + "icons_all\\";
const std::string kIconsReady = kXfiles + "icons_ready\\";
const std::string kReadyTga = kXfiles + "readytga\\";
const std::string kIcons1 = "c:\\games\\zundfiles\\icons1\\";

std::string name4(size_t k, const std::string& name) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04zu_%s", k, name.c_str());
    return buf;
}

// Header-last entry data turned back: the last 48 bytes to the front. Data
// shorter than an entry header were never turned.
Bytes header_first(const Bytes& last) {
    if (last.size() < 48) return last;
    return concat({slice(last, last.size() - 48, 48), slice(last, 0, last.size() - 48)});
}

Bytes read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& p, const Bytes& b) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// An image whose payload is its raw pixels: packing it is copying it.
struct Image {
    size_t index;
    std::string name;
    uint16_t w, h;
};
const std::vector<Image> kImages = {{3, "logo", 5, 3}, {21, "Button", 8, 2}, {4000, "map", 16, 16}};

class LodChain : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        es = plain_entries();
        es[7] = {"title.str", concat({entry_header("title.str", "", 0, 30, 0, 0, 90), pattern(30, 7)})};
        es[8] = {"empty", entry_header("empty", "", 0, 0, 0, 0, 0)}; // a header alone
        es[9] = {"short", pattern(10, 9)};                           // shorter than a header
        for (const Image& im : kImages)
            es[im.index] = {im.name, image_entry(im.name, "tga", im.w, im.h, pattern(size_t(im.w) * im.h, 30 + im.w),
                                                 pattern(768, uint32_t(im.index)))};
        lod = make_lod(es);
        put(kData + "icons1.lod", lod);
        put(kData + "icons.lod", lod); // the game's archive
    }
    std::vector<LodEntry> es;
    Bytes lod;
};

TEST_F(LodChain, EntryFilesAndEditedImagesComeBackIntoTheArchive) {
    // 1. Every entry out as a header-last entry file, with the list of data
    //    positions.
    mkdirs(kIconsAll);
    ASSERT_EQ(run("extractlod_icons").exit_code, 0);
    EXPECT_EQ(get(kIconsAll + name4(7, "title.str.zl")), header_last(es[7].data));
    std::string list = get_text("c:\\games\\icons.txt");
    EXPECT_EQ(list.substr(0, 13), "0000\t136000\r\n");

    // 2. Turned back to header-first (no job does this way round), in place;
    //    headlast_icons1 on some of them gives the extracted files again.
    size_t turned = 0;
    for (const auto& e : fs::directory_iterator(host(kIconsAll))) {
        write_file(e.path(), header_first(read_file(e.path())));
        ++turned;
    }
    EXPECT_EQ(turned, 4241u);
    for (size_t k : {size_t(0), size_t(7), size_t(8), size_t(21)})
        put(kIcons1 + name4(k, es[k].name + ".zl"), get(kIconsAll + name4(k, es[k].name + ".zl")));
    ASSERT_EQ(run("headlast_icons1").exit_code, 0);
    for (size_t k : {size_t(0), size_t(7), size_t(8), size_t(21)})
        EXPECT_EQ(get(kIcons1 + name4(k, es[k].name + ".zl")), header_last(es[k].data)) << k;

    // 3. All of them as ready entry files: the archive comes back byte for
    //    byte.
    fs::rename(host(kIconsAll), host(kIconsReady));
    RunResult r = run("updatelod_icons");
    ASSERT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.lines().size(), 2u * 4241u);
    EXPECT_EQ(r.lines()[4240], kIconsReady + name4(4240, "e4240.zl"));
    ASSERT_EQ(get(kData + "icons.lod"), lod);

    // 4. The images: unpacked outside into pixel files, exported, edited (one
    //    pixel of the button), read back, packed (copied), composed.
    for (const Image& im : kImages)
        put(kIconsAll + name4(im.index, im.name), slice(es[im.index].data, 48, size_t(im.w) * im.h));
    mkdirs(kXfiles + "icons_tga");
    ASSERT_EQ(run("extracttgas").exit_code, 0);
    const size_t edited = 21, pixel = 11;
    for (const Image& im : kImages) {
        Bytes tga = get(kXfiles + "icons_tga\\" + name4(im.index, im.name + ".tga"));
        if (im.index == edited) tga[786 + pixel] ^= 0xFF;
        put(kReadyTga + name4(im.index, im.name + ".tga"), tga);
    }
    mkdirs(kReadyTga + "pack");
    ASSERT_EQ(run("readtgas").exit_code, 0);
    for (const Image& im : kImages)
        put(kReadyTga + name4(im.index, im.name + ".zl"), get(kReadyTga + "pack\\" + name4(im.index, im.name)));
    ASSERT_EQ(run("comptgas").exit_code, 0);
    for (const Image& im : kImages) {
        Bytes want = es[im.index].data;
        if (im.index == edited) want[48 + pixel] ^= 0xFF;
        EXPECT_EQ(get(kIconsReady + name4(im.index, im.name + ".zl")), want) << im.name;
    }

    // 5. Into the archive: only the edited pixel differs.
    ASSERT_EQ(run("updatelod_icons").exit_code, 0);
    Bytes want = lod;
    want[288 + lod_entry(lod, edited).offset + 48 + pixel] ^= 0xFF;
    EXPECT_EQ(get(kData + "icons.lod"), want);
}

} // namespace
