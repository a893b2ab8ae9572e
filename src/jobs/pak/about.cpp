// What the jobs of this folder are about (see jobs/about.hpp).
#include "jobs/about.hpp"

namespace about {

namespace {

const Message kRefused = {
    "Refused: COUNT problems listed above; the translated text.bin is not written", 1,
    "a translation would not fit its place or the list does not match text.bin; each problem is listed before, "
    "with its file, line, record and what is wrong, and an existing text_!\\text.bin stays as it was"};

} // namespace

const std::vector<Job>& pak_jobs() {
    static const std::vector<Job> jobs = {
        {"extractpak", Workflow::Pak,
         "writes every member of the second game's PAK archive to a file named by its flat member name",
         {
             {Kind::File, Reads, "c:\\games\\Brassjaw\\main\\pak0.pak", "rb", "the game's archive"},
             {Kind::Folder, Writes, "c:\\games\\Brassjaw\\xfiles\\pak\\", "wb",
              "every member under its flat member name (its name with each \"/\" as \"+\")", "NAME"},
         },
         "the path of each member file",
         {kCantOpen, kCantCreateFile, kCantWrite, kDamaged},
         "none: the PAK chain starts here",
         "translate the members that hold text (or replace sounds, images) and put the new files, under the same "
         "flat names, into the rus folder beside main; then patchpak"},

        {"patchpak", Workflow::Pak,
         "rebuilds the second game's PAK archive with the translated members and puts it in the old one's place; "
         "run it in a folder beside main and rus, such as the game's bin",
         {
             {Kind::File, Rewrites, "..\\main\\pak0.pak", "rb",
              "the game's archive, replaced by the new one once that is complete"},
             {Kind::File, Writes, "..\\main\\pak1.pak", "wb", "the new archive while it is written"},
             {Kind::Folder, Reads, "..\\rus\\", "rb",
              "a translated member where one is there, named by the flat member name of the member it replaces",
              "NAME"},
         },
         "\"Skyforge rusification plugin started...\" and \"please wait...\" at the start, \"ok!\" once the "
         "members are written",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "extractpak wrote the members; the translated ones were put, under their flat names, into ..\\rus",
         "none: the game reads the patched main\\pak0.pak"},

        {"placevoices", Workflow::SoundVideo,
         "copies the second game's numbered recordings of voice set 4 to the sound paths that a list gives",
         {
             {Kind::File, Reads, "c:\\games\\Brassjaw\\xfiles\\s4.txt", "rt",
              "the list: 144 lines, each a leading character and a path below the sound folder"},
             {Kind::Folder, Reads, "c:\\games\\Brassjaw\\xfiles\\voice\\4\\", "rb", "the recordings",
              "000.wav ... 143.wav"},
             {Kind::Folder, Writes, "c:\\games\\Brassjaw\\xfiles\\sound\\", "wb",
              "each recording under the path its line gives, the folders along it created", "PATH FROM THE LIST"},
         },
         "",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "none of locbench: the recordings are made outside and numbered in the order of s4.txt",
         "none: the game finds the recordings under its own sound names"},

        {"dumptextbin", Workflow::Texts,
         "lists the printable runs of the second game's text.bin as numbered records for translators",
         {
             {Kind::File, Reads, "c:\\games\\Brassjaw\\xfiles\\text.bin", "rb", "the game's text data"},
             {Kind::File, Writes, "c:\\games\\Brassjaw\\xfiles\\text.txt", "wt",
              "one record {offset}{length}{text} per printable run (line feeds shown as \"~\"), each with a ruler "
              "and the line the translation goes in place of"},
         },
         "",
         {kCantOpen, kCantWrite, kDamaged},
         "none: it reads the game's own text.bin",
         "a translator writes each translation in place of its placeholder line, within the room of its ruler; "
         "then applytextbin"},

        {"applytextbin", Workflow::Texts,
         "writes the translations of dumptextbin's list, filled in and checked against text.bin, into a copy of "
         "the second game's text.bin",
         {
             {Kind::File, Reads, "c:\\games\\Brassjaw\\xfiles\\text.bin", "rb", "the game's text data, never changed"},
             {Kind::File, Reads, "c:\\games\\Brassjaw\\xfiles\\text.txt", "rb",
              "dumptextbin's list with a translation in place of each placeholder line (\"~\" for a line feed); "
              "Windows-1251, or UTF-8 when saved so"},
             {Kind::File, Writes, "c:\\games\\Brassjaw\\xfiles\\text_!\\text.bin", "wb",
              "text.bin with each translation in its text's place, NUL bytes after a shorter one: the same length, "
              "every other byte as it was; written only when nothing is wrong, and replaced only once complete"},
         },
         "a line for each problem found; at the end the numbers of records translated, untranslated and unchanged, "
         "and the bytes the translations fill of their texts' room",
         {kRefused, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "dumptextbin wrote the list; a translator wrote each translation in place of its placeholder line",
         "put text_!\\text.bin into rus under the flat name of the member it came from; then patchpak"},
    };
    return jobs;
}

} // namespace about
