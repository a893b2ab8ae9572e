// The icons archive of zund7 taken apart and put together again as a
// translator does it, on one game tree: extractlod_icons, the entry files
// turned back to header-first, updatelod_icons; and the images through
// extracttgas, an image editor, readtgas, packing and comptgas. Then the
// chains as they run with zlib payloads, unpacked and packed by the payload
// jobs: the images, a text entry and an event text.
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

// An entry whose payload is `data` packed with zlib: header, payload and,
// for images, a palette.
Bytes packed_entry(const std::string& name, const std::string& tag, uint16_t w, uint16_t h, const Bytes& data,
                   const Bytes& palette = {}) {
    Bytes z = deflated(data);
    uint32_t pixels = tag.empty() ? 0 : uint32_t(data.size());
    return concat({entry_header(name, tag, pixels, uint32_t(z.size()), w, h, uint32_t(data.size())), z, palette});
}

// A rebuilt archive in which only entry k has changed: the entry of the
// source's header and palette (if any) whose payload has been packed anew.
// Its header is the old one with the stored size of the new payload and the
// unpacked size of `data`, to which Python's zlib must unpack the payload;
// every other entry is as it was.
void expect_only_repacked(const fs::path& scratch, const Bytes& rebuilt, const std::vector<LodEntry>& es, size_t k,
                          size_t palette, const Bytes& data) {
    const Bytes entry = lod_data(rebuilt, k), &old = es[k].data;
    ASSERT_GE(entry.size(), 48 + palette);
    Bytes header = slice(old, 0, 48);
    uint32_t stored = uint32_t(entry.size() - 48 - palette);
    for (int i = 0; i < 4; ++i) {
        header[20 + i] = uint8_t(stored >> (8 * i));
        header[40 + i] = uint8_t(data.size() >> (8 * i));
    }
    EXPECT_EQ(slice(entry, 0, 48), header);
    EXPECT_EQ(python_decompress(scratch, slice(entry, 48, stored)), data);
    EXPECT_EQ(slice(entry, 48 + stored, palette), slice(old, old.size() - palette, palette));
    for (size_t i = 0; i < es.size(); ++i)
        if (i != k) {
            ASSERT_EQ(lod_data(rebuilt, i), es[i].data) << i;
        }
}

class PayloadChain : public JobTest {};

TEST_F(PayloadChain, AnEditedImageComesBackPackedAndEveryOtherEntryStaysAsItWas) {
    std::vector<LodEntry> es;
    for (size_t k = 0; k < 4241; ++k) {
        std::string name = "e" + std::to_string(k);
        es.push_back({name, packed_entry(name, "", 0, 0, concat({Bytes(k % 40, 'a'), pattern(k % 9, uint32_t(k))}))});
    }
    for (const Image& im : kImages) {
        Bytes pixels = concat({Bytes(size_t(im.w) * im.h / 2, 3), pattern(size_t(im.w) * im.h - im.w * im.h / 2, 4)});
        es[im.index] = {im.name, packed_entry(im.name, "tga", im.w, im.h, pixels, pattern(768, uint32_t(im.index)))};
    }
    const Bytes lod = make_lod(es);
    put(kData + "icons1.lod", lod);
    put(kData + "icons.lod", lod);

    mkdirs(kIconsAll);
    ASSERT_EQ(run("extractlod_icons").exit_code, 0);
    RunResult r = run("unpackpayloads");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.lines().back(), "4241 unpacked, 0 already unpacked, 0 kept, 0 damaged");
    mkdirs(kXfiles + "icons_tga");
    ASSERT_EQ(run("extracttgas").exit_code, 0);

    // The button edited in an image editor: one pixel.
    const Image& im = kImages[1];
    const std::string tga = name4(im.index, im.name + ".tga");
    Bytes image = get(kXfiles + "icons_tga\\" + tga);
    image[786 + 11] ^= 0xFF;
    put(kReadyTga + tga, image);
    mkdirs(kReadyTga + "pack");
    ASSERT_EQ(run("readtgas").exit_code, 0);
    expect_run(run("packpayloads"), 0,
               {kReadyTga + name4(im.index, im.name + ".zl"), "skipping c:\\games\\zundfiles\\ready\\: no such folder",
                "skipping c:\\games\\zundfiles\\texts\\: no such folder",
                "skipping c:\\games\\zundfiles\\ready str\\: no such folder",
                "skipping c:\\games\\zundfiles\\menu\\ready\\: no such folder",
                "skipping c:\\games\\zund7\\xfiles\\text_!_events\\: no such folder", "1 packed"});
    mkdirs(kIconsReady);
    ASSERT_EQ(run("comptgas").exit_code, 0);
    ASSERT_EQ(run("updatelod_icons").exit_code, 0);

    Bytes rebuilt = get(kData + "icons.lod");
    Bytes edited = slice(image, 786, size_t(im.w) * im.h);
    expect_only_repacked(root(), rebuilt, es, im.index, 768, edited);
}

// zundfiles\icons holds the header-first entry files of the Starhold VI icons
// archive; a text entry goes out through headlast_strs and comes back through
// the ready folder, headfirst_ready and rebuildlod_ordered.
TEST_F(PayloadChain, ATranslatedTextEntryComesBackPackedIntoTheOrderedArchive) {
    const std::string zf = "c:\\games\\zundfiles\\", starhold = "c:\\games\\Starhold VI\\data\\";
    const Bytes text = to_bytes("Starbase\r\nShipyard\r\nColony\r\n"), translated = to_bytes("\xc1\xe0\xe7\xe0\r\n");
    std::vector<LodEntry> es = tiny_entries(2703);
    es[123] = {"foo.str", packed_entry("foo.str", "", 0, 0, text)};
    put(starhold + "icons1.lod", make_lod(es));
    for (size_t k = 0; k < es.size(); ++k) put(zf + "icons\\" + name4(k, es[k].name + ".zl"), es[k].data);

    mkdirs(zf + "strs");
    ASSERT_EQ(run("headlast_strs").exit_code, 0);
    RunResult r = run("unpackpayloads");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(get(zf + "strs\\0123_foo.str"), text);
    put(zf + "ready\\foo.str", translated); // translated outside, put into the ready folder
    ASSERT_EQ(run("packpayloads").exit_code, 0);
    ASSERT_EQ(run("headfirst_ready").exit_code, 0);
    put(zf + "icons\\0123_foo.str.zl", get(zf + "ready\\0123_foo.str.zl"));
    ASSERT_EQ(run("rebuildlod_ordered").exit_code, 0);

    Bytes rebuilt = get(starhold + "icons.lod");
    expect_only_repacked(root(), rebuilt, es, 123, 0, translated);
}

TEST_F(PayloadChain, ATranslatedEventTextComesBackPackedIntoTheEventsArchive) {
    const std::string events = kXfiles + "text_!_events\\";
    std::vector<LodEntry> es;
    for (size_t k = 0; k < 198; ++k) {
        std::string n = "t" + std::to_string(k) + ".txt";
        es.push_back({n, packed_entry(n, "", 0, 0, pattern(10 + k, uint32_t(k)))});
    }
    const Bytes translated = to_bytes("\xcf\xf0\xe8\xe2\xe5\xf2!\r\n");
    put(kData + "events1.lod", make_lod(es));
    put(events + "0012_t12.txt", translated);
    ASSERT_EQ(run("packpayloads").exit_code, 0);
    ASSERT_EQ(run("headfirst_events").exit_code, 0);
    put(kXfiles + "events_ready\\0012_t12.txt.zl", get(events + "0012_t12.txt.zl"));
    ASSERT_EQ(run("updatelod_events").exit_code, 0);

    Bytes rebuilt = get(kData + "events.lod");
    expect_only_repacked(root(), rebuilt, es, 12, 0, translated);
}

} // namespace
