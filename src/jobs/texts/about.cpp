// What the jobs of this folder are about (see jobs/about.hpp).
#include "jobs/about.hpp"

namespace about {

namespace {

const char* const kTodo = "c:\\games\\zund7\\xfiles\\todo.txt";
const char* const kText = "c:\\games\\zund7\\xfiles\\text\\";
const char* const kDone = "c:\\games\\zund7\\xfiles\\text_!\\";
const char* const kReady = "c:\\games\\zund7\\xfiles\\text\\zund7_ready_rus_str.txt";

const Message kRefused = {
    "Refused: COUNT problems listed above; the ready list is not written", 1,
    "something would put a translation in the wrong place or corrupt a cell; each problem is listed before, with "
    "its file, line, key and what is wrong, and an existing ready list stays as it was"};

} // namespace

const std::vector<Job>& texts_jobs() {
    static const std::vector<Job> jobs = {
        {"maskbreaks", Workflow::Texts,
         "masks the line breaks inside table cells, so that every table row is one line",
         {
             {Kind::Search, Rewrites, "c:\\games\\zund7\\xfiles\\text\\*.txt", "rb, then wb",
              "each file, its bare line feeds turned into \"@\"; a file is replaced only once its new content is "
              "complete"},
         },
         "",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "none: the tables of the folder text as the game has them",
         "dumptodo, or exportpo"},

        {"dumptodo", Workflow::Texts,
         "writes the numbered translation list of the listed table columns and string files, with byte total "
         "and price",
         {
             {Kind::File, Reads, kTodo, "rt",
              "the table list: table names with the column numbers to translate, then string-file names"},
             {Kind::Folder, Reads, kText, "rt, rb", "the listed tables (rt) and string files (rb)", "NAME"},
             {Kind::File, Writes, "c:\\games\\zund7\\xfiles\\text\\!out!.txt", "wt",
              "one numbered record per text, with the line the translation goes in place of; at the end the byte "
              "total and the price"},
         },
         "",
         {kCantOpen, kCantWrite, kDamaged},
         "maskbreaks",
         "a translator writes each translation in place of its placeholder line; then collecttodo"},

        {"exportpo", Workflow::Texts,
         "writes the texts of the numbered list as a gettext PO template for translation tools",
         {
             {Kind::File, Reads, kTodo, "rt",
              "the table list: table names with the column numbers to translate, then string-file names"},
             {Kind::Folder, Reads, kText, "rt, rb", "the listed tables (rt) and string files (rb)", "NAME"},
             {Kind::File, Writes, "c:\\games\\zund7\\xfiles\\zund7.pot", "wb",
              "the template, UTF-8: one entry per distinct text of a column or string file, keyed by the file and "
              "column, with every line it is in; replaced only once complete"},
         },
         "one line at the end: the number of entries and of texts",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "maskbreaks",
         "the team makes zund7.po of the template (msginit -l ru, or a translation tool) and translates it; "
         "msgmerge brings it up to a newer template; then importpo"},

        {"importpo", Workflow::Texts,
         "makes the ready list of a translated PO file: each text takes its translation or keeps its own text",
         {
             {Kind::File, Reads, kTodo, "rt", "the table list"},
             {Kind::File, Reads, "c:\\games\\zund7\\xfiles\\zund7.po", "rb",
              "the team's translated copy of zund7.pot, UTF-8"},
             {Kind::Folder, Reads, kText, "rt, rb", "the listed tables and string files as they are now", "NAME"},
             {Kind::File, Writes, kReady, "wt",
              "one line per text, in record order; written only when nothing is wrong"},
         },
         "a line for each problem found; at the end the numbers of texts translated, fuzzy, untranslated and "
         "empty, and of entries for texts no longer in the tables",
         {kRefused, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "exportpo wrote zund7.pot; the team translated a copy of it, zund7.po",
         "applytodo_ready"},

        {"collecttodo", Workflow::Texts,
         "makes the ready list of the numbered list filled in with translations, checked against the tables",
         {
             {Kind::File, Reads, kTodo, "rt", "the table list"},
             {Kind::File, Reads, "c:\\games\\zund7\\xfiles\\text\\!out!.txt", "rb",
              "dumptodo's list with a translation in place of each placeholder line; Windows-1251, or UTF-8 when "
              "saved so"},
             {Kind::Folder, Reads, kText, "rt, rb", "the listed tables and string files as they are now", "NAME"},
             {Kind::File, Writes, kReady, "wt",
              "one line per text, in record order; written only when nothing is wrong"},
         },
         "a line for each problem found; at the end the numbers of texts translated, untranslated and empty",
         {kRefused, kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "dumptodo wrote the list; a translator wrote each translation in place of its placeholder line",
         "applytodo_ready"},

        {"applytodo_ready", Workflow::Texts,
         "writes the translations back into the listed tables and string files, as new files in text_!",
         {
             {Kind::File, Reads, kTodo, "rt", "the table list"},
             {Kind::File, Reads, kReady, "rt", "the translations, one per line in record order"},
             {Kind::Folder, Reads, kText, "rt, rb", "the listed tables and string files, never changed", "NAME"},
             {Kind::Folder, Writes, kDone, "wb, wt", "the translated tables and string files", "NAME"},
             {Kind::File, Writes, "c:\\games\\zund7\\xfiles\\text_!\\temp.txt", "wt, then rb",
              "each table pass before its result takes the table's place"},
         },
         "",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "importpo or collecttodo made the ready list text\\zund7_ready_rus_str.txt",
         "unmaskbreaks"},

        {"applytodo_threeline", Workflow::Texts,
         "writes translations of three lines each back into the listed tables, as new files in text_!",
         {
             {Kind::File, Reads, kTodo, "rt", "the table list (its table section)"},
             {Kind::File, Reads, "c:\\games\\zund7\\xfiles\\text\\stylus.txt", "rt",
              "the translations: three lines per text, three more after each column pass"},
             {Kind::Folder, Reads, kText, "rt", "the listed tables, never changed", "NAME"},
             {Kind::Folder, Writes, kDone, "wb", "the translated tables", "NAME"},
             {Kind::File, Writes, "c:\\games\\zund7\\xfiles\\text_!\\temp.txt", "wt, then rb",
              "each table pass before its result takes the table's place"},
         },
         "",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "the translations came back as text\\stylus.txt, laid out as readtables lays out its dump",
         "unmaskbreaks"},

        {"unmaskbreaks", Workflow::Texts,
         "restores the line breaks inside the cells of the translated tables",
         {
             {Kind::Search, Rewrites, "c:\\games\\zund7\\xfiles\\text_!\\*.txt", "rb, then wb",
              "each file, every \"@\" but a first byte turned back into a line feed; a file is replaced only once "
              "its new content is complete"},
         },
         "",
         {kCantOpen, kCantWrite, kCantReplace, kDamaged},
         "applytodo_ready or applytodo_threeline",
         "none: the tables of text_! are ready for the game"},

        {"readtables", Workflow::Texts,
         "dumps the listed columns of the sixth title's English tables and its string file for review",
         {
             {Kind::File, Reads, "c:\\games\\zund6\\xfiles\\zund6.txt", "rt",
              "the table list: table names with their column numbers"},
             {Kind::Folder, Reads, "c:\\games\\zund6eng\\xfiles\\icons_txt_str\\", "rt", "the listed tables",
              "NAME"},
             {Kind::File, Reads, "c:\\games\\zund6eng\\xfiles\\icons_txt_str\\all.str", "rb", "the string file"},
             {Kind::File, Writes, "c:\\games\\zund6eng\\xfiles\\icons_txt_str\\!out!.txt", "wt",
              "each listed column and each string, followed by a separator line naming its source"},
         },
         "",
         {kCantOpen, kCantWrite, kDamaged},
         "the English tables and all.str, unpacked outside from entry files such as extractlod_strs writes",
         "none: the dump is read by people"},

        {"openbigtext", Workflow::Texts,
         "checks that the three parallel text files of the folder bigtext can be opened",
         {
             {Kind::File, Reads, "c:\\games\\zund7\\xfiles\\bigtext\\zund6eng.txt", "rt",
              "the sixth title's texts in English; opened and closed, not read"},
             {Kind::File, Reads, "c:\\games\\zund7\\xfiles\\bigtext\\zund6rus.txt", "rt",
              "the sixth title's texts in Russian; opened and closed, not read"},
             {Kind::File, Reads, "c:\\games\\zund7\\xfiles\\bigtext\\zund7eng.txt", "rb",
              "the seventh title's texts in English; opened and closed, not read"},
         },
         "",
         {kCantOpen},
         "none",
         "none"},
    };
    return jobs;
}

} // namespace about
