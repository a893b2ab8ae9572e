// The sound and video chains as a translator runs them on one game tree:
// extract the members, put the translated ones back, rebuild the archive.
#include "support/jobtest.hpp"
#include "support/sndvid_builders.hpp"

namespace {

using namespace sndvid;

class SndVidChain : public JobTest {};

std::vector<std::string> ready_lines(const std::vector<Snd>& ms) {
    std::vector<std::string> v;
    for (const auto& m : ms) v.push_back(zl(m.name));
    return v;
}

TEST_F(SndVidChain, SoundsExtractedAndPutBackGiveTheSameArchive) {
    // The game's archive as updatesnd lays it out, kept as Audio1.snd.
    std::vector<Snd> ms = {
        {"Battle01", pattern(4000, 1), 15000},
        {"ZM101a", pattern(777, 2), 2100},
        {"silence", {}, 44},
        {std::string(39, 'n'), pattern(31, 3), 31}, // the longest name a field holds
        {"Door Creak", pattern(1500, 4), 6000},
    };
    const Bytes game = make_snd(ms);
    put(kAudio1, game);
    mkdirs(kReady);

    expect_run(run("extractsnd"), 0, ready_lines(ms));
    // Each member unpacked beside its entry file: only the size counts.
    for (const auto& m : ms) put(kReady + m.name + ".wav", pattern(m.unpacked, 9));
    expect_run(run("updatesnd"), 0, ready_lines(ms));
    EXPECT_EQ(get(kAudio), game);
    EXPECT_FALSE(has(kTempSnd));

    // One member translated: a new packed file and a plain one of another
    // size. With the other entry files there or removed, only that member
    // (and the offsets after it) changes.
    const Bytes packed = pattern(1234, 20);
    put(zl("ZM101a"), packed);
    put(kReady + "ZM101a.wav", pattern(5000, 21));
    std::vector<Snd> translated = ms;
    translated[1] = {"ZM101a", packed, 5000};
    const Bytes want = make_snd(translated);
    expect_run(run("updatesnd"), 0, ready_lines(ms));
    EXPECT_EQ(get(kAudio), want);

    for (const auto& m : ms)
        if (m.name != "ZM101a") {
            std::filesystem::remove(host(zl(m.name)));
            std::filesystem::remove(host(kReady + m.name + ".wav"));
        }
    put(kAudio, "the game's archive before the translation");
    expect_run(run("updatesnd"), 0, ready_lines(ms));
    EXPECT_EQ(get(kAudio), want);
    EXPECT_EQ(get(kAudio1), game);
}

TEST_F(SndVidChain, VideosExtractedAndMixedBackGiveTheSameArchive) {
    // Fourteen videos, one longer than a copy chunk and one empty.
    auto ms = members(14);
    ms[3].data = pattern(2048000 + 7, 30);
    ms[9].data = {};
    const Bytes game = make_vid(ms, 14);
    put(kVelorD, game);
    mkdirs(kSmk);
    mkdirs("c:\\games\\zund7\\Anims");

    expect_run(run("extractvid"), 0, smk_lines());
    expect_run(run("mixsmk"), 0, smk_lines());
    EXPECT_TRUE(get(kVelorC) == game); // (no dump of megabytes on failure)
    EXPECT_FALSE(has(kVelorTmp));

    // One video translated, the others left out of the video folder: only
    // that member (and the offsets after it) changes.
    for (uint32_t k = 0; k < 14; ++k) std::filesystem::remove(host(kSmk + smk_name(k)));
    ms[6].data = pattern(4321, 31);
    put(kSmk + smk_name(6), ms[6].data);
    expect_run(run("mixsmk"), 0, smk_lines());
    EXPECT_TRUE(get(kVelorC) == make_vid(ms, 14));
    EXPECT_TRUE(get(kVelorD) == game);
}

} // namespace
