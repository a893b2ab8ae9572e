// The sound, video and voice jobs on damaged archives, entry files and lists,
// and on full disks.
#include "support/hardening.hpp"
#include "support/sndvid_builders.hpp"

namespace {

using namespace sndvid;

// Three members back to back after the 160-byte directory: alpha at 160,
// beta at 460, gamma at 510, the file ending at 630.
Bytes sample_snd() {
    return make_snd({{"alpha", pattern(300, 1), 900}, {"beta", pattern(50, 2), 150}, {"gamma", pattern(120, 3), 400}});
}
const std::vector<size_t> kSndBoundaries = {4, 56, 108, 160, 460, 510};
// The count, alpha's data offset and stored size, beta's data offset, gamma's
// stored size.
const std::vector<size_t> kSndFields = {0, 4 + 40, 4 + 44, 56 + 40, 108 + 44};

// Four members after the 180-byte directory, one of them empty, the last
// running to the end of the file.
Bytes sample_vid() {
    return make_vid({{"intro.smk", pattern(200, 1)}, {"empty.smk", {}}, {"b.smk", pattern(90, 2)},
                     {"LAST.SMK", pattern(150, 3)}},
                    4);
}
const std::vector<size_t> kVidBoundaries = {4, 48, 92, 136, 180, 380, 470};
const std::vector<size_t> kVidFields = {0, 44, 88, 132, 176};

// mixsmk's 14 members start at 620; member 13 (77 bytes) ends the file.
const std::vector<size_t> kMixBoundaries = {4, 48, 576, 620};
const std::vector<size_t> kMixFields = {44, 44 + 5 * 44, 44 + 12 * 44, 44 + 13 * 44};

std::vector<Scenario> damage_scenarios() {
    return {
        {"extractsnd", "extractsnd", "c:\\",
         [](JobTest& t) {
             t.put(kAudio1, sample_snd());
             t.put(zl("alpha"), "an entry file from an earlier run");
         },
         {{kAudio1, kSndBoundaries, kSndFields}}},
        {"updatesnd", "updatesnd", "c:\\",
         [](JobTest& t) {
             t.put(kAudio1, sample_snd());
             t.put(zl("beta"), pattern(80, 7));
             t.put(kReady + "beta.wav", pattern(200, 8));
             t.put(kAudio, "the archive of an earlier run");
         },
         {{kAudio1, kSndBoundaries, kSndFields}, {zl("beta"), {}, {}}}},
        {"extractvid", "extractvid", "c:\\",
         [](JobTest& t) {
             t.put(kVelorD, sample_vid());
             t.put(kSmk + "intro.smk", "a video from an earlier run");
         },
         {{kVelorD, kVidBoundaries, kVidFields}}},
        {"mixsmk", "mixsmk", "c:\\",
         [](JobTest& t) {
             t.put(kVelorD, make_vid(members(14), 14));
             t.put(kSmk + smk_name(4), pattern(333, 9));
             t.put(kVelorC, "the game's archive");
         },
         {{kVelorD, kMixBoundaries, kMixFields}, {kSmk + smk_name(4), {}, {}}}},
        // The list is text, but a damaged one must not place recordings
        // anywhere but below the sound folder, nor crash the job.
        {"placevoices", "placevoices", "c:\\",
         [](JobTest& t) {
             put_recordings(t);
             t.put(kList, list_text(full_list({"#sfx\\voice\\a.wav", "#top.wav"}), true));
             t.put(kSoundRoot + "top.wav", "a sound from an earlier run");
         },
         {{kList, {20, 30, 31, 32}, {}}}},
    };
}

// assemblevoices reads no file that it looks inside: only its writes are
// checked.
std::vector<Scenario> full_disk_scenarios() {
    auto all = damage_scenarios();
    all.push_back({"assemblevoices", "assemblevoices", "c:\\",
                   [](JobTest& t) {
                       for (const char* n : {"ZM101a.wav", "ZM101b.wav", "ZM102a.wav"})
                           t.put(kSounds + n, pattern(500, n[4]));
                       t.put(kVoice2 + "01a.wav", pattern(700, 1));
                       t.put(kVoice2 + "01b.wav", pattern(600, 2));
                       t.put(kSoundVr + "ZM101a.wav", "a voice from an earlier run");
                   },
                   {}});
    return all;
}

INSTANTIATE_TEST_SUITE_P(SndVid, Damage, ::testing::ValuesIn(damage_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(SndVid, FullDisk, ::testing::ValuesIn(full_disk_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(SndVid, BlockedOutput, ::testing::ValuesIn(full_disk_scenarios()), scenario_name);

} // namespace
