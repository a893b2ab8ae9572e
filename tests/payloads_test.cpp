// unpackpayloads and packpayloads: the payloads of entry files unpacked and
// packed, with Python's zlib as the judge of both directions.
#include "support/jobtest.hpp"
#include "support/lod_builders.hpp"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

const std::string kIconsAll = "c:\\games\\zund7\\xfiles\\icons_all\\";
const std::string kTxtStr = "c:\\games\\zund6\\xfiles\\icons_txt_str\\";
const std::string kZ = "c:\\games\\zundfiles\\";
const std::string kReadyTga = "c:\\games\\zund7\\xfiles\\readytga\\";
const std::string kEvents = "c:\\games\\zund7\\xfiles\\text_!_events\\";

std::string skipping(const std::string& dir) { return "skipping " + dir + ": no such folder"; }

// A header-last entry file: payload, the rest of the entry (a palette), then
// an entry header with the given stored and unpacked sizes.
Bytes entry_file(const Bytes& payload, uint32_t stored, uint32_t unpacked, const Bytes& rest = {}) {
    return concat({payload, rest, entry_header("x", "", unpacked, stored, 0, 0, unpacked)});
}

// A header-last entry file whose payload is `data` packed by Python's zlib.
Bytes packed_entry_file(const fs::path& scratch, const Bytes& data, const Bytes& rest = {}) {
    Bytes z = python_compress(scratch, data);
    return entry_file(z, uint32_t(z.size()), uint32_t(data.size()), rest);
}

class Payloads : public JobTest {};

TEST_F(Payloads, UnpackpayloadsUnpacksEveryFolderThereAndSaysWhichAreNot) {
    const Bytes pixels = concat({Bytes(300, 7), pattern(100, 1)}), text = to_bytes("Global text\r\nline two\r\n");
    // Stored as it is: as long as its unpacked size, and no zlib stream,
    // though its first two bytes would do for a zlib header.
    const Bytes raw = concat({Bytes{0x78, 0x9C}, pattern(40, 2)});
    put(kIconsAll + "0003_logo.zl", packed_entry_file(root(), pixels, pattern(768, 3)));
    put(kIconsAll + "0005_raw.zl", entry_file(raw, 42, 42));
    put(kIconsAll + "0008_empty.zl", entry_file({}, 0, 0)); // the entry header alone
    put(kZ + "strs\\0123_foo.str.zl", packed_entry_file(root(), text));
    expect_run(run("unpackpayloads"), 0,
               {kIconsAll + "0003_logo", kIconsAll + "0005_raw", kIconsAll + "0008_empty", skipping(kTxtStr),
                kZ + "strs\\0123_foo.str", skipping(kZ + "icons1\\"), skipping(kZ + "menu\\"),
                "4 unpacked, 0 already unpacked, 0 kept, 0 damaged"});
    EXPECT_EQ(get(kIconsAll + "0003_logo"), pixels);
    EXPECT_EQ(get(kIconsAll + "0005_raw"), raw);
    EXPECT_EQ(get(kIconsAll + "0008_empty"), Bytes{});
    EXPECT_EQ(get(kZ + "strs\\0123_foo.str"), text);
}

// An unpacked file that is there already may hold the team's edits.
TEST_F(Payloads, UnpackpayloadsNeverOverwritesAnUnpackedFile) {
    const Bytes a = pattern(500, 1), b = pattern(70, 2), c = Bytes(90, 'c');
    put(kIconsAll + "0001_a.zl", packed_entry_file(root(), a));
    put(kIconsAll + "0001_a", "edited");
    put(kIconsAll + "0002_b.zl", packed_entry_file(root(), b));
    put(kIconsAll + "0002_b", b);
    fs::permissions(host(kIconsAll + "0002_b"), fs::perms::owner_read); // a rewrite would fail
    put(kIconsAll + "0003_c.zl", packed_entry_file(root(), c));
    const std::string kept = "kept " + kIconsAll +
                             "0001_a: it differs from what its payload gives (remove it to unpack again)";
    const std::vector<std::string> rest = {skipping(kTxtStr), skipping(kZ + "strs\\"), skipping(kZ + "icons1\\"),
                                           skipping(kZ + "menu\\"), kept};
    std::vector<std::string> lines = {kIconsAll + "0003_c"};
    lines.insert(lines.end(), rest.begin(), rest.end());
    lines.push_back("1 unpacked, 1 already unpacked, 1 kept, 0 damaged");
    expect_run(run("unpackpayloads"), 0, lines);
    EXPECT_EQ(get_text(kIconsAll + "0001_a"), "edited");
    EXPECT_EQ(get(kIconsAll + "0002_b"), b);
    EXPECT_EQ(get(kIconsAll + "0003_c"), c);

    // Removed, it is unpacked again.
    fs::remove(host(kIconsAll + "0001_a"));
    expect_run(run("unpackpayloads"), 0,
               {kIconsAll + "0001_a", skipping(kTxtStr), skipping(kZ + "strs\\"), skipping(kZ + "icons1\\"),
                skipping(kZ + "menu\\"), "1 unpacked, 2 already unpacked, 0 kept, 0 damaged"});
    EXPECT_EQ(get(kIconsAll + "0001_a"), a);
}

TEST_F(Payloads, UnpackpayloadsNamesEachDamagedEntryFileAndUnpacksTheOthers) {
    const Bytes data = pattern(2000, 5);
    const Bytes z = deflated(data);
    const uint32_t zn = uint32_t(z.size()), n = uint32_t(data.size());
    struct Case {
        std::string name;
        Bytes file;
        std::string what;
    };
    const std::vector<Case> cases = {
        {"0001_short.zl", pattern(47, 1), "shorter than its 48-byte entry header"},
        {"0002_cut.zl", entry_file(slice(z, 0, zn - 1), zn, n),
         "its entry header gives a payload of " + std::to_string(zn) + " bytes, but only " + std::to_string(zn - 1) +
             " come before the header"},
        {"0003_nozlib.zl", entry_file(pattern(64, 3), 64, 65),
         "its payload is not a valid zlib stream (incorrect header check)"},
        // A header that gives too few bytes cannot make the unpacking run on.
        {"0004_longer.zl", entry_file(z, zn, n - 1),
         "it unpacks to more than the " + std::to_string(n - 1) + " bytes its header gives"},
        {"0005_shorter.zl", entry_file(z, zn, n + 1),
         "it unpacks to " + std::to_string(n) + " bytes, not the " + std::to_string(n + 1) + " its header gives"},
        {"0006_stream_cut.zl", entry_file(slice(z, 0, zn - 5), zn - 5, n),
         "its zlib stream goes on past the end of its " + std::to_string(zn - 5) + "-byte payload"},
    };
    std::vector<std::string> lines;
    for (const Case& c : cases) {
        put(kIconsAll + c.name, c.file);
        lines.push_back("Damaged file " + kIconsAll + c.name + ": " + c.what);
    }
    put(kIconsAll + "0004_good.zl", entry_file(z, zn, n, pattern(768, 9)));
    lines.insert(lines.begin() + 3, kIconsAll + "0004_good"); // in the order of the folder
    for (const std::string& dir : {kTxtStr, kZ + "strs\\", kZ + "icons1\\", kZ + "menu\\"})
        lines.push_back(skipping(dir));
    lines.push_back("1 unpacked, 0 already unpacked, 0 kept, 6 damaged");
    expect_run(run("unpackpayloads"), 1, lines);
    EXPECT_EQ(get(kIconsAll + "0004_good"), data);
    std::vector<std::string> names = files(kIconsAll);
    EXPECT_EQ(names.size(), cases.size() + 2) << "an unpacked file for a damaged entry file";
}

TEST_F(Payloads, PackpayloadsPacksEveryUnpackedFileWhereItsNextJobReadsIt) {
    struct Packed {
        std::string unpacked, packed;
        Bytes data;
    };
    const std::vector<Packed> packs = {
        {kReadyTga + "pack\\0012_name", kReadyTga + "0012_name.zl", concat({Bytes(200, 4), pattern(40, 1)})},
        {kZ + "ready\\foo.str", kZ + "ready\\foo.str.zl", to_bytes(std::string("translated\0strings", 18))},
        {kZ + "ready str\\0005_x.str", kZ + "ready str\\0005_x.str.zl", Bytes{}},
        {kZ + "menu\\ready\\0040_menu1", kZ + "menu\\ready\\0040_menu1.zl", pattern(3000, 2)},
        {kEvents + "0012_hello.txt", kEvents + "0012_hello.txt.zl", to_bytes("Hello!\r\n")},
        {kEvents + "3_a.str", kEvents + "3_a.str.zl", to_bytes(std::string("a\0b", 3))},
    };
    for (const Packed& p : packs) put(p.unpacked, p.data);
    put(kZ + "ready\\foo.str.zl", "packed by an earlier run"); // replaced
    // Passed by: palettes, entry files the merge jobs wrote, folders, other
    // files of the events folder.
    const std::map<std::string, std::string> others = {{kZ + "ready\\0123_foo.str.zl", "merged"},
                                                       {kZ + "menu\\ready\\0040_menu1.act", "palette"},
                                                       {kEvents + "notes.doc", "notes"}};
    for (const auto& [path, text] : others) put(path, text);
    mkdirs(kZ + "ready\\old");

    const std::vector<std::string> lines = {packs[0].packed,
                                            packs[1].packed,
                                            skipping(kZ + "texts\\"),
                                            packs[2].packed,
                                            packs[3].packed,
                                            packs[4].packed,
                                            packs[5].packed,
                                            "6 packed"};
    expect_run(run("packpayloads"), 0, lines);
    std::map<std::string, Bytes> first;
    for (const Packed& p : packs) {
        first[p.packed] = get(p.packed);
        EXPECT_EQ(python_decompress(root(), first[p.packed]), p.data) << p.packed;
    }
    for (const auto& [path, text] : others) EXPECT_EQ(get_text(path), text);
    EXPECT_EQ(files(kZ + "ready"), (std::vector<std::string>{"0123_foo.str.zl", "foo.str", "foo.str.zl", "old"}));
    EXPECT_EQ(files(kZ + "ready\\old"), std::vector<std::string>{});

    // The same input gives the same bytes.
    expect_run(run("packpayloads"), 0, lines);
    for (const Packed& p : packs) EXPECT_EQ(get(p.packed), first[p.packed]) << p.packed;
}

} // namespace
