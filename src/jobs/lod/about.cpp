// What the jobs of this folder are about (see jobs/about.hpp).
#include "jobs/about.hpp"

namespace about {

namespace {

const Message kNoMatch = {"", 5, "its search finds no file"};

// The header-first merges of payloads with the entry header of their icons
// entry file differ only in their folder and in how the icons file is named.
Job merge(const char* name, const char* folder, const char* icons_file, const char* output,
          const char* what) {
    return {name, Workflow::Lod, what,
            {
                {Kind::Search, Reads, folder, "rb",
                 "repacked payloads X.zl, each with its unpacked file X beside it", nullptr, true},
                {Kind::Folder, Reads, "c:\\games\\zundfiles\\icons\\", "rb",
                 "the header-first entry file of each entry, whose 48-byte entry header is taken", icons_file},
                {Kind::Folder, Writes, output, "wb", "the header-first entry file of each payload", icons_file},
            },
            "\"processing PATH...\" with the path of each icons entry file whose header is taken",
            {kNoMatch, kCantOpen, kCantWrite, kCantReplace, kDamaged},
            "unpackpayloads unpacked the payloads of the entry files; they were edited outside, put here and "
            "packed again by packpayloads",
            "put the entry files into the ready folder of updatelod_icons (or into zundfiles\\icons for "
            "rebuildlod_ordered)"};
}

// A folder of unpackpayloads: the header-last entry files there, and the
// unpacked payloads beside them.
std::vector<Place> unpack_folder(const char* search, const char* folder, const char* what) {
    return {{Kind::Search, Reads, search, "rb", what},
            {Kind::Folder, Writes, folder, "wb",
             "the unpacked payload of each X.zl; an X already there is never overwritten", "X"}};
}


std::vector<Place> joined(const std::vector<std::vector<Place>>& parts) {
    std::vector<Place> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const char* const kPackedAnew = "each file packed anew; an earlier one is replaced only once the new one is complete";

// A folder of packpayloads: the unpacked files, and the folder of the packed
// files X.zl made of them.
std::vector<Place> pack_folder(const char* search, const char* what, const char* folder) {
    return {{Kind::Search, Reads, search, "rb", what}, {Kind::Folder, Writes, folder, "wb", kPackedAnew, "X.zl"}};
}

} // namespace

const std::vector<Job>& lod_jobs() {
    static const std::vector<Job> jobs = {
        {"extractlod_icons", Workflow::Lod,
         "writes every entry of the zund7 icons archive as a header-last entry file, with a list of data positions",
         {
             {Kind::File, Reads, "c:\\games\\ZUND7\\data\\icons1.lod", "rb", "the icons archive, 4241 entries"},
             {Kind::File, Writes, "c:\\games\\icons.txt", "wt",
              "one line per entry: index, tab, absolute data position"},
             {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\icons_all\\", "wb",
              "every entry as a header-last entry file, its packed payload first", "NNNN_name.zl"},
         },
         "the path of each entry file",
         {kCantOpen, kCantCreateFile, kCantWrite, kDamaged},
         "none: the LOD chain starts here",
         "unpackpayloads unpacks the payloads beside the entry files; then extracttgas for the images, or the "
         "texts edited outside"},

        {"extractlod_strs", Workflow::Lod,
         "writes the text-table entries of the zund6 icons archive as header-last entry files",
         {
             {Kind::File, Reads, "c:\\games\\zund6\\data\\icons.lod", "rb",
              "the icons archive, its entry count read from it"},
             {Kind::Folder, Writes, "c:\\games\\zund6\\xfiles\\icons_txt_str\\", "wb",
              "a header-last entry file, named in lower case, for every entry whose name holds \"str\" or \"txt\"",
              "NNNN_name.zl"},
         },
         "",
         {kCantOpen, kCantCreateFile, kCantWrite, kDamaged},
         "none: the LOD chain starts here",
         "unpackpayloads unpacks the payloads; translate them outside (readtables dumps the tables for review)"},

        {"headlast_strs", Workflow::Lod,
         "turns the header-first \".str\" entry files of the icons folder into header-last ones in strs",
         {
             {Kind::Search, Reads, "c:\\games\\zundfiles\\icons\\*.str.zl", "rb", "header-first entry files",
              nullptr, true},
             {Kind::Folder, Writes, "c:\\games\\zundfiles\\strs\\", "wb",
              "each as a header-last entry file of the same name", "NAME.str.zl"},
         },
         "",
         {kNoMatch, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "header-first entry files in zundfiles\\icons (as rebuildlod_ordered reads them)",
         "unpackpayloads unpacks the payloads, which start at byte 0 now"},

        {"headlast_icons1", Workflow::Lod,
         "turns every header-first entry file of the icons1 folder into a header-last one, in place",
         {
             {Kind::Search, Rewrites, "c:\\games\\zundfiles\\icons1\\*.zl", "rb, then wb",
              "each file, replaced by its header-last form", nullptr, true},
         },
         "",
         {kNoMatch, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "header-first entry files in zundfiles\\icons1",
         "unpackpayloads unpacks the payloads, which start at byte 0 now"},

        {"headlast_menu", Workflow::Lod,
         "turns the header-first menu images of the menu folder into payload, palette and header, in place, "
         "with each palette also as a file of its own",
         {
             {Kind::Search, Rewrites, "c:\\games\\zundfiles\\menu\\*.zl", "rb, then wb",
              "each image entry file, rewritten as payload, palette, header", nullptr, true},
             {Kind::Folder, Writes, "c:\\games\\zundfiles\\menu\\", "wb", "the 768-byte palette of each image",
              "X.act"},
         },
         "",
         {{"", 5, "its search finds no file, or a file's palette comes short (that file stays as it was)"},
          kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "header-first menu images in zundfiles\\menu",
         "unpackpayloads unpacks the images; edit them outside and put each into menu\\ready with its palette "
         "beside it; then packpayloads and headfirst_menu"},

        {"unpackpayloads", Workflow::Lod,
         "unpacks the payload of every header-last entry file into the unpacked file beside it, held to the sizes "
         "its entry header gives; a folder that is missing is skipped",
         joined({unpack_folder("c:\\games\\zund7\\xfiles\\icons_all\\*.zl", "c:\\games\\zund7\\xfiles\\icons_all\\",
                               "header-last entry files X.zl (extractlod_icons)"),
                 unpack_folder("c:\\games\\zund6\\xfiles\\icons_txt_str\\*.zl",
                               "c:\\games\\zund6\\xfiles\\icons_txt_str\\",
                               "header-last entry files X.zl (extractlod_strs)"),
                 unpack_folder("c:\\games\\zundfiles\\strs\\*.zl", "c:\\games\\zundfiles\\strs\\",
                               "header-last entry files X.zl (headlast_strs)"),
                 unpack_folder("c:\\games\\zundfiles\\icons1\\*.zl", "c:\\games\\zundfiles\\icons1\\",
                               "header-last entry files X.zl (headlast_icons1)"),
                 unpack_folder("c:\\games\\zundfiles\\menu\\*.zl", "c:\\games\\zundfiles\\menu\\",
                               "header-last menu images X.zl (headlast_menu)")}),
         "the path of each unpacked file written; \"skipping PATH: no such folder\" for a folder that is not there; "
         "at the end \"kept PATH: ...\" for each unpacked file that differs from its payload, and the counts",
         {{"Damaged file PATH: WHAT", 1,
           "an entry file is damaged (shorter than its header says, no zlib stream, unpacking to another length "
           "than its header gives): it gets no unpacked file, and the job goes on with the others"},
          kCantOpen, kCantCreateFile, kCantWrite, kCantReplace},
         "extractlod_icons, extractlod_strs or a headlast_* job wrote the entry files",
         "edit the unpacked files outside (extracttgas exports the images of icons_all), put them where they are "
         "packed again; then packpayloads"},

        {"packpayloads", Workflow::Lod,
         "packs every edited unpacked file, zlib at its best compression on every processor, into the packed payload "
         "that comptgas or a headfirst_* job takes in; a folder that is missing is skipped",
         joined({pack_folder("c:\\games\\zund7\\xfiles\\readytga\\pack\\*", "the raw pixel files of readtgas",
                             "c:\\games\\zund7\\xfiles\\readytga\\"),
                 pack_folder("c:\\games\\zundfiles\\ready\\*",
                             "edited payloads X, for headfirst_ready (not the .zl and .act files)",
                             "c:\\games\\zundfiles\\ready\\"),
                 pack_folder("c:\\games\\zundfiles\\texts\\*",
                             "edited payloads X, for headfirst_texts (not the .zl and .act files)",
                             "c:\\games\\zundfiles\\texts\\"),
                 pack_folder("c:\\games\\zundfiles\\ready str\\*",
                             "edited payloads X, for headfirst_readystr (not the .zl and .act files)",
                             "c:\\games\\zundfiles\\ready str\\"),
                 pack_folder("c:\\games\\zundfiles\\menu\\ready\\*",
                             "edited menu images X, for headfirst_menu (not the palettes X.act, nor the .zl files)",
                             "c:\\games\\zundfiles\\menu\\ready\\"),
                 {{Kind::Search, Reads, "c:\\games\\zund7\\xfiles\\text_!_events\\*.txt", "rb",
                   "translated event texts N, for headfirst_events"},
                  {Kind::Search, Reads, "c:\\games\\zund7\\xfiles\\text_!_events\\*.str", "rb",
                   "translated string files N, the same"},
                  {Kind::Folder, Writes, "c:\\games\\zund7\\xfiles\\text_!_events\\", "wb", kPackedAnew, "N.zl"}}}),
         "the path of each packed file written; \"skipping PATH: no such folder\" for a folder that is not there; "
         "at the end the count",
         {kCantOpen, kCantCreateFile, kCantWrite, kCantReplace, kDamaged},
         "the unpacked files were edited outside (readtgas made the raw pixel files of the edited images)",
         "comptgas for the images; headfirst_ready, headfirst_texts, headfirst_readystr, headfirst_menu or "
         "headfirst_events for the payloads of the other folders"},

        merge("headfirst_ready", "c:\\games\\zundfiles\\ready\\*.zl", "NNNN_X.zl",
              "c:\\games\\zundfiles\\ready\\",
              "joins each repacked payload of the ready folder with the entry header of its icons entry file"),
        merge("headfirst_texts", "c:\\games\\zundfiles\\texts\\*.zl", "NNNN_X.zl",
              "c:\\games\\zundfiles\\texts\\",
              "joins each repacked payload of the texts folder with the entry header of its icons entry file"),
        merge("headfirst_readystr", "c:\\games\\zundfiles\\ready str\\*.zl", "X.zl",
              "c:\\games\\zundfiles\\ready str\\",
              "joins each repacked payload of the \"ready str\" folder with the entry header of the icons entry "
              "file of the same name, in the payload's place"),

        {"headfirst_menu", Workflow::Lod,
         "joins each repacked menu image with the entry header of its icons entry file and its palette",
         {
             {Kind::Search, Reads, "c:\\games\\zundfiles\\menu\\ready\\*.zl", "rb",
              "repacked menu images X.zl, each with its unpacked file X and its palette X.act beside it", nullptr,
              true},
             {Kind::Folder, Reads, "c:\\games\\zundfiles\\icons\\", "rb",
              "the entry file of the same name, whose 48-byte entry header is taken", "X.zl"},
             {Kind::Folder, Writes, "c:\\games\\zundfiles\\menu\\", "wb",
              "header, payload and palette; an earlier file of the name is replaced only once this one is complete",
              "X.zl"},
         },
         "",
         {kNoMatch, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "headlast_menu and unpackpayloads; the images were edited outside and packed by packpayloads",
         "put the entry files into the ready folder of the archive update"},

        {"headfirst_events", Workflow::Lod,
         "joins each repacked event text with the entry header of its entry in the events archive",
         {
             {Kind::File, Reads, "c:\\games\\ZUND7\\data\\events1.lod", "rb",
              "the events archive, 198 entries; the entry numbered like the text gives the header"},
             {Kind::Search, Rewrites, "c:\\games\\zund7\\xfiles\\text_!_events\\*.txt", "rb, then wb",
              "unpacked event texts NNNN_X.txt; the packed NNNN_X.txt.zl beside each is replaced by the "
              "header-first entry file"},
             {Kind::Search, Rewrites, "c:\\games\\zund7\\xfiles\\text_!_events\\*.str", "rb, then wb",
              "the same for string files NNNN_X.str and NNNN_X.str.zl"},
         },
         "",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "the event texts were translated outside and packed by packpayloads",
         "put the entry files into events_ready; then updatelod_events"},

        {"updatelod_icons", Workflow::Lod,
         "rebuilds the zund7 icons archive, taking the ready entry files where there are any",
         {
             {Kind::File, Reads, "c:\\games\\ZUND7\\data\\icons1.lod", "rb", "the source archive, 4241 entries"},
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\icons_ready\\", "rb",
              "a header-first entry file for each entry that changes", "NNNN_name.zl"},
             {Kind::File, Writes, "c:\\games\\ZUND7\\data\\icons.lod", "wb",
              "the new archive, which takes the place of the game's only once it is complete"},
         },
         "the path of each ready entry file taken, or \"----------- using old PATH\" for an entry kept",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "a headfirst_* job or comptgas made the entry files in icons_ready",
         "none: the game reads the new icons.lod"},

        {"updatelod_events", Workflow::Lod,
         "rebuilds the zund7 events archive, taking the ready entry files where there are any",
         {
             {Kind::File, Reads, "c:\\games\\ZUND7\\data\\events1.lod", "rb", "the source archive, 198 entries"},
             {Kind::Folder, Reads, "c:\\games\\zund7\\xfiles\\events_ready\\", "rb",
              "a header-first entry file for each entry that changes", "NNNN_name.zl"},
             {Kind::File, Writes, "c:\\games\\ZUND7\\data\\events.lod", "wb",
              "the new archive, which takes the place of the game's only once it is complete"},
         },
         "the path of each ready entry file taken, or \"----------- using old PATH\" for an entry kept",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "headfirst_events made the entry files, which were put into events_ready",
         "none: the game reads the new events.lod"},

        {"rebuildlod_ordered", Workflow::Lod,
         "writes the Starhold VI icons archive wholly from entry files, their data in the built-in table order",
         {
             {Kind::File, Reads, "c:\\games\\Starhold VI\\data\\icons1.lod", "rb",
              "head and directory of the source archive, 2703 entries"},
             {Kind::Folder, Reads, "c:\\games\\zundfiles\\icons\\", "rb",
              "the header-first entry file of every entry: all 2703 must be there", "NNNN_name.zl"},
             {Kind::File, Writes, "c:\\games\\Starhold VI\\data\\icons.lod", "wb",
              "the new archive, which takes the place of the game's only once it is complete"},
         },
         "\"get size for PATH\" for each entry file, then \"processing PATH...\" as each is copied",
         {{"Can't create file PATH", 1, "an entry file cannot be opened"}, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "the entry files were made with the headfirst_* jobs and put into zundfiles\\icons",
         "none: the game reads the new icons.lod"},

        {"icontable", Workflow::Lod,
         "turns a list of index and position lines into a data-order table file",
         {
             {Kind::File, Reads, "e:\\games\\icons.txt", "rt",
              "2703 lines of index, tab, position (as extractlod_icons lists them)"},
             {Kind::File, Writes, "e:\\games\\icons.dat", "wb", "the table: 2703 u16 records, the indexes in order"},
         },
         "",
         {kCantOpen, kCantWrite, kDamaged},
         "extractlod_icons writes such a list of an archive's data positions",
         "none: the table has the layout of the data order built into rebuildlod_ordered"},
    };
    return jobs;
}

} // namespace about
