// What the jobs of this folder are about (see jobs/about.hpp).
#include "jobs/about.hpp"

namespace about {

const std::vector<Job>& sndvid_jobs() {
    static const std::vector<Job> jobs = {
        {"extractsnd", Workflow::SoundVideo,
         "writes every member of the zund7 sound archive as an entry file of its own",
         {
             {Kind::File, Reads, "c:\\games\\zund7\\sounds\\Audio1.snd", "rb", "the game's original sound archive"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\sound_ready\\", "wb", "each member's stored bytes",
              "NAME.wav.zl"},
         },
         "the path of each entry file",
         {kCantOpen, kCantCreateFile, kCantWrite, kCantReplace, kDamaged},
         "none: keep the game's original archive as Sounds\\Audio1.snd",
         "unpack the sounds to translate, record or edit them, and leave in sound_ready only their new NAME.wav "
         "and packed NAME.wav.zl; then updatesnd"},

        {"updatesnd", Workflow::SoundVideo,
         "rebuilds the zund7 sound archive, taking the prepared members where there are any",
         {
             {Kind::File, Reads, "C:\\games\\zund7\\Sounds\\Audio1.snd", "rb",
              "the original sound archive, which stays as it is"},
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\sound_ready\\", "rb",
              "a prepared member (packed) and its plain sound, whose size is recorded", "NAME.wav.zl, NAME.wav"},
             {Kind::File, Writes, "c:\\games\\zund7\\Sounds\\temp.snd", "wb, then rb",
              "the members back to back; removed at the end"},
             {Kind::File, Writes, "c:\\games\\zund7\\Sounds\\Audio.snd", "wb",
              "the new archive, which takes the place of an older one only once it is complete"},
         },
         "the path of each NAME.wav.zl looked for",
         {{"Can't create file PATH", 1, "a prepared member or its plain sound cannot be opened"}, kCantOpen,
          kCantWrite, kCantReplace, kDamaged},
         "extractsnd wrote the members; the translated ones were prepared in sound_ready",
         "none: the game reads the new Audio.snd"},

        {"extractvid", Workflow::SoundVideo,
         "writes every member of the zund7 video archive to a file of its own",
         {
             {Kind::File, Reads, "d:\\Anims\\Velor7.vid", "rb", "the original video archive"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\smk\\", "wb", "each member under its name", "NAME"},
         },
         "the path of each member file",
         {kCantOpen, kCantCreateFile, kCantWrite, kCantReplace, kDamaged},
         "none: it reads the original archive on d:",
         "translate the videos outside and leave in smk only the translated ones, under the same names; then mixsmk"},

        {"mixsmk", Workflow::SoundVideo,
         "rebuilds the game's video archive from the original one, taking the translated videos where there are any",
         {
             {Kind::File, Reads, "d:\\Anims\\Velor7.vid", "rb", "the original video archive, 14 entries; it stays as it is"},
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\smk\\", "rb", "a translated video", "NAME"},
             {Kind::File, Writes, "c:\\games\\zund7\\Anims\\Velor7.tmp", "wb, then rb",
              "the members back to back; removed at the end"},
             {Kind::File, Writes, "c:\\games\\zund7\\Anims\\Velor7.vid", "wb",
              "the game's video archive, replaced only once the new one is complete"},
         },
         "the path of each video looked for",
         {{"Can't create file PATH", 1, "a translated video cannot be opened"}, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "extractvid wrote the members; the translated ones were left in smk",
         "none: the game reads the new Anims\\Velor7.vid"},

        {"assemblevoices", Workflow::SoundVideo,
         "gathers the translated voice recordings under the game's ZM1 sound names, using the game sound where "
         "no recording exists",
         {
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\sound\\", "rb",
              "the game's sounds; their names are looked for, and each is copied where no recording exists",
              "ZM1<nn><v>.wav (nn 01 to 47)"},
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\voice2\\0\\", "rb",
              "the recordings of variant v, else of variant a", "<nn><v>.wav, <nn>a.wav"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\sound_vr\\", "wb",
              "a voice file for each game sound", "ZM1<nn><v>.wav"},
         },
         "\"Can't open <nn>a.wav\" where neither recording exists and the game sound is taken",
         {{"Can't open NAME", 1, "neither a recording nor the game sound NAME can be opened"},
          {"Can't create NAME", 1, "the voice file NAME cannot be created"}, kCantWrite, kCantReplace, kDamaged},
         "the recordings were made outside and named by sound number and variant in voice2\\0",
         "none: sound_vr holds the complete voice set under the game's sound names"},
    };
    return jobs;
}

} // namespace about
