// extractsnd, updatesnd, extractvid, mixsmk, assemblevoices and placevoices,
// run as executables on archives and folders built here.
#include "support/jobtest.hpp"
#include "support/sndvid_builders.hpp"

#include <algorithm>
#include <iterator>

namespace {

using namespace sndvid;

// The names in a folder, sorted.
std::vector<std::string> names_in(const std::filesystem::path& dir) {
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator(dir)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

// ---------------------------------------------------------------------------
// SND archives

// Members out of directory order, with a gap, one of size 0, and a name that
// fills its whole field.
Bytes scattered_snd(const Bytes& a, const Bytes& b, const std::string& long_name) {
    Buf f;
    f.u32(3);
    uint32_t dir_end = 4 + 3 * 52;
    f.field("alpha", 40).u32(dir_end + uint32_t(b.size()) + 9).u32(uint32_t(a.size())).u32(5000);
    f.field(long_name, 40).u32(dir_end).u32(uint32_t(b.size())).u32(77);
    f.field("empty", 40).u32(0).u32(0).u32(0);
    f.raw(b).fill(9, 0xCC).raw(a);
    return f.b;
}

class ExtractSnd : public JobTest {};

TEST_F(ExtractSnd, WritesEachMemberAsItsStoredBytes) {
    Bytes a = pattern(3000, 1), b = pattern(41, 2);
    const std::string long_name(40, 'L'); // no NUL in its field: all 40 bytes name it
    // The job names the folder "sounds": the archive is found in "Sounds".
    put(kAudio1, scattered_snd(a, b, long_name));
    put(zl("alpha"), "stale");
    expect_run(run("extractsnd"), 0, {zl("alpha"), zl(long_name), zl("empty")});
    EXPECT_EQ(get(zl("alpha")), a);
    EXPECT_EQ(get(zl(long_name)), b);
    EXPECT_EQ(get(zl("empty")), Bytes());
}

TEST_F(ExtractSnd, EmptyArchivesAndFailures) {
    expect_run(run("extractsnd"), 1, {"Can't open"});

    put(kAudio1, Buf().u32(0).b);
    expect_run(run("extractsnd"), 0, {});

    put(kAudio1, make_snd({{"a", pattern(3, 1), 10}, {"b", pattern(10, 2), 10}}));
    // The ready folder does not exist: the job creates no folder.
    expect_run(run("extractsnd"), 1, {zl("a"), "Can't create file " + zl("a")});

    // The disk fills up while b is written: b's entry file from an earlier
    // run stays as it was rather than cut short, for updatesnd would take a
    // cut one as a prepared member.
    put(zl("b"), "b from an earlier run");
    RunOptions full;
    full.file_size_limit = 5;
    expect_run(run("extractsnd", "c:\\", full), 1, {zl("a"), zl("b"), "Can't write " + zl("b")});
    EXPECT_EQ(get(zl("a")), pattern(3, 1));
    EXPECT_EQ(get_text(zl("b")), "b from an earlier run");

    const std::string shown = "c:\\games\\zund7\\sounds\\Audio1.snd";
    put(kAudio1, Buf().u32(0x4EC4EC4F).fill(100, 0).b); // count x 52 wraps in 32 bits
    expect_run(run("extractsnd"), 1,
               {"Damaged file " + shown + ": the directory of 1321528399 entries runs past the end of the file"});
    put(kAudio1, Buf().u32(2).field("ok", 40).u32(108).u32(1).u32(1).field("bad", 40).u32(100).u32(0xFFFFFFFF)
                     .u32(1).u8(7).b);
    expect_run(run("extractsnd"), 1,
               {zl("ok"), zl("bad"), "Damaged file " + shown + ": member bad lies past the end of the archive"});
    EXPECT_EQ(get(zl("ok")), Bytes{7});
    EXPECT_FALSE(has(zl("bad")));

    // A name that would lead out of the ready folder writes nothing.
    const std::string away = "..\\..\\Sounds\\Audio";
    put(kAudio1, make_snd({{"ok", pattern(5, 1), 5}, {away, pattern(5, 2), 5}}));
    expect_run(run("extractsnd"), 1,
               {zl("ok"), zl(away), "Damaged file " + shown + ": member name " + away + " is not a plain file name"});
    EXPECT_FALSE(has("c:\\games\\zund7\\Sounds\\Audio.wav.zl"));
}

class UpdateSnd : public JobTest {};

TEST_F(UpdateSnd, WithoutReadyFilesRenumbersTheSameMembers) {
    Bytes a = pattern(3000, 1), b = pattern(41, 2);
    const std::string long_name(40, 'L');
    Bytes old = scattered_snd(a, b, long_name);
    // The job names the folder "Sounds" on drive "C:": the lower-case folder
    // serves for the archive, the temporary file and the new archive.
    const std::string lower = "c:\\games\\zund7\\sounds\\";
    put(lower + "Audio1.snd", old);
    expect_run(run("updatesnd"), 0, {zl("alpha"), zl(long_name), zl("empty")});
    Bytes want = make_snd({{"alpha", a, 5000}, {long_name, b, 77}, {"empty", {}, 0}});
    EXPECT_EQ(get(lower + "Audio.snd"), want);
    EXPECT_EQ(get(lower + "Audio1.snd"), old);
    EXPECT_FALSE(has(kTempSnd));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(host(lower)), {}), 2);
}

TEST_F(UpdateSnd, ReadyFilesGiveStoredAndUnpackedSizes) {
    Bytes a = pattern(100, 1), b = pattern(200, 2), c = pattern(300, 3), rep = pattern(250, 9);
    Bytes old = make_snd({{"a", a, 1000}, {"b", b, 2000}, {"c", c, 3000}});
    put(kAudio1, old);
    put(kReady + "B.WAV.ZL", rep);          // found without regard to case
    put(kReady + "b.wav", pattern(4321, 5)); // only its size is used
    put(kReady + "c.wav", "no .wav.zl beside it: not a ready member");
    put(kAudio, "an older archive");
    expect_run(run("updatesnd"), 0, {zl("a"), zl("b"), zl("c")});
    Bytes got = get(kAudio);
    EXPECT_EQ(got, make_snd({{"a", a, 1000}, {"b", rep, 4321}, {"c", c, 3000}}));
    EXPECT_EQ(le32(got, 4 + 2 * 52 + 40), 4 + 3 * 52 + 100 + 250u); // c shifted by 50
    EXPECT_EQ(get(kAudio1), old);
    EXPECT_FALSE(has(kTempSnd));

    put(kAudio1, Buf().u32(0).b);
    expect_run(run("updatesnd"), 0, {});
    EXPECT_EQ(get(kAudio), Buf().u32(0).b);
}

TEST_F(UpdateSnd, RefusesMemberNamesThatHoldAPath) {
    // Such a name would take a file from another folder into the archive.
    put(kAudio1, make_snd({{"a", pattern(10, 1), 1}, {"..\\up", pattern(20, 2), 2}}));
    put("c:\\games\\zund7\\xfiles\\up.wav.zl", "not ..\\up");
    put("c:\\games\\zund7\\xfiles\\up.wav", "not ..\\up");
    expect_run(run("updatesnd"), 1,
               {zl("a"), zl("..\\up"),
                "Damaged file C:\\games\\zund7\\Sounds\\Audio1.snd: member name ..\\up is not a plain file name"});
    EXPECT_FALSE(has(kAudio));
}

TEST_F(UpdateSnd, ReadyFileWithoutItsWavStopsBeforeTheNewArchive) {
    Bytes a = pattern(100, 1);
    put(kAudio1, make_snd({{"a", a, 1}, {"b", pattern(10, 2), 2}, {"c", pattern(10, 3), 3}}));
    put(zl("b"), "packed");
    put(kAudio, "an older archive");
    expect_run(run("updatesnd"), 1, {zl("a"), zl("b"), "Can't create file " + kReady + "b.wav"});
    EXPECT_EQ(get(kTempSnd), a); // the members written so far
    EXPECT_EQ(get_text(kAudio), "an older archive");
}

TEST_F(UpdateSnd, DamagedArchivesAndFullDisks) {
    expect_run(run("updatesnd"), 1, {"Can't open"});

    const std::string shown = "C:\\games\\zund7\\Sounds\\Audio1.snd";
    put(kAudio1, Buf().u32(3).fill(2 * 52, 0).b);
    expect_run(run("updatesnd"), 1,
               {"Damaged file " + shown + ": the directory of 3 entries runs past the end of the file"});
    EXPECT_FALSE(has(kTempSnd));

    Bytes bad = Buf().u32(2).field("a", 40).u32(108).u32(2).u32(2).field("b", 40).u32(109).u32(5).u32(5)
                    .raw("xy").b; // b runs past the end
    put(kAudio1, bad);
    expect_run(run("updatesnd"), 1,
               {zl("a"), zl("b"), "Damaged file " + shown + ": member b lies past the end of the archive"});
    EXPECT_FALSE(has(kAudio));

    // The same member is no trouble when a ready file takes its place.
    put(zl("b"), "12345");
    put(kReady + "b.wav", "123456789");
    expect_run(run("updatesnd"), 0, {zl("a"), zl("b")});
    EXPECT_EQ(get(kAudio), make_snd({{"a", to_bytes("xy"), 2}, {"b", to_bytes("12345"), 9}}));
    EXPECT_EQ(get(kAudio1), bad);

    std::filesystem::remove(host(kAudio));
    put(kAudio1, make_snd({{"a", pattern(200000, 1), 1}}));
    link(kTempSnd, "/dev/full");
    expect_run(run("updatesnd"), 1, {zl("a"), "Can't write " + kTempSnd});
    EXPECT_FALSE(has(kAudio));
}

// ---------------------------------------------------------------------------
// VID archives

class ExtractVid : public JobTest {};

TEST_F(ExtractVid, MembersRunToTheNextOffsetAndTheLastToTheEnd) {
    Bytes a = pattern(500, 1), b = pattern(3, 2), c = pattern(1234, 3);
    put(kVelorD, make_vid({{"intro.smk", a}, {"empty.smk", {}}, {"b.smk", b}, {"LAST.SMK", c}}, 4));
    put(kSmk + "b.smk", "stale");
    expect_run(run("extractvid"), 0, {kSmk + "intro.smk", kSmk + "empty.smk", kSmk + "b.smk", kSmk + "LAST.SMK"});
    EXPECT_EQ(get(kSmk + "intro.smk"), a);
    EXPECT_EQ(get(kSmk + "empty.smk"), Bytes());
    EXPECT_EQ(get(kSmk + "b.smk"), b);
    EXPECT_EQ(get(kSmk + "LAST.SMK"), c);
}

TEST_F(ExtractVid, DamagedArchivesStopWithAMessage) {
    expect_run(run("extractvid"), 1, {"Can't open"});
    put(kVelorD, Buf().u32(0).b);
    expect_run(run("extractvid"), 0, {});

    put(kVelorD, Buf().u32(2).field("a", 40).b);
    expect_run(run("extractvid"), 1,
               {"Damaged file " + kVelorD + ": the directory of 2 entries runs past the end of the file"});

    mkdirs(kSmk);
    put(kVelorD, Buf().u32(3).field("a", 40).u32(140).field("b", 40).u32(136).field("c", 40).u32(141)
                     .raw("0123").raw("ABCDE").b);
    expect_run(run("extractvid"), 1,
               {kSmk + "a", "Damaged file " + kVelorD + ": member a ends before it starts: the data offsets decrease"});
    EXPECT_FALSE(has(kSmk + "a"));

    put(kVelorD, Buf().u32(2).field("a", 40).u32(92).field("b", 40).u32(200).raw("0123").b);
    expect_run(run("extractvid"), 1,
               {kSmk + "a", "Damaged file " + kVelorD + ": member a lies past the end of the archive"});
    put(kVelorD, Buf().u32(2).field("a", 40).u32(92).field("b", 40).u32(94).raw("0123").b);
    expect_run(run("extractvid"), 0, {kSmk + "a", kSmk + "b"});
    EXPECT_EQ(get_text(kSmk + "a"), "01");
    EXPECT_EQ(get_text(kSmk + "b"), "23");

    // Names that would lead out of the video folder, or name a folder, write
    // nothing.
    for (const std::string bad : {"..", "", ".", "..\\Anims\\x.smk", "sub/x.smk", "c:x.smk"}) {
        SCOPED_TRACE(bad);
        put(kVelorD, Buf().u32(2).field("a", 40).u32(92).field(bad, 40).u32(94).raw("0123").b);
        expect_run(run("extractvid"), 1,
                   {kSmk + "a", kSmk + bad,
                    "Damaged file " + kVelorD + ": member name " + bad + " is not a plain file name"});
    }
    EXPECT_FALSE(has("c:\\games\\zund7\\xfiles\\Anims\\x.smk"));
    EXPECT_EQ(names_in(host(kSmk)), std::vector<std::string>({"a", "b"}));
}

class MixSmk : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        mkdirs("c:\\games\\zund7\\Anims");
    }
};

TEST_F(MixSmk, TakesFourteenEntriesWhateverTheCountSays) {
    // An archive of 20 members: the job reads only the first 14 entries, so
    // member 13 takes everything up to the end of the file, and the data start
    // moves from 884 to 620. The count word is written back as read.
    auto ms = members(20);
    Bytes old = make_vid(ms, 20);
    put(kVelorD, old);
    expect_run(run("mixsmk"), 0, smk_lines());

    Bytes tail;
    for (uint32_t k = 13; k < 20; ++k) tail.insert(tail.end(), ms[k].data.begin(), ms[k].data.end());
    std::vector<Vid> want(ms.begin(), ms.begin() + 13);
    want.push_back({smk_name(13), tail});
    EXPECT_EQ(get(kVelorC), make_vid(want, 20));
    EXPECT_EQ(get(kVelorD), old);
    EXPECT_FALSE(has(kVelorTmp));
}

TEST_F(MixSmk, PreparedFilesOfWholeChunksAndMore) {
    const size_t chunk = 2048000;
    auto ms = members(14);
    put(kVelorD, make_vid(ms, 14));
    ms[2].data = pattern(chunk, 70);         // ends with a read of 0 bytes
    ms[5].data = pattern(2 * chunk + 5, 71); // three reads
    ms[13].data = pattern(9, 72);            // the last member, shorter than before
    ms[7].data = {};                         // an empty prepared file
    for (uint32_t k : {2u, 5u, 7u, 13u}) put(kSmk + smk_name(k), ms[k].data);
    put(kVelorC, "the game's old archive");
    expect_run(run("mixsmk"), 0, smk_lines());
    Bytes got = get(kVelorC);
    EXPECT_EQ(got.size(), make_vid(ms, 14).size());
    EXPECT_TRUE(got == make_vid(ms, 14)); // (no dump of megabytes on failure)
    EXPECT_EQ(le32(got, 4 + 3 * 44 + 40), le32(got, 4 + 2 * 44 + 40) + chunk);
    EXPECT_FALSE(has(kVelorTmp));
}

TEST_F(MixSmk, FailuresKeepTheOldArchives) {
    expect_run(run("mixsmk"), 1, {"Can't open"});

    put(kVelorD, Buf().u32(14).fill(619 - 4, 0).b);
    expect_run(run("mixsmk"), 1, {"Damaged file " + kVelorD + ": shorter than the 620-byte directory of 14 entries"});
    EXPECT_FALSE(has(kVelorTmp));

    // A prepared file that is there for the search but cannot be opened.
    auto ms = members(14);
    Bytes old = make_vid(ms, 14);
    put(kVelorD, old);
    put(kVelorC, "the game's old archive");
    mkdirs(kSmk + smk_name(3));
    const auto all = smk_lines();
    auto want = std::vector<std::string>(all.begin(), all.begin() + 4);
    want.push_back("Can't create file " + kSmk + smk_name(3));
    expect_run(run("mixsmk"), 1, want);
    Bytes first3;
    for (uint32_t k = 0; k < 3; ++k) first3.insert(first3.end(), ms[k].data.begin(), ms[k].data.end());
    EXPECT_EQ(get(kVelorTmp), first3);
    EXPECT_EQ(get_text(kVelorC), "the game's old archive");
    std::filesystem::remove(host(kSmk + smk_name(3)));

    // Offsets that decrease: member 4 has no size...
    Bytes bad = old;
    const uint32_t off4 = le32(old, 4 + 4 * 44 + 40), off6 = le32(old, 4 + 6 * 44 + 40);
    bad[4 + 5 * 44 + 40] = uint8_t(off4 - 41); // member 5 now starts before member 4
    bad[4 + 5 * 44 + 41] = uint8_t((off4 - 41) >> 8);
    put(kVelorD, bad);
    want = std::vector<std::string>(all.begin(), all.begin() + 5);
    want.push_back("Damaged file " + kVelorD + ": member m04.smk ends before it starts: the data offsets decrease");
    expect_run(run("mixsmk"), 1, want);
    EXPECT_EQ(get_text(kVelorC), "the game's old archive");
    // ...which does not matter when a prepared file takes its place; member 5
    // then takes the bytes from its own offset on.
    put(kSmk + smk_name(4), "four");
    expect_run(run("mixsmk"), 0, smk_lines());
    ms[4].data = to_bytes("four");
    ms[5].data = Bytes(bad.begin() + (off4 - 41), bad.begin() + off6);
    EXPECT_EQ(get(kVelorC), make_vid(ms, 14));
    EXPECT_EQ(get(kVelorD), bad);

    link(kVelorTmp, "/dev/full");
    put(kSmk + smk_name(0), pattern(300000, 1));
    expect_run(run("mixsmk"), 1, {kSmk + smk_name(0), "Can't write " + kVelorTmp});
    EXPECT_EQ(get(kVelorC), make_vid(ms, 14));
}

// ---------------------------------------------------------------------------
// Voice sets

class AssembleVoices : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        for (const char* n : {"ZM101a.wav", "ZM101b.wav", "zm101C.WAV", "ZM102a.wav", "ZM103x.wav", "ZM147a.wav",
                              "ZM148a.wav", "ZM101ab.wav", "ZM1.wav"})
            put(kSounds + n, "game " + std::string(n));
        for (const char* n : {"01a.wav", "01b.wav", "01c.wav", "03a.wav", "47a.wav", "47b.wav"})
            put(kVoice2 + n, "voice " + std::string(n));
        put(kSoundVr + "ZM101a.wav", "stale");
    }
};

TEST_F(AssembleVoices, VariantThenARecordingThenTheGameSound) {
    expect_run(run("assemblevoices"), 0, {"Can't open 02a.wav"});
    EXPECT_EQ(names_in(host(kSoundVr)), std::vector<std::string>({"ZM101a.wav", "ZM101b.wav", "ZM102a.wav",
                                                                  "ZM103x.wav", "ZM147a.wav", "zm101C.WAV"}));
    EXPECT_EQ(get_text(kSoundVr + "ZM101a.wav"), "voice 01a.wav");
    EXPECT_EQ(get_text(kSoundVr + "ZM101b.wav"), "voice 01b.wav"); // the variant wins over "a"
    EXPECT_EQ(get_text(kSoundVr + "zm101C.WAV"), "voice 01c.wav");
    EXPECT_EQ(get_text(kSoundVr + "ZM102a.wav"), "game ZM102a.wav");
    EXPECT_EQ(get_text(kSoundVr + "ZM103x.wav"), "voice 03a.wav");
    EXPECT_EQ(get_text(kSoundVr + "ZM147a.wav"), "voice 47a.wav");
}

TEST_F(AssembleVoices, FailuresStopTheJob) {
    // A game sound that cannot be opened (a folder matches the pattern too).
    mkdirs(kSounds + "ZM104a.wav");
    expect_run(run("assemblevoices"), 1, {"Can't open 02a.wav", "Can't open 04a.wav", "Can't open ZM104a.wav"});
    EXPECT_EQ(get_text(kSoundVr + "ZM103x.wav"), "voice 03a.wav");

    // No output folder: nothing is written anywhere else instead.
    std::filesystem::remove_all(host(kSoundVr));
    expect_run(run("assemblevoices"), 1, {"Can't create ZM101a.wav"});
    EXPECT_EQ(get_text(kSounds + "ZM101a.wav"), "game ZM101a.wav");
    EXPECT_EQ(names_in(host(kVoice2)), std::vector<std::string>({"01a.wav", "01b.wav", "01c.wav", "03a.wav",
                                                                "47a.wav", "47b.wav"}));
}

class PlaceVoices : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        put_recordings(*this);
    }
    void put_list(const std::vector<std::string>& lines, bool final_newline) {
        put(kList, list_text(lines, final_newline));
    }
};

TEST_F(PlaceVoices, CreatesTheFoldersAndKeepsTheLastCharacter) {
    auto lines = full_list(
        {"#sfx\\voice\\a.wav", "#sfx\\voice\\b.wav", "#top.wav", "#SFX\\Other\\c.wav", "#old.wav"});
    lines.back() = "#last\\end.wav"; // no newline after it
    mkdirs(kSoundRoot + "sfx");
    put(kSoundRoot + "old.wav", "stale");
    put_list(lines, false);

    expect_run(run("placevoices"), 0, {});
    EXPECT_EQ(get(kSoundRoot + "sfx\\voice\\a.wav"), get(kVoice4 + "000.wav"));
    EXPECT_EQ(get(kSoundRoot + "sfx\\voice\\b.wav"), get(kVoice4 + "001.wav"));
    EXPECT_EQ(get(kSoundRoot + "top.wav"), get(kVoice4 + "002.wav"));
    EXPECT_EQ(get(kSoundRoot + "sfx\\Other\\c.wav"), get(kVoice4 + "003.wav"));
    EXPECT_EQ(get(kSoundRoot + "old.wav"), get(kVoice4 + "004.wav"));
    EXPECT_EQ(get(kSoundRoot + "n\\142.wav"), get(kVoice4 + "142.wav"));
    EXPECT_EQ(get(kSoundRoot + "last\\end.wav"), get(kVoice4 + "143.wav"));
    EXPECT_EQ(names_in(host(kSoundRoot)), std::vector<std::string>({"last", "n", "old.wav", "sfx", "top.wav"}));
    EXPECT_EQ(names_in(host(kSoundRoot + "sfx")), std::vector<std::string>({"Other", "voice"}));
    EXPECT_EQ(names_in(host(kSoundRoot + "n")).size(), 138u);
}

TEST_F(PlaceVoices, CyrillicPathsAreStoredInUtf8AndFoldersFoundInEitherCase) {
    // "Речь\голос.wav", then "РЕЧЬ\Ёж.wav" into the same folder.
    put_list(full_list({"#\xD0\xE5\xF7\xFC\\\xE3\xEE\xEB\xEE\xF1.wav", "#\xD0\xC5\xD7\xDC\\\xA8\xE6.wav"}), true);
    mkdirs(kSoundRoot);
    expect_run(run("placevoices"), 0, {});
    std::filesystem::path speech = host(kSoundRoot) / "Речь";
    EXPECT_EQ(names_in(speech), std::vector<std::string>({"Ёж.wav", "голос.wav"}));
    EXPECT_EQ(get(kSoundRoot + "\xD0\xE5\xF7\xFC\\\xE3\xEE\xEB\xEE\xF1.wav"), get(kVoice4 + "000.wav"));
    EXPECT_EQ(get(kSoundRoot + "\xD0\xE5\xF7\xFC\\\xA8\xE6.wav"), get(kVoice4 + "001.wav"));
}

TEST_F(PlaceVoices, MakesAndFillsFoldersPastThreeHundredCharacters) {
    // Past the 260 characters of a plain Windows path, as in a short one.
    std::string deep;
    for (int i = 0; i < 5; ++i) deep += std::string(60, char('a' + i)) + "\\";
    ASSERT_GT((kSoundRoot + deep).size(), 300u);
    put_list(full_list({"#" + deep + "v.wav", "#" + deep + "w.wav", "#v.wav"}), true);
    mkdirs(kSoundRoot);
    expect_run(run("placevoices"), 0, {});
    EXPECT_EQ(get(kSoundRoot + deep + "v.wav"), get(kVoice4 + "000.wav"));
    EXPECT_EQ(get(kSoundRoot + deep + "w.wav"), get(kVoice4 + "001.wav"));
    EXPECT_EQ(names_in(host(kSoundRoot + deep)), std::vector<std::string>({"v.wav", "w.wav"}));
}

TEST_F(PlaceVoices, BadListsPlaceNothingAndFailuresStop) {
    expect_run(run("placevoices"), 1, {"Can't open"});
    mkdirs(kSoundRoot);

    put_list({"#a.wav", "#b.wav", "#c.wav"}, true);
    expect_run(run("placevoices"), 1, {"Damaged file " + kList + ": the list ends before line 4 of 144"});
    for (const std::string& line : {std::string("#"), std::string()}) {
        put_list(full_list({"#a.wav", line}), true);
        expect_run(run("placevoices"), 1, {"Damaged file " + kList + ": line 2 names no file"});
    }
    EXPECT_EQ(names_in(host(kSoundRoot)), std::vector<std::string>());

    // A folder on the path that cannot be made (a file has its name): the
    // recording is not put anywhere else.
    put_list(full_list({"#a.wav", "#a.wav\\x.wav"}), true);
    expect_run(run("placevoices"), 1, {"Can't open"});
    EXPECT_EQ(names_in(host(kSoundRoot)), std::vector<std::string>({"a.wav"}));

    // The disk fills up while a.wav (8 bytes) is written: the sound placed
    // there before stays whole.
    put(kSoundRoot + "a.wav", "old a");
    put_list(full_list({"#b.wav", "#a.wav"}), true);
    RunOptions full;
    full.file_size_limit = 4;
    expect_run(run("placevoices", "c:\\", full), 1, {"Can't write " + kSoundRoot + "a.wav"});
    EXPECT_EQ(get(kSoundRoot + "b.wav"), get(kVoice4 + "000.wav"));
    EXPECT_EQ(get_text(kSoundRoot + "a.wav"), "old a");

    // Without the sound folder there is nowhere to put the recordings.
    std::filesystem::remove_all(host(kSoundRoot));
    expect_run(run("placevoices"), 1, {"Can't open"});
    EXPECT_EQ(names_in(host(kVoice4)).size(), 144u);
}

} // namespace
