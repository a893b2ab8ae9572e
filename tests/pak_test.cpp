// patchpak and extractpak, run as executables on archives built here.
#include "support/jobtest.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace {

struct Member {
    Bytes name; // the 56-byte name field
    Bytes data;
};

Bytes name_field(const std::string& name) { return Buf().field(name, 56).b; }

// An archive as the game's tools lay it out: header, members back to back from
// offset 12, then the directory (plus `tail` bytes of directory remainder).
Bytes make_pak(const std::vector<Member>& ms, size_t tail = 0) {
    Buf data, dir;
    for (const auto& m : ms) {
        dir.raw(m.name).u32(uint32_t(12 + data.size())).u32(uint32_t(m.data.size()));
        data.raw(m.data);
    }
    dir.fill(tail, 0xEE);
    return Buf().raw("PACK").u32(uint32_t(12 + data.size())).u32(uint32_t(dir.size())).raw(data.b).raw(dir.b).b;
}

struct Entry {
    std::string name;
    uint32_t offset, length;
};

std::vector<Entry> directory_of(const Bytes& pak) {
    std::vector<Entry> out;
    uint32_t off = le32(pak, 4), len = le32(pak, 8);
    for (uint32_t i = 0; i + 64 <= len; i += 64)
        out.push_back({std::string(reinterpret_cast<const char*>(&pak.at(off + i))), le32(pak, off + i + 56),
                       le32(pak, off + i + 60)});
    return out;
}

Bytes member_of(const Bytes& pak, const Entry& e) {
    return Bytes(pak.begin() + e.offset, pak.begin() + e.offset + e.length);
}

const std::vector<std::string> kPatched = {"Skyforge rusification plugin started...", "please wait...", "ok!"};
const std::string kBin = "c:\\games\\Skyforge\\bin";
const std::string kPak0 = "c:\\games\\Skyforge\\main\\pak0.pak";
const std::string kPak1 = "c:\\games\\Skyforge\\main\\pak1.pak";
const std::string kRus = "c:\\games\\Skyforge\\rus\\";

class PatchPak : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        mkdirs(kBin);
        mkdirs(kRus);
    }
};

TEST_F(PatchPak, WithoutReplacementsRepacksTheMembersFromOffset12) {
    // Members out of order with a gap: the new archive packs them in
    // directory order and renumbers their offsets.
    Bytes a = pattern(100, 1), b = pattern(7, 2), c = pattern(30, 3);
    Buf old;
    old.raw("JUNK").u32(200).u32(3 * 64);
    old.raw(c).fill(5, 0).raw(a).raw(b); // c at 12, a at 47, b at 147
    old.fill(200 - old.size(), 0);
    Bytes name_a = name_field("a.txt");
    name_a[50] = 0x77; // bytes past the 48 read as the name travel along
    old.raw(name_a).u32(47).u32(100);
    old.raw(name_field("b.txt")).u32(147).u32(7);
    old.raw(name_field("c.txt")).u32(12).u32(30);
    put(kPak0, old.b);

    expect_run(run("patchpak", kBin), 0, kPatched);
    EXPECT_FALSE(has(kPak1));
    Bytes pak = get(kPak0);
    Bytes want = Buf().raw("PACK").u32(12 + 137).u32(192).raw(a).raw(b).raw(c)
                     .raw(name_a).u32(12).u32(100)
                     .raw(name_field("b.txt")).u32(112).u32(7)
                     .raw(name_field("c.txt")).u32(119).u32(30).b;
    EXPECT_EQ(pak, want);
}

TEST_F(PatchPak, ReplacementsAreFoundByFlatNameAndShiftLaterMembers) {
    Bytes a = pattern(10, 1), b = pattern(20, 2), c = pattern(30, 3), rep = pattern(55, 9);
    put(kPak0, make_pak({{name_field("sound/voice/a.wav"), a}, {name_field("text//b.txt"), b}, {name_field("c"), c}}));
    put(kRus + "text++b.txt", rep);
    put(kRus + "unused.txt", "ignored");

    expect_run(run("patchpak", kBin), 0, kPatched);
    Bytes pak = get(kPak0);
    auto dir = directory_of(pak);
    ASSERT_EQ(dir.size(), 3u);
    EXPECT_EQ(dir[0].name, "sound/voice/a.wav"); // the directory keeps its "/" form
    EXPECT_EQ(dir[1].name, "text//b.txt");
    EXPECT_EQ(std::vector<uint32_t>({dir[0].offset, dir[1].offset, dir[2].offset}),
              std::vector<uint32_t>({12, 22, 77}));
    EXPECT_EQ(std::vector<uint32_t>({dir[0].length, dir[1].length, dir[2].length}),
              std::vector<uint32_t>({10, 55, 30}));
    EXPECT_EQ(member_of(pak, dir[1]), rep);
    EXPECT_EQ(member_of(pak, dir[2]), c);
    EXPECT_EQ(le32(pak, 4), 107u); // the header points at the directory
    EXPECT_EQ(le32(pak, 8), 192u);
    EXPECT_EQ(pak.size(), 107u + 192u);
}

TEST_F(PatchPak, ReplacementsWithCyrillicNamesAreFoundInUtf8InEitherCase) {
    // Members "text/Меню.txt" and "Ёж"; the translations lie under the UTF-8
    // spelling of "TEXT+МЕНЮ.TXT" and "ёж". A file stored under the bytes of
    // a member's name, not in UTF-8, is no replacement.
    Bytes a = pattern(10, 1), b = pattern(20, 2), c = pattern(30, 3), rep_a = pattern(11, 4), rep_b = pattern(9, 5);
    put(kPak0, make_pak({{name_field("text/\xCC\xE5\xED\xFE.txt"), a},
                         {name_field("\xA8\xE6"), b},
                         {name_field("\xDF"), c}}));
    put(kRus + "TEXT+\xCC\xC5\xCD\xDE.TXT", rep_a);
    put(kRus + "\xB8\xE6", rep_b);
    std::ofstream(host(kRus) / "\xDF") << "raw bytes";
    expect_run(run("patchpak", kBin), 0, kPatched);
    Bytes pak = get(kPak0);
    auto dir = directory_of(pak);
    ASSERT_EQ(dir.size(), 3u);
    EXPECT_EQ(member_of(pak, dir[0]), rep_a);
    EXPECT_EQ(member_of(pak, dir[1]), rep_b);
    EXPECT_EQ(member_of(pak, dir[2]), c);
}

TEST_F(PatchPak, WorksInTheDeepestFolderAProgramStartsInAsInAShortOne) {
    // No program is started in a folder longer than 258 characters (MAX_PATH
    // - 2; Windows refuses, Wine starts it in C:\windows instead). From a bin
    // folder of that length the archive lies past the 260 characters of a
    // plain Windows path, a translated member past 300.
    std::string deep = "c:\\games\\Skyforge";
    while (deep.size() < 254) deep += "\\" + std::string(std::min<size_t>(50, 254 - deep.size() - 1), 'd');
    ASSERT_EQ((deep + "\\bin").size(), 258u);
    const std::string member = "text/" + std::string(42, 'n'); // the longest name the job reads
    const std::string flat = "text+" + std::string(42, 'n');
    ASSERT_GT((deep + "\\rus\\" + flat).size(), 300u);
    Bytes a = pattern(10, 1), b = pattern(20, 2), rep = pattern(33, 3);
    for (const std::string& game : {std::string("c:\\games\\Skyforge"), deep}) {
        put(game + "\\main\\pak0.pak", make_pak({{name_field(member), a}, {name_field("b"), b}}));
        put(game + "\\rus\\" + flat, rep);
        mkdirs(game + "\\bin");
        expect_run(run("patchpak", game + "\\bin"), 0, kPatched);
        EXPECT_EQ(files(game + "\\main"), std::vector<std::string>{"pak0.pak"});
    }
    EXPECT_EQ(get(kPak0), make_pak({{name_field(member), rep}, {name_field("b"), b}}));
    EXPECT_EQ(get(deep + "\\main\\pak0.pak"), get(kPak0));
}

TEST_F(PatchPak, DuplicatesSharedDataZeroLengthsAndDirectoryRemainders) {
    Bytes shared = pattern(16, 4);
    Buf old;
    old.raw("PACK").u32(12 + 16).u32(4 * 64 + 36);
    old.raw(shared);
    old.raw(name_field("dup")).u32(12).u32(16);
    old.raw(name_field("other")).u32(12).u32(16); // shares dup's bytes
    old.raw(name_field("dup")).u32(12).u32(16);
    old.raw(name_field("empty")).u32(0).u32(0);
    old.fill(36, 0xAB); // a remainder below 64 bytes is no entry
    put(kPak0, old.b);
    put(kRus + "DUP", "xyz"); // found without regard to case

    expect_run(run("patchpak", kBin), 0, kPatched);
    Bytes pak = get(kPak0);
    auto dir = directory_of(pak);
    ASSERT_EQ(dir.size(), 4u);
    EXPECT_EQ(le32(pak, 8), 256u); // count x 64: the remainder is not written
    EXPECT_EQ(member_of(pak, dir[0]), to_bytes("xyz"));
    EXPECT_EQ(member_of(pak, dir[1]), shared);
    EXPECT_EQ(member_of(pak, dir[2]), to_bytes("xyz"));
    EXPECT_EQ(dir[1].offset, 15u);
    EXPECT_EQ(dir[2].offset, 31u);
    EXPECT_EQ(dir[3].offset, 34u);
    EXPECT_EQ(dir[3].length, 0u);
    EXPECT_EQ(pak.size(), 34u + 256u);
}

TEST_F(PatchPak, TinyDirectoriesAndLongNames) {
    // A directory shorter than one entry holds none.
    put(kPak0, Buf().raw("PACK").u32(12).u32(63).fill(63, 1).b);
    expect_run(run("patchpak", kBin), 0, kPatched);
    EXPECT_EQ(get(kPak0), Buf().raw("PACK").u32(12).u32(0).b);

    // A name without a NUL in its first 48 bytes: all 48 are the name.
    Bytes field = Buf().fill(56, 'n').b;
    put(kPak0, make_pak({{field, pattern(5, 1)}}));
    put(kRus + std::string(48, 'n'), "R");
    expect_run(run("patchpak", kBin), 0, kPatched);
    Bytes pak = get(kPak0);
    EXPECT_EQ(Bytes(pak.begin() + 13, pak.begin() + 13 + 56), field);
    EXPECT_EQ(pak[12], 'R');
}

TEST_F(PatchPak, CanonicalArchiveKeepsTheFixedHeaderBytes) {
    // 456 members totalling 113,888,255 bytes, the game's own archive; the
    // data are zeros in a sparse file, so that the test stays quick.
    const uint32_t count = 456, total = 113888255;
    Buf dir;
    uint32_t pos = 12;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t len = i + 1 < count ? total / count : total - (total / count) * (count - 1);
        dir.raw(name_field("m" + std::to_string(i))).u32(pos).u32(len);
        pos += len;
    }
    std::string path = host(kPak0).string();
    mkdirs("c:\\games\\Skyforge\\main");
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    Bytes head = Buf().raw("PACK").u32(pos).u32(count * 64).b;
    ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), 12);
    ASSERT_EQ(::pwrite(fd, dir.b.data(), dir.size(), pos), ssize_t(dir.size()));
    ::close(fd);
    put(kRus + "m0", "x"); // a replacement of a different size...
    put(kRus + "m1", Bytes(total / count * 2 - 1, 0)); // ...balanced by another

    expect_run(run("patchpak", kBin), 0, kPatched);
    FILE* f = std::fopen(path.c_str(), "rb");
    Bytes got(12);
    ASSERT_EQ(std::fread(got.data(), 1, 12, f), 12u);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 113888267L + 29184);
    std::fclose(f);
    EXPECT_EQ(got, Bytes({0x50, 0x41, 0x43, 0x4B, 0x0B, 0xCC, 0xC9, 0x06, 0x00, 0x72, 0x00, 0x00}));
}

TEST_F(PatchPak, FailuresLeaveTheOldArchiveAlone) {
    // No archive: nothing is created.
    expect_run(run("patchpak", kBin), 1, {"Skyforge rusification plugin started...", "please wait...", "Can't open"});
    EXPECT_FALSE(has(kPak1));

    Bytes old = make_pak({{name_field("a"), pattern(4000, 1)}, {name_field("b"), pattern(9000, 2)}});
    put(kPak0, old);
    // The new archive cannot be created.
    mkdirs(kPak1);
    expect_run(run("patchpak", kBin), 1, {"Skyforge rusification plugin started...", "please wait...", "Can't open"});
    EXPECT_EQ(get(kPak0), old);
    std::filesystem::remove(host(kPak1));

    // A read-only archive cannot take the new one's place: that is known
    // before the copy, not after it.
    std::filesystem::permissions(host(kPak0), std::filesystem::perms::owner_read);
    expect_run(run("patchpak", kBin), 1, {"Skyforge rusification plugin started...", "please wait...", "Can't open"});
    EXPECT_FALSE(has(kPak1));
    std::filesystem::permissions(host(kPak0), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);

    // Without an archive folder beside it the job stops, whatever lies in
    // the folder it was started in; without a replacement folder it takes
    // every member from the archive, never a file of the archive folder.
    put(kBin + "\\pak0.pak", old);
    std::filesystem::rename(host("c:\\games\\Skyforge\\main"), host("c:\\games\\Skyforge\\main2"));
    expect_run(run("patchpak", kBin), 1, {"Skyforge rusification plugin started...", "please wait...", "Can't open"});
    EXPECT_EQ(files(kBin), std::vector<std::string>{"pak0.pak"});
    std::filesystem::rename(host("c:\\games\\Skyforge\\main2"), host("c:\\games\\Skyforge\\main"));
    std::filesystem::remove_all(host(kRus));
    put("c:\\games\\Skyforge\\main\\a", "not a translation");
    expect_run(run("patchpak", kBin), 0, kPatched);
    EXPECT_EQ(get(kPak0), old);

    // A full disk.
    link(kPak1, "/dev/full");
    expect_run(run("patchpak", kBin), 1,
               {"Skyforge rusification plugin started...", "please wait...", "Can't write pak1.pak"});
    EXPECT_EQ(get(kPak0), old);
}

TEST_F(PatchPak, DamagedArchivesStopWithAMessage) {
    const std::vector<std::string> start = {"Skyforge rusification plugin started...", "please wait..."};
    put(kPak0, Bytes{'P', 'A', 'C'});
    auto want = start;
    want.push_back("Damaged file pak0.pak: shorter than the 12-byte archive header");
    expect_run(run("patchpak", kBin), 1, want);
    EXPECT_FALSE(has(kPak1));

    put(kPak0, Buf().raw("PACK").u32(12).u32(0xFFFFFFC0).b);
    want.back() = "Damaged file pak0.pak: the directory lies past the end of the archive";
    expect_run(run("patchpak", kBin), 1, want);
    EXPECT_FALSE(has(kPak1));

    Bytes bad = Buf().raw("PACK").u32(12).u32(64).raw(name_field("a/b")).u32(8).u32(0xFFFFFFF0).b;
    put(kPak0, bad);
    want.back() = "Damaged file pak0.pak: member a+b lies past the end of the archive";
    expect_run(run("patchpak", kBin), 1, want);
    EXPECT_EQ(get(kPak0), bad);

    // The same member is no trouble when a replacement takes its place.
    put(kRus + "a+b", "ok");
    expect_run(run("patchpak", kBin), 0, kPatched);
    EXPECT_EQ(get(kPak0), Buf().raw("PACK").u32(14).u32(64).raw("ok").raw(name_field("a/b")).u32(12).u32(2).b);
}

TEST_F(PatchPak, AMemoryShortageEndsWithAMessage) {
#ifdef LOCBENCH_SANITIZED
    GTEST_SKIP() << "the sanitizer's allocator reports instead of failing the allocation";
#else
    if (under_wine()) GTEST_SKIP() << "a memory limit: Wine does not start in so little address space";
    // A directory of 300 MB (zeros in a sparse file) is more than the job may
    // have: it must end in order, not die.
    const uint32_t dir_length = 300u << 20;
    std::string path = host(kPak0).string();
    mkdirs("c:\\games\\Skyforge\\main");
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    Bytes head = Buf().raw("PACK").u32(12).u32(dir_length).b;
    ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), 12);
    ASSERT_EQ(::ftruncate(fd, 12 + off_t(dir_length)), 0);
    ::close(fd);
    RunOptions small;
    small.limit_memory = true;
    expect_run(run("patchpak", kBin, small), 1,
               {"Skyforge rusification plugin started...", "please wait...", "Out of memory"});
    EXPECT_FALSE(has(kPak1));
#endif
}

const std::string kXfiles = "c:\\games\\Brassjaw\\xfiles\\pak\\";
const std::string kArchive = "c:\\games\\Brassjaw\\main\\pak0.pak";

class ExtractPak : public JobTest {};

TEST_F(ExtractPak, WritesEachMemberUnderItsFlatName) {
    Bytes a = pattern(300, 1), b = pattern(17, 2), c = pattern(5, 3);
    put(kArchive, make_pak({{name_field("sound/a.wav"), a},
                            {name_field("sound+a.wav"), b}, // same flat name: overwrites a
                            {name_field("empty"), {}},
                            {name_field("c"), c}},
                           36));
    put(kXfiles + "c", "stale content");
    expect_run(run("extractpak"), 0,
               {kXfiles + "sound+a.wav", kXfiles + "sound+a.wav", kXfiles + "empty", kXfiles + "c"});
    EXPECT_EQ(get(kXfiles + "sound+a.wav"), b);
    EXPECT_EQ(get(kXfiles + "empty"), Bytes());
    EXPECT_EQ(get(kXfiles + "c"), c);
}

TEST_F(ExtractPak, CyrillicNamesAreStoredInUtf8AndDifferOnlyInCaseMakeOneFile) {
    // "Меню.txt" and "МЕНЮ.txt", "ёлка" and "ЁЛКА": one file each, written
    // by the first, its content from the second; "№1" stands alone.
    Bytes a = pattern(30, 1), b = pattern(20, 2), c = pattern(10, 3), d = pattern(5, 4), e = pattern(7, 5);
    const std::string menu = "\xCC\xE5\xED\xFE.txt", MENU = "\xCC\xC5\xCD\xDE.txt";
    const std::string tree = "\xB8\xEB\xEA\xE0", TREE = "\xA8\xCB\xCA\xC0", number = "\xB9" "1";
    put(kArchive, make_pak({{name_field("text/" + menu), a}, {name_field("text/" + MENU), b},
                            {name_field(tree), c}, {name_field(TREE), d}, {name_field(number), e}}));
    mkdirs(kXfiles);
    expect_run(run("extractpak"), 0,
               {kXfiles + "text+" + menu, kXfiles + "text+" + MENU, kXfiles + tree, kXfiles + TREE,
                kXfiles + number});
    EXPECT_EQ(files(kXfiles), (std::vector<std::string>{"text+Меню.txt", "ёлка", "№1"}));
    EXPECT_EQ(get(kXfiles + "text+" + menu), b);
    EXPECT_EQ(get(kXfiles + tree), d);
    EXPECT_EQ(get(kXfiles + number), e);
}

TEST_F(ExtractPak, RoundTripsThroughPatchPak) {
    Bytes old = make_pak({{name_field("x/1"), pattern(1000, 1)}, {name_field("x/2"), pattern(3, 2)}});
    put(kArchive, old);
    mkdirs(kXfiles);
    expect_run(run("extractpak"), 0, {kXfiles + "x+1", kXfiles + "x+2"});
    // The extracted files, used as replacements, give back the same archive.
    std::filesystem::rename(host(kXfiles), host("c:\\games\\Brassjaw\\rus"));
    mkdirs("c:\\games\\Brassjaw\\bin");
    expect_run(run("patchpak", "c:\\games\\Brassjaw\\bin"), 0, kPatched);
    EXPECT_EQ(get(kArchive), old);
}

TEST_F(ExtractPak, Failures) {
    expect_run(run("extractpak"), 1, {"Can't open"});

    put(kArchive, Buf().raw("PACK").u32(12).u32(10).fill(10, 0).b);
    expect_run(run("extractpak"), 0, {});

    put(kArchive, make_pak({{name_field("a"), pattern(10, 1)}, {name_field("b"), pattern(10, 2)}}));
    // The extraction folder does not exist: the job creates no folder.
    expect_run(run("extractpak"), 1, {kXfiles + "a", "Can't create file " + kXfiles + "a"});

    mkdirs(kXfiles);

    // A name that would lead out of the extraction folder.
    put(kArchive, make_pak({{name_field("..\\..\\main\\pak0.pak"), pattern(3, 1)}}));
    expect_run(run("extractpak"), 1,
               {kXfiles + "..\\..\\main\\pak0.pak",
                "Damaged file " + kArchive + ": member name ..\\..\\main\\pak0.pak is not a plain file name"});
    EXPECT_EQ(le32(get(kArchive), 8), 64u); // the archive is still there, unchanged

    put(kArchive, Buf().raw("PACK").u32(12).u32(64).raw(name_field("a")).u32(76).u32(1).b);
    expect_run(run("extractpak"), 1,
               {kXfiles + "a", "Damaged file " + kArchive + ": member a lies past the end of the archive"});

    put(kArchive, make_pak({{name_field("a"), pattern(10, 1)}, {name_field("b"), pattern(10, 2)}}));
    link(kXfiles + "b", "/dev/full");
    expect_run(run("extractpak"), 1, {kXfiles + "a", kXfiles + "b", "Can't write " + kXfiles + "b"});
    EXPECT_EQ(get(kXfiles + "a"), pattern(10, 1));
}

} // namespace
