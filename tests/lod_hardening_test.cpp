// The LOD jobs on damaged archives and entry files, and on full disks.
//
// The jobs of fixed count (4241 and 2703 entries) make or read thousands of
// entry files; those folders are kept from one run to the next (kept_folder),
// and their damaged variants are aimed at the head, the directory and the
// first and last entries rather than spread over every entry.
#include "support/hardening.hpp"
#include "support/lod_builders.hpp"

#include <fstream>

namespace {

namespace fs = std::filesystem;

const std::string kZund6 = "c:\\games\\zund6\\";
const std::string kZ7 = "c:\\games\\ZUND7\\data\\";
const std::string kXfiles = "c:\\games\\zund7\\xfiles\\";
const std::string kZ = "c:\\games\\zundfiles\\";
const std::string kStarhold = "c:\\games\\Starhold VI\\data\\";

std::string name4(size_t k, const std::string& name) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04zu_%s.zl", k, name.c_str());
    return buf;
}

// Offsets in an archive of make_lod(): directory entry k and its fields, and
// where entry k's data begin.
size_t dir_at(size_t k) { return 288 + 32 * k; }
size_t offset_field(size_t k) { return dir_at(k) + 16; }
size_t size_field(size_t k) { return dir_at(k) + 20; }
size_t data_at(const Bytes& lod, size_t k) { return 288 + size_t(lod_entry(lod, k).offset); }

// The boundaries every archive has: header, descriptor fields, directory.
std::vector<size_t> head_boundaries(const Bytes& lod, size_t count) {
    return {256, 276, 280, 284, 288, dir_at(1), dir_at(count - 1), dir_at(count), data_at(lod, 1),
            data_at(lod, count - 1)};
}

// A header-first entry file's boundaries: name, pixel size, stored size,
// width and height, unpacked size, the end of the header. The merges and
// converters read none of its fields but the menu converter's stored size.
const std::vector<size_t> kHeaderBoundaries = {16, 20, 24, 28, 40, 44, 47, 48};

// zund6 icons.lod: six entries, three of them text entries, one of those
// shorter than an entry header.
Bytes strs_lod() {
    return make_lod({{"icon.bmp", pattern(60, 1)},
                     {"Global.STR", concat({entry_header("Global.STR", "", 0, 22, 0, 0, 90), pattern(22, 2)})},
                     {"notes.txt", entry_header("notes.txt", "", 0, 0, 0, 0, 0)},
                     {"x.txt", pattern(10, 3)},
                     {"misc", pattern(50, 4)},
                     {"b.str", concat({entry_header("b.str", "", 0, 52, 0, 0, 70), pattern(52, 5)})}});
}

const Bytes& icons_lod() {
    static const Bytes lod = make_lod(tiny_entries(4241));
    return lod;
}

const Bytes& starhold_lod() {
    static const Bytes lod = make_lod(tiny_entries(2703));
    return lod;
}

// events1.lod: 198 entries, each a header and four payload bytes.
const Bytes& events_lod() {
    static const Bytes lod = [] {
        std::vector<LodEntry> es;
        for (size_t k = 0; k < 198; ++k) {
            std::string n = "t" + std::to_string(k);
            es.push_back({n, concat({entry_header(n, "", 0, 4, 0, 0, 8), pattern(4, uint32_t(k))})});
        }
        return make_lod(es);
    }();
    return lod;
}

std::string icon_list() {
    std::string list;
    for (int k = 0; k < 2703; ++k) list += std::to_string(2702 - k) + "\t" + std::to_string(86784 + 3 * k) + "\r\n";
    return list;
}

std::vector<Scenario> lod_scenarios() {
    const Bytes strs = strs_lod(), icons = icons_lod(), starhold = starhold_lod(), events = events_lod();
    const std::string icons_all = kXfiles + "icons_all", icons_ready = kXfiles + "icons_ready\\";
    const std::string events_ready = kXfiles + "events_ready\\", text_events = kXfiles + "text_!_events\\";
    Bytes foo_header = entry_header("foo.str", "", 0, 11, 0, 0, 22);
    Bytes menu_header = entry_header("menu1", "tga", 100, 50, 10, 10, 100);
    std::string list = icon_list();
    // Header-last entry files for unpackpayloads: an image whose payload is a
    // zlib stream, a payload stored as it is, a text.
    const Bytes pixels = concat({Bytes(600, 9), pattern(300, 6)});
    const Bytes logo_z = deflated(pixels);
    const Bytes logo = concat({logo_z, pattern(768, 7),
                               entry_header("logo", "tga", 900, uint32_t(logo_z.size()), 30, 30, 900)});
    const Bytes text_z = deflated(Bytes(80, 't'));
    const size_t logo_header = logo_z.size() + 768;
    return {
        {"extractlod_strs", "extractlod_strs", "c:\\",
         [=](JobTest& t) {
             t.put(kZund6 + "data\\icons.lod", strs);
             t.mkdirs(kZund6 + "xfiles\\icons_txt_str");
         },
         {{kZund6 + "data\\icons.lod",
           {256, 284, 288, dir_at(1), dir_at(5), dir_at(6), data_at(strs, 1), data_at(strs, 1) + 48, data_at(strs, 5)},
           {284, offset_field(1), size_field(5)}}}},
        // Every run that gets past the directory writes up to 4241 entry
        // files (into a kept folder): cuts and fields aim at the head, the
        // directory and the first entries, the cut before the last byte at
        // the last entry.
        {"extractlod_icons", "extractlod_icons", "c:\\",
         [=](JobTest& t) {
             t.put(kZ7 + "icons1.lod", icons);
             kept_folder(t, icons_all, "icons_all");
         },
         {{kZ7 + "icons1.lod", {256, 284, 288, dir_at(1), dir_at(4240), 136000, data_at(icons, 1)},
           {offset_field(0)}}}},
        // Reads 2703 entry files, which it copies unchanged (their length is
        // all it takes from them): only the source's head and directory are
        // damaged, and of the directory only the names count (the job sets
        // every size and data offset itself).
        {"rebuildlod_ordered", "rebuildlod_ordered", "c:\\",
         [=](JobTest& t) {
             t.put(kStarhold + "icons1.lod", starhold);
             t.put(kStarhold + "icons.lod", "the game's archive");
             kept_folder(t, kZ + "icons", "starhold_icons", [](const fs::path& dir) {
                 for (size_t d = 0; d < 2703; ++d)
                     std::ofstream(dir / name4(d, "e" + std::to_string(d)), std::ios::binary)
                         << std::string(d % 5 * 3, char('a' + d % 26));
             });
         },
         {{kStarhold + "icons1.lod", {256, 276, 288, dir_at(42), dir_at(43), dir_at(2702), 86784}, {}}}},
        // The list is text, read with "%d\t%d": a damaged one must end in a
        // message, never in a table of wrong records.
        {"icontable", "icontable", "c:\\", [=](JobTest& t) { t.put("e:\\games\\icons.txt", list); },
         {{"e:\\games\\icons.txt", {4, 5, 10, 11, 12, list.size() / 2, list.size() - 2}, {}}}},
        {"updatelod_icons", "updatelod_icons", "c:\\",
         [=](JobTest& t) {
             t.put(kZ7 + "icons1.lod", icons);
             t.put(kZ7 + "icons.lod", "the game's archive");
             t.put(icons_ready + name4(7, "e7"), pattern(300, 7));
             t.put(icons_ready + name4(4240, "e4240"), pattern(20, 8));
         },
         {{kZ7 + "icons1.lod", head_boundaries(icons, 4241), {offset_field(0), size_field(4239)}}}},
        // The same procedure on the smaller archive, and a ready file (copied
        // unchanged, whatever its bytes).
        {"updatelod_events", "updatelod_events", "c:\\",
         [=](JobTest& t) {
             t.put(kZ7 + "events1.lod", events);
             t.put(kZ7 + "events.lod", "the game's archive");
             t.put(events_ready + name4(5, "t5"), pattern(90, 5));
         },
         {{kZ7 + "events1.lod", head_boundaries(events, 198),
           {offset_field(0), size_field(6), size_field(197)}},
          {events_ready + name4(5, "t5"), {}, {}}}},
        {"headfirst_ready", "headfirst_ready", "c:\\",
         [=](JobTest& t) {
             t.put(kZ + "icons\\0123_foo.str.zl", concat({foo_header, pattern(11, 1)}));
             t.put(kZ + "icons\\0002_a_b.zl", entry_header("a_b", "", 1, 2, 3, 4, 5));
             t.put(kZ + "ready\\foo.str.zl", pattern(37, 2));
             t.put(kZ + "ready\\foo.str", Bytes(100, 'u'));
             t.put(kZ + "ready\\b.zl", pattern(3, 3));
             t.put(kZ + "ready\\b", Bytes(9, 'u'));
             t.put(kZ + "ready\\0123_foo.str.zl", "merged by an earlier run");
         },
         {{kZ + "icons\\0123_foo.str.zl", kHeaderBoundaries, {}}, {kZ + "ready\\foo.str.zl", {}, {}}}},
        {"headfirst_texts", "headfirst_texts", "c:\\",
         [=](JobTest& t) {
             t.put(kZ + "icons\\0123_foo.str.zl", concat({foo_header, pattern(11, 1)}));
             t.put(kZ + "texts\\foo.str.zl", pattern(37, 2));
             t.put(kZ + "texts\\foo.str", Bytes(100, 'u'));
         },
         {{kZ + "icons\\0123_foo.str.zl", kHeaderBoundaries, {}}}},
        // The merged file takes the payload's place.
        {"headfirst_readystr", "headfirst_readystr", "c:\\",
         [=](JobTest& t) {
             t.put(kZ + "icons\\0005_x.str.zl", concat({entry_header("x.str", "", 0, 9, 0, 0, 0), pattern(9, 1)}));
             t.put(kZ + "ready str\\0005_X.STR.zl", pattern(33, 2));
             t.put(kZ + "ready str\\0005_X.STR", Bytes(77, 0));
         },
         {{kZ + "icons\\0005_x.str.zl", kHeaderBoundaries, {}}}},
        {"headfirst_menu", "headfirst_menu", "c:\\",
         [=](JobTest& t) {
             t.put(kZ + "icons\\0040_menu1.zl", menu_header);
             t.put(kZ + "menu\\ready\\0040_menu1.zl", pattern(20, 1));
             t.put(kZ + "menu\\ready\\0040_menu1", Bytes(300, 1));
             t.put(kZ + "menu\\ready\\0040_menu1.act", pattern(768, 2));
             t.put(kZ + "menu\\0040_menu1.zl", "made by an earlier run");
         },
         {{kZ + "icons\\0040_menu1.zl", kHeaderBoundaries, {}},
          {kZ + "menu\\ready\\0040_menu1.act", {767}, {}}}},
        {"headfirst_events", "headfirst_events", "c:\\",
         [=](JobTest& t) {
             t.put(kZ7 + "events1.lod", events);
             t.put(text_events + "0012_hello.txt", Bytes(50, 'h'));
             t.put(text_events + "0012_hello.txt.zl", pattern(9, 1));
             t.put(text_events + "3_a.str", Bytes(7, 's'));
             t.put(text_events + "3_a.str.zl", pattern(4, 2));
         },
         {{kZ7 + "events1.lod",
           {256, 288, dir_at(3), dir_at(12), dir_at(13), dir_at(198), data_at(events, 3), data_at(events, 12),
            data_at(events, 12) + 40},
           {offset_field(3), offset_field(12), size_field(12)}}}},
        {"headlast_strs", "headlast_strs", "c:\\",
         [=](JobTest& t) {
             t.put(kZ + "icons\\0001_a.str.zl", concat({foo_header, pattern(12, 1)}));
             t.put(kZ + "icons\\0003_C.STR.ZL", pattern(48, 3));
             t.put(kZ + "strs\\0001_a.str.zl", "made by an earlier run");
         },
         {{kZ + "icons\\0001_a.str.zl", kHeaderBoundaries, {}}}},
        // Converts in place.
        {"headlast_icons1", "headlast_icons1", "c:\\",
         [=](JobTest& t) {
             t.put(kZ + "icons1\\0001_a.zl", concat({foo_header, pattern(52, 1)}));
             t.put(kZ + "icons1\\0002_b.zl", pattern(100, 2));
         },
         {{kZ + "icons1\\0001_a.zl", kHeaderBoundaries, {}}}},
        // A damaged entry file is named and passed by: exit code 1 with the
        // counts as the last line.
        {"unpackpayloads", "unpackpayloads", "c:\\",
         [=](JobTest& t) {
             t.put(kXfiles + "icons_all\\0003_logo.zl", logo);
             t.put(kXfiles + "icons_all\\0005_raw.zl",
                   concat({pattern(40, 8), entry_header("raw", "", 0, 40, 0, 0, 40)}));
             t.put(kZ + "strs\\0123_foo.str.zl",
                   concat({text_z, entry_header("foo.str", "", 0, uint32_t(text_z.size()), 0, 0, 80)}));
         },
         {{kXfiles + "icons_all\\0003_logo.zl",
           {2, logo_z.size() / 2, logo_z.size() - 4, logo_z.size(), logo_header, logo_header + 20, logo_header + 40},
           {logo_header + 20, logo_header + 40}}}},
        // Every file it reads is packed, whatever its bytes.
        {"packpayloads", "packpayloads", "c:\\",
         [=](JobTest& t) {
             t.put(kXfiles + "readytga\\pack\\0012_name", pattern(300, 1));
             t.put(kXfiles + "readytga\\0012_name.zl", "packed by an earlier run");
             t.put(kZ + "ready\\foo.str", Bytes(100, 'u'));
             t.put(kZ + "ready\\foo.act", pattern(768, 2));
             t.put(text_events + "0012_hello.txt", Bytes(50, 'h'));
         },
         {{kXfiles + "readytga\\pack\\0012_name", {}, {}}}},
        // In place, the stored size telling where the palette lies; a file
        // whose palette comes short ends the job with code 5 and no message.
        {"headlast_menu", "headlast_menu", "c:\\",
         [=](JobTest& t) {
             t.put(kZ + "menu\\0007_m.zl",
                   concat({entry_header("m", "tga", 25, 5, 5, 5, 25), pattern(5, 1), pattern(768, 2)}));
             t.put(kZ + "menu\\0009_n.zl",
                   concat({entry_header("n", "tga", 4, 2, 2, 2, 4), pattern(2, 3), pattern(768, 4), pattern(3, 5)}));
             t.put(kZ + "menu\\0007_m.act", "made by an earlier run");
         },
         {{kZ + "menu\\0007_m.zl", {16, 20, 24, 48, 53, 54, 820, 821}, {20}}},
         {5}},
    };
}

INSTANTIATE_TEST_SUITE_P(Lod, Damage, ::testing::ValuesIn(lod_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Lod, FullDisk, ::testing::ValuesIn(lod_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Lod, BlockedOutput, ::testing::ValuesIn(lod_scenarios()), scenario_name);

} // namespace
