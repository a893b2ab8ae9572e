// The LOD jobs, run as executables on archives and entry files built here.
#include "formats/lod.hpp"
#include "support/jobtest.hpp"
#include "support/lod_builders.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

namespace {

namespace fs = std::filesystem;

class Lod : public JobTest {};

std::string name4(size_t k, const std::string& name) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04zu_%s.zl", k, name.c_str());
    return buf;
}

// ---------------------------------------------------------------------------
// Extraction

const std::string kStrsLod = "c:\\games\\zund6\\data\\icons.lod";
const std::string kStrsDir = "c:\\games\\zund6\\xfiles\\icons_txt_str\\";
const std::string kIcons1 = "c:\\games\\ZUND7\\data\\icons1.lod";
const std::string kIconsAll = "c:\\games\\zund7\\xfiles\\icons_all\\";
const std::string kList = "c:\\games\\icons.txt";

TEST_F(Lod, ExtractStrsSelectsByLowerCaseNameAndKeepsDirectoryIndices) {
    std::vector<LodEntry> es = {
        {"icon.bmp", pattern(60, 1)},          {"stream.bin", pattern(100, 2)},
        {"NOTES.TXT", pattern(48, 3)},         {"a.tga", pattern(50, 4)},
        {"short.str", pattern(10, 5)},         {"x", pattern(49, 6)},
        {"S_t_r", pattern(49, 7)},             {"Global.STR", pattern(70, 8)},
        {"abcdefghijklmStr", pattern(52, 9)}, // 16 bytes, no NUL
        {"late.txt", pattern(55, 10)},         // past the archive's own count
    };
    put(kStrsLod, make_lod(es, 9));
    mkdirs(kStrsDir);
    expect_run(run("extractlod_strs"), 0, {}); // prints nothing
    EXPECT_EQ(files(kStrsDir), std::vector<std::string>({"0001_stream.bin.zl", "0002_notes.txt.zl",
                                                         "0004_short.str.zl", "0007_global.str.zl",
                                                         "0008_abcdefghijklmstr.zl"}));
    EXPECT_EQ(get(kStrsDir + "0001_stream.bin.zl"), header_last(es[1].data));
    EXPECT_EQ(get(kStrsDir + "0002_notes.txt.zl"), es[2].data); // the header alone
    EXPECT_EQ(get(kStrsDir + "0004_short.str.zl"), es[4].data); // no header to move
    EXPECT_EQ(get(kStrsDir + "0007_global.str.zl"), concat({slice(es[7].data, 48, 22), slice(es[7].data, 0, 48)}));
    EXPECT_EQ(get(kStrsDir + "0008_abcdefghijklmstr.zl"), header_last(es[8].data));
}

TEST_F(Lod, ExtractStrsPrintsIndicesPast9999WithFiveDigits) {
    std::vector<LodEntry> es(10001, LodEntry{"n", {}});
    es[9999] = {"a.txt", pattern(49, 1)};
    es[10000] = {"b.str", pattern(50, 2)};
    put(kStrsLod, make_lod(es));
    mkdirs(kStrsDir);
    expect_run(run("extractlod_strs"), 0, {});
    EXPECT_EQ(files(kStrsDir), std::vector<std::string>({"10000_b.str.zl", "9999_a.txt.zl"}));
    EXPECT_EQ(get(kStrsDir + "10000_b.str.zl"), header_last(es[10000].data));
}

TEST_F(Lod, ExtractStrsStopsOnDamagedArchives) {
    const std::string damaged = "Damaged file " + kStrsLod + ": ";
    mkdirs(kStrsDir);
    expect_run(run("extractlod_strs"), 1, {"Can't open"});

    put(kStrsLod, pattern(100, 1));
    expect_run(run("extractlod_strs"), 1, {damaged + "shorter than its 288-byte head"});

    put(kStrsLod, make_lod({{"a.txt", pattern(50, 1)}}, 4000000000));
    expect_run(run("extractlod_strs"), 1,
               {damaged + "its directory of 4000000000 entries lies past the end of the archive"});

    Bytes lod = make_lod({{"a.txt", pattern(50, 1)}, {"B.TXT", pattern(50, 2)}});
    set_lod_entry(lod, 1, 0xFFFFFF00, 50);
    put(kStrsLod, lod);
    expect_run(run("extractlod_strs"), 1, {damaged + "entry b.txt lies past the end of the archive"});
    EXPECT_EQ(files(kStrsDir), std::vector<std::string>({"0000_a.txt.zl"}));

    // A name that would lead out of the folder, found before its file is made.
    put(kStrsLod, make_lod({{"a.txt", pattern(50, 1)}, {"..\\..\\x.txt", pattern(50, 2)}}));
    fs::remove_all(host(kStrsDir));
    mkdirs(kStrsDir);
    expect_run(run("extractlod_strs"), 1, {damaged + "member name ..\\..\\x.txt is not a plain file name"});
    EXPECT_EQ(files(kStrsDir), std::vector<std::string>({"0000_a.txt.zl"}));
    EXPECT_FALSE(has("c:\\games\\zund6\\0001_..")); // nothing made on the way

    put(kStrsLod, make_lod({{"a.txt", pattern(50, 1)}}));
    link(kStrsDir + "0000_a.txt.zl", "/dev/full");
    expect_run(run("extractlod_strs"), 1, {"Can't write " + kStrsDir + "0000_a.txt.zl"});
    fs::remove_all(host(kStrsDir));
    expect_run(run("extractlod_strs"), 1, {"Can't create file " + kStrsDir + "0000_a.txt.zl"});
}

TEST_F(Lod, ExtractIconsWritesAll4241EntriesAndTheirDataPositions) {
    auto es = tiny_entries(4241);
    es[7].data = pattern(48, 77); // header only
    Bytes lod = make_lod(es, 3);  // the archive's own count is not used
    // Entries 1 and 2 swap their data: the list gives each entry's own place.
    LodDirEntry e1 = lod_entry(lod, 1), e2 = lod_entry(lod, 2);
    set_lod_entry(lod, 1, e2.offset, e2.size);
    set_lod_entry(lod, 2, e1.offset, e1.size);
    put(kIcons1, lod);
    mkdirs(kIconsAll);

    RunResult r = run("extractlod_icons");
    std::vector<std::string> want;
    std::string list;
    for (size_t k = 0; k < 4241; ++k) {
        want.push_back(kIconsAll + name4(k, "e" + std::to_string(k)));
        char line[32];
        std::snprintf(line, sizeof line, "%04zu\t%u\r\n", k, 288 + lod_entry(lod, k).offset);
        list += line;
    }
    expect_run(r, 0, want);
    EXPECT_EQ(get_text(kList), list);
    EXPECT_EQ(lod_entry(lod, 0).offset + 288, 136000u);
    EXPECT_EQ(files(kIconsAll).size(), 4241u);
    for (size_t k : {size_t(0), size_t(2), size_t(7), size_t(1000), size_t(4240)})
        EXPECT_EQ(get(kIconsAll + name4(k, "e" + std::to_string(k))), header_last(lod_data(lod, k))) << k;
    EXPECT_EQ(get(kIconsAll + name4(1, "e1")), header_last(es[2].data));
    EXPECT_EQ(get(kIconsAll + name4(7, "e7")), es[7].data);
}

TEST_F(Lod, ExtractIconsStopsOnDamagedArchivesAndFailedWrites) {
    const std::string damaged = "Damaged file " + kIcons1 + ": ";
    mkdirs(kIconsAll);
    put(kIcons1, pattern(135999, 1));
    expect_run(run("extractlod_icons"), 1,
               {damaged + "shorter than the 136000 bytes of its head and directory of 4241 entries"});
    EXPECT_TRUE(files(kIconsAll).empty());

    Bytes lod = make_lod(tiny_entries(4241));
    set_lod_entry(lod, 3, lod_entry(lod, 3).offset, 0x10000000);
    put(kIcons1, lod);
    expect_run(run("extractlod_icons"), 1,
               {kIconsAll + "0000_e0.zl", kIconsAll + "0001_e1.zl", kIconsAll + "0002_e2.zl",
                kIconsAll + "0003_e3.zl", damaged + "entry e3 lies past the end of the archive"});
    EXPECT_EQ(files(kIconsAll), std::vector<std::string>({"0000_e0.zl", "0001_e1.zl", "0002_e2.zl"}));
    EXPECT_EQ(get(kIconsAll + "0002_e2.zl"), header_last(lod_data(lod, 2)));

    auto es = tiny_entries(4241);
    es[2].name = "c:x";
    put(kIcons1, make_lod(es));
    fs::remove_all(host(kIconsAll));
    mkdirs(kIconsAll);
    expect_run(run("extractlod_icons"), 1,
               {kIconsAll + "0000_e0.zl", kIconsAll + "0001_e1.zl", kIconsAll + "0002_c:x.zl",
                damaged + "member name c:x is not a plain file name"});
    EXPECT_EQ(files(kIconsAll), std::vector<std::string>({"0000_e0.zl", "0001_e1.zl"}));

    put(kIcons1, make_lod(tiny_entries(4241)));
    link(kIconsAll + "0001_e1.zl", "/dev/full");
    expect_run(run("extractlod_icons"), 1,
               {kIconsAll + "0000_e0.zl", kIconsAll + "0001_e1.zl", "Can't write " + kIconsAll + "0001_e1.zl"});
    fs::remove_all(host(kIconsAll));
    expect_run(run("extractlod_icons"), 1, {kIconsAll + "0000_e0.zl", "Can't create file " + kIconsAll + "0000_e0.zl"});
}

// ---------------------------------------------------------------------------
// Ordered rebuild and the data-order table

const std::string kShSource = "c:\\games\\Starhold VI\\data\\icons1.lod";
const std::string kShOutput = "c:\\games\\Starhold VI\\data\\icons.lod";
const std::string kZIcons = "c:\\games\\zundfiles\\icons\\";

TEST(LodOrder, TheDataOrderTableIsAPermutationWithTheKnownRows) {
    const uint16_t* t = lod::kIconOrder;
    const size_t n = lod::kIconOrderCount;
    ASSERT_EQ(n, 2703u);
    std::set<uint16_t> seen(t, t + n);
    EXPECT_EQ(seen.size(), n);
    EXPECT_EQ(*seen.rbegin(), 2702);
    EXPECT_EQ(std::vector<uint16_t>(t, t + 10), std::vector<uint16_t>({42, 43, 54, 55, 56, 57, 58, 59, 60, 61}));
    EXPECT_EQ(std::vector<uint16_t>(t + n - 6, t + n), std::vector<uint16_t>({2698, 412, 35, 36, 84, 1007}));
    EXPECT_EQ(t[2511], 0);
    EXPECT_EQ(t[2498], 2702);
    // The first two runs of ten indices ascending by one.
    std::vector<std::pair<size_t, uint16_t>> runs;
    size_t start = 0;
    for (size_t k = 1; k <= n && runs.size() < 2; ++k)
        if (k == n || t[k] != t[k - 1] + 1) {
            if (k - start >= 10) runs.push_back({start, t[start]});
            start = k;
        }
    EXPECT_EQ(runs, (std::vector<std::pair<size_t, uint16_t>>{{10, 44}, {29, 63}}));
    EXPECT_EQ(t[19], 53);
    EXPECT_EQ(t[38], 72);
    EXPECT_NE(t[39], 73);
    // The ascent by two near the end, with 2688 left out.
    std::vector<uint16_t> two;
    for (uint16_t v = 2662; v <= 2698; v += 2)
        if (v != 2688) two.push_back(v);
    EXPECT_EQ(std::vector<uint16_t>(t + n - 6 - two.size() + 1, t + n - 5), two);
}

class Rebuild : public Lod {
protected:
    void SetUp() override {
        Lod::SetUp();
        source = make_lod(tiny_entries(2703));
        put(kShSource, source);
        for (size_t d = 0; d < 2703; ++d) {
            file.push_back(pattern(d % 5 * 3, uint32_t(d + 7))); // d % 5 == 0: empty
            put(kZIcons + name4(d, "e" + std::to_string(d)), file.back());
        }
    }
    std::string path(size_t d) { return kZIcons + name4(d, "e" + std::to_string(d)); }
    Bytes source;
    std::vector<Bytes> file;
};

TEST_F(Rebuild, LaysTheDataOutInTableOrder) {
    // Entry files are found without regard to the case of their names.
    fs::rename(host(path(100)), host(kZIcons + "0100_E100.ZL"));
    RunResult r = run("rebuildlod_ordered");
    std::vector<std::string> want;
    for (size_t k = 0; k < 2703; ++k) want.push_back("get size for " + path(lod::kIconOrder[k]));
    for (size_t k = 0; k < 2703; ++k) want.push_back("processing " + path(lod::kIconOrder[k]) + "...");
    expect_run(r, 0, want);
    EXPECT_EQ(want[0], "get size for c:\\games\\zundfiles\\icons\\0042_e42.zl");

    Bytes out = get(kShOutput);
    // The head is the source's, but for the data-region size.
    Bytes head = slice(source, 0, 288);
    uint32_t region = uint32_t(out.size() - 288);
    for (int i = 0; i < 4; ++i) head[276 + i] = uint8_t(region >> (8 * i));
    EXPECT_EQ(slice(out, 0, 288), head);
    EXPECT_EQ(le32(out, 276), out.size() - 288);
    // The data back to back in table order from the end of the directory.
    size_t pos = 86784;
    for (size_t k = 0; k < 2703; ++k) {
        size_t d = lod::kIconOrder[k];
        LodDirEntry e = lod_entry(out, d);
        ASSERT_EQ(e.offset + 288, pos) << d;
        ASSERT_EQ(e.size, file[d].size()) << d;
        ASSERT_EQ(slice(out, pos, e.size), file[d]) << d;
        pos += e.size;
    }
    EXPECT_EQ(pos, out.size());
    EXPECT_EQ(lod_entry(out, 42).offset, 86496u);
    // Names and opaque bytes of the directory stay the source's.
    for (size_t d : {size_t(0), size_t(35), size_t(2702)}) {
        EXPECT_EQ(slice(out, 288 + 32 * d, 16), slice(source, 288 + 32 * d, 16));
        EXPECT_EQ(slice(out, 288 + 32 * d + 24, 8), slice(source, 288 + 32 * d + 24, 8));
    }
    // An empty entry file: the next entry's data start where its would.
    size_t k0 = size_t(std::find(lod::kIconOrder, lod::kIconOrder + 2703, 0) - lod::kIconOrder);
    EXPECT_EQ(lod_entry(out, 0).size, 0u);
    EXPECT_EQ(lod_entry(out, lod::kIconOrder[k0 + 1]).offset, lod_entry(out, 0).offset);
}

TEST_F(Rebuild, AMissingEntryFileInTheFirstPassWritesNothing) {
    size_t d = lod::kIconOrder[5];
    fs::rename(host(path(d)), host(kZIcons + name4(d, "other"))); // same index, other name
    put(kShOutput, "old");
    std::vector<std::string> want;
    for (size_t k = 0; k < 6; ++k) want.push_back("get size for " + path(lod::kIconOrder[k]));
    want.push_back("Can't create file " + path(d));
    expect_run(run("rebuildlod_ordered"), 1, want);
    EXPECT_EQ(get_text(kShOutput), "old");

    // A name that holds a path would take a file from another folder.
    size_t e = lod::kIconOrder[2];
    Bytes named = source;
    std::copy_n("..\\x\0", 5, named.begin() + 288 + 32 * long(e));
    put(kShSource, named);
    want.resize(2);
    want.push_back("get size for " + kZIcons + name4(e, "..\\x"));
    want.push_back("Damaged file " + kShSource + ": member name ..\\x is not a plain file name");
    expect_run(run("rebuildlod_ordered"), 1, want);
    EXPECT_EQ(get_text(kShOutput), "old");
}

TEST_F(Rebuild, AnEntryFileGoneInTheSecondPassLeavesTheGamesArchiveAsItWas) {
    // Entry 55 (fourth in table order) is a pipe that the first pass opens
    // once; it is gone by the time the second pass comes to it.
    const size_t gone = 55;
    ASSERT_EQ(lod::kIconOrder[3], gone);
    std::string fifo = host(path(gone)).string();
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::thread writer([&] {
        int fd = ::open(fifo.c_str(), O_WRONLY);
        ::unlink(fifo.c_str());
        if (fd >= 0) ::close(fd);
    });
    put(kShOutput, "the game's archive");
    RunResult r = run("rebuildlod_ordered");
    int unblock = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK); // should the job have failed early
    if (unblock >= 0) ::close(unblock);
    writer.join();

    std::vector<std::string> want;
    for (size_t k = 0; k < 2703; ++k) want.push_back("get size for " + path(lod::kIconOrder[k]));
    for (size_t k = 0; k < 4; ++k) want.push_back("processing " + path(lod::kIconOrder[k]) + "...");
    want.push_back("Can't create file " + path(gone));
    expect_run(r, 1, want);
    // The new archive replaces the game's only once it is complete.
    EXPECT_EQ(get_text(kShOutput), "the game's archive");
}

TEST_F(Lod, RebuildStopsOnAShortSource) {
    expect_run(run("rebuildlod_ordered"), 1, {"Can't open"});
    put(kShSource, pattern(86783, 1));
    expect_run(run("rebuildlod_ordered"), 1,
               {"Damaged file " + kShSource + ": shorter than the 86784 bytes of its head and directory of 2703 entries"});
    EXPECT_FALSE(has(kShOutput));
}

TEST_F(Lod, IcontableWritesTheLow16BitsOfEachFirstNumber) {
    expect_run(run("icontable"), 1, {"Can't open"});
    std::string list = "0042\t86784\r\n-1\t5\r\n70000\t1\r\n";
    Bytes want = Buf().u16(42).u16(0xFFFF).u16(70000 & 0xFFFF).b;
    for (int k = 3; k < 2703; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "%04d\t%d\r\n", 2702 - k, 86784 + k);
        list += line;
        want.push_back(uint8_t(2702 - k));
        want.push_back(uint8_t((2702 - k) >> 8));
    }
    list += "9999\t1\r\n"; // past the 2703 records: not read
    put("e:\\games\\icons.txt", list);
    expect_run(run("icontable"), 0, {});
    EXPECT_EQ(get("e:\\games\\icons.dat"), want);
    EXPECT_EQ(want.size(), 5406u);

    // The compiled data-order table has the layout icontable writes.
    std::string order;
    Bytes table;
    for (size_t k = 0; k < 2703; ++k) {
        order += std::to_string(lod::kIconOrder[k]) + "\t0\r\n";
        table.push_back(uint8_t(lod::kIconOrder[k]));
        table.push_back(uint8_t(lod::kIconOrder[k] >> 8));
    }
    put("e:\\games\\icons.txt", order);
    expect_run(run("icontable"), 0, {});
    EXPECT_EQ(get("e:\\games\\icons.dat"), table);

    put("e:\\games\\icons.txt", "1\t2\r\n3\t4\r\n5\r\n");
    expect_run(run("icontable"), 1,
               {"Damaged file e:\\games\\icons.txt: line 3 is not an index and a position; the table needs 2703"});
}

// ---------------------------------------------------------------------------
// Update

const std::string kZ7 = "c:\\games\\ZUND7\\data\\";
const std::string kIconsReady = "c:\\games\\zund7\\xfiles\\icons_ready\\";
const std::string kEventsReady = "c:\\games\\zund7\\xfiles\\events_ready\\";

// The lines of an update run in which the entries in `ready` have files.
std::vector<std::string> update_lines(const std::string& dir, size_t count, const std::set<size_t>& ready) {
    std::vector<std::string> v;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t k = 0; k < count; ++k) {
            std::string p = dir + name4(k, "e" + std::to_string(k));
            v.push_back(ready.count(k) ? p : "----------- using old " + p);
        }
    return v;
}

// The archive an update should write: the entries back to back, with the
// source's data-region size.
Bytes expected_update(const std::vector<LodEntry>& es, const Bytes& source) {
    Bytes want = make_lod(es);
    std::copy(source.begin() + 276, source.begin() + 280, want.begin() + 276);
    return want;
}

TEST_F(Lod, UpdateWithoutReadyFilesWritesTheSameArchive) {
    Bytes src = make_lod(tiny_entries(4241));
    put(kZ7 + "icons1.lod", src);
    mkdirs(kIconsReady);
    expect_run(run("updatelod_icons"), 0, update_lines(kIconsReady, 4241, {}));
    EXPECT_EQ(get(kZ7 + "icons.lod"), src);
}

TEST_F(Lod, UpdateTakesReadyFilesAndShiftsTheLaterEntries) {
    auto es = tiny_entries(4241);
    Bytes src = make_lod(es);
    src[276] ^= 0x55; // a data-region size that does not fit: kept as it is
    put(kZ7 + "icons1.lod", src);
    es[0].data = concat({es[0].data, pattern(5, 50)}); // longer by 5
    es[100].data = {};                                   // empty
    es[4240].data = pattern(70, 51);                     // the last
    for (size_t k : {size_t(0), size_t(100), size_t(4240)})
        put(kIconsReady + name4(k, "E" + std::to_string(k)), es[k].data); // any letter case
    expect_run(run("updatelod_icons"), 0, update_lines(kIconsReady, 4241, {0, 100, 4240}));
    Bytes out = get(kZ7 + "icons.lod");
    EXPECT_EQ(out, expected_update(es, src));
    EXPECT_EQ(lod_entry(out, 0).offset, 135712u);
    EXPECT_EQ(lod_entry(out, 1).offset, lod_entry(src, 1).offset + 5);
    EXPECT_EQ(lod_entry(out, 101).offset, lod_entry(out, 100).offset);
    EXPECT_EQ(lod_entry(out, 100).size, 0u);
}

TEST_F(Lod, UpdateOfTheLastEntryChangesOnlyItsSizeAndData) {
    auto es = tiny_entries(198);
    Bytes src = make_lod(es);
    put(kZ7 + "events1.lod", src);
    es[197].data = pattern(300, 9);
    put(kEventsReady + name4(197, "e197"), es[197].data);
    expect_run(run("updatelod_events"), 0, update_lines(kEventsReady, 198, {197}));
    Bytes out = get(kZ7 + "events.lod");
    EXPECT_EQ(out, expected_update(es, src));
    for (size_t k = 0; k < 198; ++k) EXPECT_EQ(lod_entry(out, k).offset, lod_entry(src, k).offset);
    EXPECT_EQ(slice(out, 0, 6624 - 32), slice(src, 0, 6624 - 32));
}

TEST_F(Lod, UpdatePacksTheDataInDirectoryOrderWhateverTheSourceLayout) {
    // The source holds its entries' data in reverse order, with gaps and
    // bytes after the last entry; entry 0's data are not the first.
    auto es = tiny_entries(198, 3);
    Bytes src = make_lod(es);
    src.resize(6624);
    for (size_t k = 198; k-- > 0;) {
        src.insert(src.end(), 3, 0xEE);
        set_lod_entry(src, k, uint32_t(src.size() - 288), uint32_t(es[k].data.size()));
        src.insert(src.end(), es[k].data.begin(), es[k].data.end());
    }
    src.insert(src.end(), 11, 0xDD);
    put(kZ7 + "events1.lod", src);
    es[5].data = pattern(1, 5);
    put(kEventsReady + name4(5, "e5"), es[5].data);
    expect_run(run("updatelod_events"), 0, update_lines(kEventsReady, 198, {5}));
    EXPECT_EQ(get(kZ7 + "events.lod"), expected_update(es, src));
}

TEST_F(Lod, UpdateFindsReadyFilesSpelledInTheOtherCyrillicCase) {
    // Entries "карта" and "ЁЛКА"; their ready files "КАРТА" and "ёлка".
    auto es = tiny_entries(198);
    es[3].name = "\xEA\xE0\xF0\xF2\xE0";
    es[4].name = "\xA8\xCB\xCA\xC0";
    Bytes src = make_lod(es);
    put(kZ7 + "events1.lod", src);
    es[3].data = pattern(60, 3);
    es[4].data = pattern(61, 4);
    put(kEventsReady + name4(3, "\xCA\xC0\xD0\xD2\xC0"), es[3].data);
    put(kEventsReady + name4(4, "\xB8\xEB\xEA\xE0"), es[4].data);
    std::vector<std::string> lines;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t k = 0; k < es.size(); ++k) {
            std::string p = kEventsReady + name4(k, es[k].name);
            lines.push_back(k == 3 || k == 4 ? p : "----------- using old " + p);
        }
    expect_run(run("updatelod_events"), 0, lines);
    EXPECT_EQ(get(kZ7 + "events.lod"), expected_update(es, src));
}

TEST_F(Lod, UpdateTakesReadyFilesJustWhereTheyOpenAndRefusesNamesWithPaths) {
    // The ready folder is listed once per pass; what counts is still whether
    // the entry file opens: a folder of that name does not.
    auto es = tiny_entries(198);
    Bytes src = make_lod(es);
    put(kZ7 + "events1.lod", src);
    mkdirs(kEventsReady + name4(3, "e3"));
    expect_run(run("updatelod_events"), 0, update_lines(kEventsReady, 198, {}));
    EXPECT_EQ(get(kZ7 + "events.lod"), src);

    // An entry name with a backslash would take a file from another folder:
    // found before anything is written.
    es[9].name = "sub\\x";
    put(kZ7 + "events1.lod", make_lod(es));
    put(kEventsReady + "0009_sub\\x.zl", pattern(70, 9));
    auto lines = update_lines(kEventsReady, 198, {});
    lines.resize(9);
    lines.push_back("Damaged file " + kZ7 + "events1.lod: member name sub\\x is not a plain file name");
    expect_run(run("updatelod_events"), 1, lines);
    EXPECT_EQ(get(kZ7 + "events.lod"), src);
}

TEST_F(Lod, UpdateStopsOnDamagedSourcesAndFailedWrites) {
    const std::string events1 = kZ7 + "events1.lod", events = kZ7 + "events.lod";
    expect_run(run("updatelod_events"), 1, {"Can't open"});
    put(events1, pattern(6623, 1));
    expect_run(run("updatelod_events"), 1,
               {"Damaged file " + events1 + ": shorter than the 6624 bytes of its head and directory of 198 entries"});

    // An entry whose data lie past the end: nothing is written, unless a
    // ready file takes its place.
    auto es = tiny_entries(198);
    Bytes src = make_lod(es);
    set_lod_entry(src, 2, lod_entry(src, 2).offset, 40000);
    put(events1, src);
    auto lines = update_lines(kEventsReady, 198, {});
    expect_run(run("updatelod_events"), 1,
               {lines[0], lines[1], lines[2], "Damaged file " + events1 + ": entry e2 lies past the end of the archive"});
    EXPECT_FALSE(has(events));
    put(kEventsReady + name4(2, "e2"), es[2].data);
    expect_run(run("updatelod_events"), 0, update_lines(kEventsReady, 198, {2}));
    EXPECT_EQ(get(events), expected_update(es, src));

    // The new archive is written beside the game's and takes its place only
    // once complete: a full disk leaves the game's archive as it was.
    put(events, "the game's archive");
    link(events + ".locbench-new", "/dev/full");
    RunResult r = run("updatelod_events");
    EXPECT_EQ(r.exit_code, 1);
    ASSERT_FALSE(r.lines().empty());
    EXPECT_EQ(r.lines().back(), "Can't write " + events);
    EXPECT_EQ(get_text(events), "the game's archive");
    // A name that cannot take the new archive (a folder, a read-only file)
    // fails where the archive is created: after the first pass, before the
    // second, with nothing written.
    fs::remove(host(events + ".locbench-new"));
    lines = update_lines(kEventsReady, 198, {2});
    lines.resize(198);
    lines.push_back("Can't open");
    fs::permissions(host(events), fs::perms::owner_read | fs::perms::group_read);
    expect_run(run("updatelod_events"), 1, lines);
    EXPECT_EQ(get_text(events), "the game's archive");
    fs::remove(host(events));
    mkdirs(events);
    expect_run(run("updatelod_events"), 1, lines);
    EXPECT_EQ(files(kZ7), (std::vector<std::string>{"events.lod", "events1.lod"}));
}

// ---------------------------------------------------------------------------
// Entry-file merges and converters

const std::string kZ = "c:\\games\\zundfiles\\";

TEST_F(Lod, HeadfirstReadyJoinsPayloadsWithTheirIconsEntryHeader) {
    Bytes foo_header = entry_header("foo.str", "", 0, 11, 0, 0, 22);
    put(kZ + "icons\\0123_foo.str.zl", concat({foo_header, pattern(11, 1)}));
    put(kZ + "icons\\0124_xfoo.str.zl", entry_header("xfoo.str", "", 0, 0, 0, 0, 0)); // no match
    // Two icons files end in "_b.zl": the first in search order gives the header.
    Bytes b_header = entry_header("a_b.zl", "", 1, 2, 3, 4, 5);
    put(kZ + "icons\\0002_a_B.zl", b_header);
    put(kZ + "icons\\0009_b.zl", entry_header("b", "", 0, 0, 0, 0, 0));
    Bytes payload = pattern(37, 2), b_payload = pattern(3, 3);
    put(kZ + "ready\\foo.str.zl", payload);
    put(kZ + "ready\\foo.str", Bytes(1000, 'u'));
    put(kZ + "ready\\b.zl", b_payload);
    put(kZ + "ready\\b", Bytes(9, 'u'));
    put(kZ + "ready\\bar.txt.zl", pattern(5, 4)); // no icons file: skipped

    expect_run(run("headfirst_ready"), 0,
               {"processing " + kZ + "icons\\0002_a_B.zl...", "processing " + kZ + "icons\\0123_foo.str.zl..."});
    Bytes want = foo_header;
    want[20] = 37, want[21] = want[22] = want[23] = 0;
    want[40] = 1000 & 0xFF, want[41] = 1000 >> 8, want[42] = want[43] = 0;
    EXPECT_EQ(get(kZ + "ready\\0123_foo.str.zl"), concat({want, payload}));
    Bytes want_b = b_header;
    want_b[20] = 3, want_b[40] = 9;
    EXPECT_EQ(get(kZ + "ready\\0002_a_B.zl"), concat({want_b, b_payload}));
    EXPECT_EQ(get(kZ + "ready\\foo.str.zl"), payload); // stays
    EXPECT_EQ(files(kZ + "ready").size(), 7u);
}

TEST_F(Lod, HeadfirstMergesStopWhereTheirFilesAreMissingOrShort) {
    expect_run(run("headfirst_ready"), 5, {});
    mkdirs(kZ + "ready");
    expect_run(run("headfirst_ready"), 5, {});

    put(kZ + "texts\\0001_s.zl", pattern(20, 1)); // an icons file too short for its header
    put(kZ + "icons\\0001_s.zl", pattern(47, 1));
    put(kZ + "texts\\s.zl", pattern(5, 2));
    expect_run(run("headfirst_texts"), 1, {"Can't open"}); // texts\s, the unpacked file, is missing
    put(kZ + "texts\\s", "x");
    expect_run(run("headfirst_texts"), 1,
               {"processing " + kZ + "icons\\0001_s.zl...",
                "Damaged file " + kZ + "icons\\0001_s.zl: shorter than its 48-byte entry header"});
    EXPECT_EQ(get(kZ + "texts\\0001_s.zl"), pattern(20, 1));
    put(kZ + "icons\\0001_s.zl", entry_header("s", "", 0, 0, 0, 0, 0));
    expect_run(run("headfirst_texts"), 0, {"processing " + kZ + "icons\\0001_s.zl..."});
    EXPECT_EQ(get(kZ + "texts\\0001_s.zl").size(), 48u + 5u);
}

TEST_F(Lod, HeadfirstReadystrReplacesThePayloadAndKeepsItWhenTheWriteFails) {
    Bytes header = entry_header("x.str", "", 0, 0, 0, 0, 0);
    put(kZ + "icons\\0005_x.str.zl", concat({header, pattern(9, 1)}));
    Bytes payload = pattern(33, 2);
    const std::string dir = kZ + "ready str\\";
    put(dir + "0005_X.STR.zl", payload);
    put(dir + "0005_X.STR", Bytes(77, 0));
    // The new content is written beside the old file first: a full disk
    // there leaves the old file as it was.
    link(dir + "0005_X.STR.zl.locbench-new", "/dev/full");
    expect_run(run("headfirst_readystr"), 1,
               {"processing " + kZ + "icons\\0005_x.str.zl...", "Can't write " + dir + "0005_x.str.zl"});
    EXPECT_EQ(get(dir + "0005_X.STR.zl"), payload);
    EXPECT_EQ(files(dir), std::vector<std::string>({"0005_X.STR", "0005_X.STR.zl"}));

    expect_run(run("headfirst_readystr"), 0, {"processing " + kZ + "icons\\0005_x.str.zl..."});
    Bytes want = header;
    want[20] = 33, want[40] = 77;
    EXPECT_EQ(get(dir + "0005_X.STR.zl"), concat({want, payload}));
    EXPECT_EQ(files(dir), std::vector<std::string>({"0005_X.STR", "0005_X.STR.zl"}));
}

TEST_F(Lod, HeadfirstMenuJoinsHeaderPayloadAndPalette) {
    Bytes header = entry_header("menu1", "tga", 100, 50, 10, 10, 100);
    put(kZ + "icons\\0040_menu1.zl", header);
    Bytes payload = pattern(20, 1), palette = pattern(768, 2);
    put(kZ + "menu\\ready\\0040_menu1.zl", payload);
    put(kZ + "menu\\ready\\0040_menu1", Bytes(300, 1));
    put(kZ + "menu\\ready\\0040_menu1.act", concat({palette, pattern(4, 3)}));
    expect_run(run("headfirst_menu"), 0, {});
    Bytes want = header;
    want[16] = 300 & 0xFF, want[17] = 1; // pixel size
    want[20] = 20;                       // stored size
    want[40] = 300 & 0xFF, want[41] = 1; // unpacked size
    EXPECT_EQ(get(kZ + "menu\\0040_menu1.zl"), concat({want, payload, palette}));

    put(kZ + "menu\\ready\\0040_menu1.act", pattern(767, 2));
    expect_run(run("headfirst_menu"), 1,
               {"Damaged file " + kZ + "menu\\ready\\0040_menu1.act: shorter than its 768-byte palette"});
    fs::remove_all(host(kZ + "menu\\ready"));
    mkdirs(kZ + "menu\\ready");
    expect_run(run("headfirst_menu"), 5, {});
}

TEST_F(Lod, HeadfirstEventsTakesTheHeaderFromTheEventsArchive) {
    std::vector<LodEntry> es;
    for (size_t k = 0; k < 198; ++k)
        es.push_back({"t" + std::to_string(k), concat({entry_header("t" + std::to_string(k), "", 0, 4, 0, 0, 8),
                                                       pattern(4, uint32_t(k))})});
    Bytes lod = make_lod(es);
    put(kZ7 + "events1.lod", lod);
    const std::string dir = "c:\\games\\zund7\\xfiles\\text_!_events\\";
    // Nothing to do: the job ends normally.
    mkdirs(dir);
    expect_run(run("headfirst_events"), 0, {});

    put(dir + "0012_hello.txt", Bytes(50, 'h'));
    put(dir + "0012_hello.txt.zl", pattern(9, 1));
    put(dir + "3_a.str", Bytes(7, 's'));
    put(dir + "3_a.str.zl", pattern(4, 2));
    put(dir + "0197_z.str", Bytes(1, 's'));
    put(dir + "0197_z.str.zl", Bytes());
    expect_run(run("headfirst_events"), 0, {});
    auto merged = [&](size_t d, uint32_t unpacked, const Bytes& payload) {
        Bytes h = slice(es[d].data, 0, 48);
        for (int i = 0; i < 4; ++i) {
            h[20 + i] = uint8_t(payload.size() >> (8 * i));
            h[40 + i] = uint8_t(unpacked >> (8 * i));
        }
        return concat({h, payload});
    };
    EXPECT_EQ(get(dir + "0012_hello.txt.zl"), merged(12, 50, pattern(9, 1)));
    EXPECT_EQ(get(dir + "3_a.str.zl"), merged(3, 7, pattern(4, 2)));
    EXPECT_EQ(get(dir + "0197_z.str.zl"), merged(197, 1, {}));
    EXPECT_EQ(get(dir + "0012_hello.txt"), Bytes(50, 'h'));
}

TEST_F(Lod, HeadfirstEventsStopsOnUnknownNumbersAndKeepsFilesOnFailedWrites) {
    Bytes lod = make_lod(tiny_entries(198));
    put(kZ7 + "events1.lod", lod);
    const std::string dir = "c:\\games\\zund7\\xfiles\\text_!_events\\";
    // Without its folder the job stops; the folder it was started in is
    // not taken instead.
    put("c:\\0001_y.txt", "y");
    put("c:\\0001_y.txt.zl", "unrelated");
    expect_run(run("headfirst_events"), 1, {"Can't open"});
    EXPECT_EQ(get_text("c:\\0001_y.txt.zl"), "unrelated");
    put(dir + "0198_x.txt", "x");
    put(dir + "0198_x.txt.zl", "p");
    expect_run(run("headfirst_events"), 1,
               {"Damaged file 0198_x.txt: its number names no entry of " + kZ7 + "events1.lod, which has 198"});
    EXPECT_EQ(get_text(dir + "0198_x.txt.zl"), "p");
    fs::remove(host(dir + "0198_x.txt"));

    put(dir + "0001_y.txt", "y");
    expect_run(run("headfirst_events"), 1, {"Can't open"}); // no 0001_y.txt.zl
    put(dir + "0001_y.txt.zl", "payload");
    link(dir + "0001_y.txt.zl.locbench-new", "/dev/full");
    expect_run(run("headfirst_events"), 1, {"Can't write 0001_y.txt.zl"});
    EXPECT_EQ(get_text(dir + "0001_y.txt.zl"), "payload");

    // A damaged archive: the entry's header lies past its end.
    fs::remove(host(dir + "0001_y.txt.zl.locbench-new"));
    set_lod_entry(lod, 1, 0x7FFFFFFF, 48);
    put(kZ7 + "events1.lod", lod);
    expect_run(run("headfirst_events"), 1,
               {"Damaged file " + kZ7 + "events1.lod: entry e1 lies past the end of the archive"});
    EXPECT_EQ(get_text(dir + "0001_y.txt.zl"), "payload");
}

TEST_F(Lod, HeadlastStrsConvertsTheStrEntryFilesIntoStrs) {
    expect_run(run("headlast_strs"), 5, {});
    Bytes a = pattern(60, 1), c = pattern(48, 3);
    put(kZ + "icons\\0001_a.str.zl", a);
    put(kZ + "icons\\0002_b.txt.zl", pattern(60, 2));
    put(kZ + "icons\\0003_C.STR.ZL", c);
    expect_run(run("headlast_strs"), 1, {"Can't open"}); // no strs folder
    mkdirs(kZ + "strs");
    expect_run(run("headlast_strs"), 0, {});
    EXPECT_EQ(files(kZ + "strs"), std::vector<std::string>({"0001_a.str.zl", "0003_C.STR.ZL"}));
    EXPECT_EQ(get(kZ + "strs\\0001_a.str.zl"), concat({slice(a, 48, 12), slice(a, 0, 48)}));
    EXPECT_EQ(get(kZ + "strs\\0003_C.STR.ZL"), c);
    EXPECT_EQ(get(kZ + "icons\\0001_a.str.zl"), a);

    put(kZ + "icons\\0002_d.str.zl", pattern(47, 4));
    expect_run(run("headlast_strs"), 1,
               {"Damaged file " + kZ + "icons\\0002_d.str.zl: shorter than its 48-byte entry header"});
}

TEST_F(Lod, HeadlastIcons1ConvertsInPlaceWhateverItMeets) {
    expect_run(run("headlast_icons1"), 5, {});
    Bytes a = pattern(100, 1);
    put(kZ + "icons1\\0001_a.zl", a);
    put(kZ + "icons1\\0001_a.act", "not matched");
    expect_run(run("headlast_icons1"), 0, {});
    EXPECT_EQ(get(kZ + "icons1\\0001_a.zl"), header_last(a));
    expect_run(run("headlast_icons1"), 0, {}); // no mark: converted again
    EXPECT_EQ(get(kZ + "icons1\\0001_a.zl"), header_last(header_last(a)));

    link(kZ + "icons1\\0001_a.zl.locbench-new", "/dev/full");
    expect_run(run("headlast_icons1"), 1, {"Can't write " + kZ + "icons1\\0001_a.zl"});
    EXPECT_EQ(get(kZ + "icons1\\0001_a.zl"), header_last(header_last(a)));
}

TEST_F(Lod, HeadlastMenuMovesTheHeaderBehindThePaletteAndSavesThePalette) {
    expect_run(run("headlast_menu"), 5, {});
    Bytes header = entry_header("m", "tga", 25, 5, 5, 5, 25);
    Bytes payload = pattern(5, 1), palette = pattern(768, 2);
    put(kZ + "menu\\0007_m.zl", concat({header, payload, palette, pattern(3, 9)})); // 3 bytes too many
    Bytes short_one = concat({header, payload, pattern(767, 3)});
    put(kZ + "menu\\0008_n.zl", short_one);
    expect_run(run("headlast_menu"), 5, {}); // 0007 is done, then 0008's palette comes short
    EXPECT_EQ(get(kZ + "menu\\0007_m.zl"), concat({payload, palette, header}));
    EXPECT_EQ(get(kZ + "menu\\0007_m.act"), palette);
    EXPECT_EQ(get(kZ + "menu\\0008_n.zl"), short_one);
    EXPECT_FALSE(has(kZ + "menu\\0008_n.act"));

    Bytes huge = entry_header("n", "", 0, 0xFFFFFFF0, 0, 0, 0);
    put(kZ + "menu\\0008_n.zl", concat({huge, pattern(800, 4)}));
    fs::remove(host(kZ + "menu\\0007_m.zl"));
    expect_run(run("headlast_menu"), 5, {});

    put(kZ + "menu\\0008_n.zl", concat({header, payload, palette}));
    link(kZ + "menu\\0008_n.zl.locbench-new", "/dev/full");
    expect_run(run("headlast_menu"), 1, {"Can't write " + kZ + "menu\\0008_n.zl"});
    EXPECT_EQ(get(kZ + "menu\\0008_n.zl"), concat({header, payload, palette}));
}

TEST_F(Lod, HeaderLastAndHeaderFirstRoundTrip) {
    // An archive entry, extracted header-last, gives back the same data when
    // its payload is merged with the header of its header-first entry file.
    Bytes payload = pattern(40, 1);
    Bytes data = concat({entry_header("foo.str", "", 0, 40, 0, 0, 123), payload});
    std::vector<LodEntry> es(3, LodEntry{"a", pattern(48, 2)});
    es[2] = {"foo.str", data};
    put(kStrsLod, make_lod(es));
    mkdirs(kStrsDir);
    expect_run(run("extractlod_strs"), 0, {});
    Bytes last = get(kStrsDir + "0002_foo.str.zl");
    ASSERT_EQ(last.size(), data.size());

    put(kZ + "icons\\0002_foo.str.zl", data);
    mkdirs(kZ + "strs");
    expect_run(run("headlast_strs"), 0, {});
    EXPECT_EQ(get(kZ + "strs\\0002_foo.str.zl"), last);

    put(kZ + "ready\\foo.str.zl", slice(last, 0, last.size() - 48)); // the packed payload
    put(kZ + "ready\\foo.str", Bytes(123, 0));                       // as unpacked outside
    expect_run(run("headfirst_ready"), 0, {"processing " + kZ + "icons\\0002_foo.str.zl..."});
    EXPECT_EQ(get(kZ + "ready\\0002_foo.str.zl"), data);
}

} // namespace
