// Builders and paths shared by the sound, video and voice tests: SND and VID
// archives laid out as the rebuild jobs write them, and the folders the jobs
// read and write.
#pragma once

#include "support/jobtest.hpp"

#include <string>
#include <vector>

namespace sndvid {

// ---------------------------------------------------------------------------
// SND archives

struct Snd {
    std::string name;
    Bytes data;
    uint32_t unpacked;
};

// An archive as updatesnd writes it: the members back to back in directory
// order right after the directory.
Bytes make_snd(const std::vector<Snd>& ms);

inline const std::string kAudio1 = "c:\\games\\zund7\\Sounds\\Audio1.snd";
inline const std::string kAudio = "c:\\games\\zund7\\Sounds\\Audio.snd";
inline const std::string kTempSnd = "c:\\games\\zund7\\Sounds\\temp.snd";
inline const std::string kReady = "c:\\games\\zund7\\xfiles\\sound_ready\\";

// The entry file of a member in the ready-sound folder.
inline std::string zl(const std::string& name) { return kReady + name + ".wav.zl"; }

// ---------------------------------------------------------------------------
// VID archives

struct Vid {
    std::string name;
    Bytes data;
};

// An archive with the members back to back in directory order after the
// directory, and the given count word.
Bytes make_vid(const std::vector<Vid>& ms, uint32_t count_word);

inline const std::string kVelorD = "d:\\Anims\\Velor7.vid";
inline const std::string kVelorC = "c:\\games\\zund7\\Anims\\Velor7.vid";
inline const std::string kVelorTmp = "c:\\games\\zund7\\Anims\\Velor7.tmp";
inline const std::string kSmk = "c:\\games\\zund7\\xfiles\\smk\\";

// "m00.smk", "m01.smk", ...
std::string smk_name(uint32_t k);
// `n` members named m00.smk, m01.smk, ..., of assorted sizes (some empty).
std::vector<Vid> members(uint32_t n);
// The progress lines of mixsmk for the members of members(14).
std::vector<std::string> smk_lines();

// ---------------------------------------------------------------------------
// Voice sets

// assemblevoices: the game sounds, the voice set as stored (the job spells it
// "voice2") and the output folder.
inline const std::string kSounds = "c:\\games\\zund7\\xfiles\\sound\\";
inline const std::string kVoice2 = "c:\\games\\zund7\\xfiles\\Voice2\\0\\";
inline const std::string kSoundVr = "c:\\games\\zund7\\xfiles\\sound_vr\\";

// placevoices: the list, the numbered recordings and the sound folder.
inline const std::string kList = "c:\\games\\Brassjaw\\xfiles\\s4.txt";
inline const std::string kVoice4 = "c:\\games\\Brassjaw\\xfiles\\voice\\4\\";
inline const std::string kSoundRoot = "c:\\games\\Brassjaw\\xfiles\\sound\\";

// "000.wav" to "143.wav".
std::string rec_name(int i);
// Puts the 144 recordings of voice set 4, recording i of i * 7 + 1 bytes.
void put_recordings(JobTest& t);
// The list file as the text editor leaves it: CR LF line ends, the last line
// with or without one.
std::string list_text(const std::vector<std::string>& lines, bool final_newline);
// `first`, then lines "#n\<rec_name(i)>" up to 144 lines.
std::vector<std::string> full_list(std::vector<std::string> first);

} // namespace sndvid
