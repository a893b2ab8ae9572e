// The text-table jobs (readtables, dumptodo, applytodo_ready,
// applytodo_threeline, maskbreaks, unmaskbreaks, openbigtext) and dumptextbin,
// run as executables on tables, lists and string files built here.
#include "support/jobtest.hpp"
#include "support/texts_builders.hpp"

#include "platform/win.hpp"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace {

using namespace texts;

// ---------------------------------------------------------------------------
// readtables

class ReadTables : public JobTest {};

TEST_F(ReadTables, DumpsListedColumnsThenTheStrings) {
    put(kZund6List, crlf("t1.txt\n2\n1\n.\nt2.txt\n3\n0\n-1\n.\nt1.txt\n2\n.\nunused.txt\n.\n.\n"));
    // A tab in a line's first byte belongs to column 1; the last line has no
    // line feed and keeps its whole last field.
    put(kIcons + "t1.txt", crlf("\tA\tB\nx\ty\nsolo\n") + "p\tq");
    put(kIcons + "t2.txt", crlf("a\tb\tc\na\tb\na\tb\t\n"));
    put(kIcons + "all.str", Bytes{'o', 'n', 'e', 0, 0, 't', 'w', 'o'}); // the last string lacks its NUL

    expect_run(run("readtables"), 0, {});
    std::string want = dump("B", "t1.txt", 2) + dump("y", "t1.txt", 2) + dump("q", "t1.txt", 2) +
                       dump("\tA", "t1.txt", 1) + dump("x", "t1.txt", 1) + dump("solo", "t1.txt", 1) +
                       dump("p", "t1.txt", 1) +
                       dump("c", "t2.txt", 3) + dump("", "t2.txt", 3) + // fewer tabs: no record
                       dump("B", "t1.txt", 2) + dump("y", "t1.txt", 2) + dump("q", "t1.txt", 2) +
                       dump_str("one") + dump_str("") + dump_str("two");
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(want));
}

TEST_F(ReadTables, ListsThatEndEarlyOrHoldNoTables) {
    put(kIcons + "all.str", Bytes{'s', 0});
    put(kZund6List, crlf(".\n"));
    expect_run(run("readtables"), 0, {});
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(dump_str("s")));

    // The end of the list file ends the list; a last "." without line feed
    // still closes its block.
    put(kIcons + "t.txt", crlf("a\tb\n"));
    put(kZund6List, crlf("t.txt\n2"));
    expect_run(run("readtables"), 0, {});
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(dump("b", "t.txt", 2) + dump_str("s")));
    put(kZund6List, crlf("t.txt\n1\n."));
    expect_run(run("readtables"), 0, {});
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(dump("a", "t.txt", 1) + dump_str("s")));

    // A block without column numbers never opens its table.
    put(kZund6List, crlf("missing.txt\n.\n.\n"));
    put(kIcons + "all.str", Bytes{});
    expect_run(run("readtables"), 0, {});
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), "");
}

TEST_F(ReadTables, LinesAreSearchedOnlyInTheirFirst63488Bytes) {
    put(kZund6List, crlf("long.txt\n2\n3\n.\n.\n"));
    // Column 2 runs into the cut and ends one byte before it; the tab past
    // the cut opens no column 3.
    put(kIcons + "long.txt", crlf("A\t" + std::string(70000, 'x') + "\tz\n"));
    put(kIcons + "all.str", Bytes{});
    expect_run(run("readtables"), 0, {});
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(dump(std::string(63485, 'x'), "long.txt", 2)));
}

TEST_F(ReadTables, MissingFilesStopTheDump) {
    expect_run(run("readtables"), 1, {"Can't open"});
    put(kZund6List, crlf("t.txt\n1\n.\ngone.txt\n0\n.\n.\n"));
    // No working folder: nothing is written anywhere else.
    expect_run(run("readtables"), 1, {"Can't open"});
    EXPECT_FALSE(has("c:\\!out!.txt"));

    // A table whose column number names no column must still open; the
    // records written before it stay.
    put(kIcons + "t.txt", crlf("v\n"));
    expect_run(run("readtables"), 1, {"Can't open"});
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(dump("v", "t.txt", 1)));

    put(kZund6List, crlf("t.txt\n1\n.\n.\n"));
    expect_run(run("readtables"), 1, {"Can't open"}); // no all.str
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(dump("v", "t.txt", 1)));

    put(kZund6List, crlf("t.txt\n1\n.\n!out!.txt\n1\n.\n.\n"));
    expect_run(run("readtables"), 1,
               {"Damaged file c:\\games\\zund6\\xfiles\\zund6.txt: it lists the output !out!.txt as a table"});
    EXPECT_EQ(get_text(kIcons + "!out!.txt"), crlf(dump("v", "t.txt", 1)));
}

// ---------------------------------------------------------------------------
// dumptodo

class DumpTodo : public JobTest {};

TEST_F(DumpTodo, NumbersTheTextsOfTablesAndStringFiles) {
    put(kTodo, crlf("a.txt\n2\n1\n.\n.\ns.str\n.\n"));
    // The first tab search starts at the first byte: column 2 of tab-A-tab-B
    // is A. Masked breaks, braces and backslashes pass unchanged, and so
    // does a Ctrl-Z, which ends nothing (the Windows runtime would stop
    // reading the table there).
    put(kText + "a.txt", crlf("\tA\tB\nx@y\t{b}\\\nn\x1A\nz\n"));
    put(kText + "s.str", Bytes{'h', 'i', 0, 0, 'e', 'n', 'd', 's'});

    expect_run(run("dumptodo"), 0, {});
    std::string want = record(0, "a.txt", "A") + record(1, "a.txt", "{b}\\") + record(2, "a.txt", "") +
                       record(3, "a.txt", "x@y") + record(4, "a.txt", "n\x1A") + record(5, "a.txt", "z") +
                       record(6, "s.str", "hi") + record(7, "s.str", "") + record(8, "s.str", "ends") +
                       summary(17, "0.006641");
    EXPECT_EQ(get_text(kText + "!out!.txt"), crlf(want));
}

TEST_F(DumpTodo, TheCostIsFortyCentsPer1024Bytes) {
    put(kTodo, crlf(".\n.\n"));
    mkdirs(kText);
    expect_run(run("dumptodo"), 0, {});
    EXPECT_EQ(get_text(kText + "!out!.txt"), crlf(summary(0, "0.000000")));

    put(kTodo, crlf(".\ns.str\n.\n"));
    for (auto [size, cost] : {std::pair<size_t, std::string>{1024, "0.400000"}, {2560, "1.000000"}}) {
        std::string text(size, 'w');
        put(kText + "s.str", text + '\0');
        expect_run(run("dumptodo"), 0, {});
        EXPECT_EQ(get_text(kText + "!out!.txt"), crlf(record(0, "s.str", text) + summary(unsigned(size), cost)));
    }
}

TEST_F(DumpTodo, RecordNumbersWidenPast99999) {
    put(kTodo, crlf("t.txt\n1\n.\n.\nempty.str\n.\n"));
    put(kText + "t.txt", crlf("first\n"));
    put(kText + "empty.str", Bytes(100000, 0)); // records 1 to 100000
    expect_run(run("dumptodo"), 0, {});
    std::string out = get_text(kText + "!out!.txt");
    std::string tail = crlf(record(99999, "empty.str", "") + record(100000, "empty.str", "") + summary(5, "0.001953"));
    ASSERT_GT(out.size(), tail.size());
    EXPECT_EQ(out.substr(0, 12), "{00000}{t.tx");
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST_F(DumpTodo, TheOutputListedAsATableStopsTheJob) {
    // Read while it is written, the list would grow until the disk is full.
    put(kTodo, crlf("a.txt\n1\n.\n.\\!OUT!.TXT\n1\n.\n.\n.\n"));
    std::string table, want;
    for (int i = 0; i < 400; ++i) {
        table += "line " + std::to_string(i) + "\n";
        want += record(i, "a.txt", "line " + std::to_string(i));
    }
    put(kText + "a.txt", crlf(table));
    RunOptions small_disk; // should the job loop, it stops at a full disk
    small_disk.file_size_limit = 1 << 20;
    expect_run(run("dumptodo", "c:\\", small_disk), 1,
               {"Damaged file c:\\games\\zund7\\xfiles\\todo.txt: it lists the output .\\!OUT!.TXT as a table"});
    EXPECT_EQ(get_text(kText + "!out!.txt"), crlf(want));
}

TEST_F(DumpTodo, AMissingFileStopsBeforeTheSummary) {
    put(kTodo, crlf("a.txt\n1\n.\n.\ngone.str\n.\n"));
    put(kText + "a.txt", crlf("v\n"));
    expect_run(run("dumptodo"), 1, {"Can't open"});
    EXPECT_EQ(get_text(kText + "!out!.txt"), crlf(record(0, "a.txt", "v")));
}

// ---------------------------------------------------------------------------
// applytodo_ready and applytodo_threeline

class ApplyTodo : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        mkdirs(kDone);
    }
};

TEST_F(ApplyTodo, ReadyListReplacesColumnsPassByPassAndRewritesStrings) {
    put(kTodo, crlf("a.txt\n2\n1\n.\nb.txt\n1\n.\nb.txt\n2\n.\n.\ns.str\n.\n"));
    put(kText + "a.txt", crlf("k1\tv1\tz\nsolo\n") + "k2\tv2");
    put(kText + "b.txt", crlf("x\ty\n"));
    put(kText + "s.str", Bytes{'o', 'n', 'e', 0, 0, 't', 'h', 'r', 'e', 'e', 0});
    put(kDone + "b.txt", "stale");
    // An empty translation empties its field; a translation with a tab adds
    // a column; the last line, without line feed, keeps its last character.
    put(kReady, crlf("\nW2\nK\t1\nSOLO\nK2\nX\nY\nONE\nE\n") + "THREE");

    expect_run(run("applytodo_ready"), 0, {});
    // The second pass of a block works on the first pass's result.
    EXPECT_EQ(get_text(kDone + "a.txt"), crlf("K\t1\t\tz\nSOLO\n") + "K2\tW2");
    // A table listed again starts over from the untranslated table.
    EXPECT_EQ(get_text(kDone + "b.txt"), crlf("x\tY\n"));
    EXPECT_EQ(get(kDone + "s.str"), Bytes({'O', 'N', 'E', 0, 'E', 0, 'T', 'H', 'R', 'E', 'E', 0}));
    EXPECT_EQ(get_text(kDone + "temp.txt"), crlf("x\tY\n"));
    EXPECT_EQ(get_text(kText + "a.txt"), crlf("k1\tv1\tz\nsolo\n") + "k2\tv2"); // the sources stay
}

TEST_F(ApplyTodo, TranslationsThatRunOutStopAndKeepTheOldResult) {
    put(kTodo, crlf("a.txt\n1\n.\n.\n.\n"));
    put(kText + "a.txt", crlf("one\ntwo\nthree\n"));
    put(kDone + "a.txt", "previous result");
    put(kReady, crlf("ONE\nTWO\n"));
    expect_run(run("applytodo_ready"), 1,
               {"Damaged file zund7_ready_rus_str.txt: it ends before the translation of text {00002}"});
    EXPECT_EQ(get_text(kDone + "a.txt"), "previous result");
    EXPECT_EQ(get_text(kDone + "temp.txt"), crlf("ONE\nTWO\n"));

    // The same for a string file: one translation for each of its strings.
    put(kTodo, crlf(".\ns.str\n.\n"));
    put(kText + "s.str", Bytes{'a', 0, 'b', 0, 'c', 0});
    put(kDone + "s.str", "previous");
    expect_run(run("applytodo_ready"), 1,
               {"Damaged file zund7_ready_rus_str.txt: it ends before the translation of text {00002}"});
    EXPECT_EQ(get_text(kDone + "s.str"), "previous");

    // Lines left over are not read.
    put(kReady, crlf("A\nB\nC\nD\nE\n"));
    expect_run(run("applytodo_ready"), 0, {});
    EXPECT_EQ(get(kDone + "s.str"), Bytes({'A', 0, 'B', 0, 'C', 0}));
}

TEST_F(ApplyTodo, TranslationsWithNulBytesStopTheJob) {
    put(kTodo, crlf("a.txt\n1\n.\n.\ns.str\n.\n"));
    put(kText + "a.txt", crlf("one\ntwo\n"));
    put(kText + "s.str", string_file({"x"}));
    put(kDone + "a.txt", "previous result");
    // A ready list saved as UTF-16: every line holds NUL bytes.
    std::string utf16 = "\xFF\xFE";
    for (char c : crlf("ONE\nTWO\nX\n")) utf16 += std::string{c, '\0'};
    put(kReady, utf16);
    expect_run(run("applytodo_ready"), 1,
               {"Damaged file zund7_ready_rus_str.txt: the translation of text {00000} holds a NUL byte"});
    EXPECT_EQ(get_text(kDone + "a.txt"), "previous result");

    // In a string file's translations too: nothing of that file is written.
    put(kReady, crlf("ONE\nTWO\n") + std::string("X\0Y\r\n", 5));
    put(kDone + "s.str", "previous");
    expect_run(run("applytodo_ready"), 1,
               {"Damaged file zund7_ready_rus_str.txt: the translation of text {00002} holds a NUL byte"});
    EXPECT_EQ(get_text(kDone + "a.txt"), crlf("ONE\nTWO\n"));
    EXPECT_EQ(get_text(kDone + "s.str"), "previous");

    // Only the translation lines of stylus.txt count; the skipped ones may
    // hold anything.
    put(kStylus, crlf("ONE\n") + std::string("\0\r\n--\0-\r\n", 9) + std::string("T\0O\r\n\r\n---\r\n", 12));
    expect_run(run("applytodo_threeline"), 1,
               {"Damaged file stylus.txt: the translation of text {00001} holds a NUL byte"});
}

TEST_F(ApplyTodo, LongLinesAreWrittenBackWhole) {
    put(kTodo, crlf("long.txt\n2\n.\n.\n.\n"));
    std::string no_column = "a" + std::string(70000, 'x') + "\n";
    std::string tabbed = "k\tv\t" + std::string(70000, 'y') + "\n";
    put(kText + "long.txt", crlf(no_column + tabbed));
    put(kReady, crlf("V\n"));
    expect_run(run("applytodo_ready"), 0, {});
    EXPECT_EQ(get_text(kDone + "long.txt"), crlf(no_column + "k\tV\t" + std::string(70000, 'y') + "\n"));

    // A column that runs past the cut was listed cut short: it cannot be
    // replaced without losing text.
    put(kText + "long.txt", crlf("k\t" + std::string(70000, 'z') + "\n"));
    expect_run(run("applytodo_ready"), 1, {"Damaged file long.txt: column 2 runs past the first 63488 bytes of a line"});
    EXPECT_EQ(get_text(kDone + "long.txt"), crlf(no_column + "k\tV\t" + std::string(70000, 'y') + "\n"));
}

TEST_F(ApplyTodo, FailedWritesKeepTheOldTables) {
    put(kTodo, crlf("a.txt\n1\n.\n.\n.\n"));
    put(kText + "a.txt", crlf("one\n"));
    put(kReady, crlf("ONE\n"));
    put(kDone + "a.txt", "previous result");
    link(kDone + "temp.txt", "/dev/full");
    expect_run(run("applytodo_ready"), 1, {"Can't write temp.txt"});
    EXPECT_EQ(get_text(kDone + "a.txt"), "previous result");

    std::filesystem::remove(host(kDone + "temp.txt"));
    link(kDone + "a.txt.locbench-new", "/dev/full");
    expect_run(run("applytodo_ready"), 1, {"Can't write a.txt"});
    EXPECT_EQ(get_text(kDone + "a.txt"), "previous result");

    // Without the result folder nothing is written beside the sources.
    std::filesystem::remove_all(host(kDone));
    expect_run(run("applytodo_ready"), 1, {"Can't open"});
    EXPECT_EQ(get_text(kText + "a.txt"), crlf("one\n"));
    EXPECT_FALSE(has(kText + "temp.txt"));
}

TEST_F(ApplyTodo, ThreeLineTranslationsSkipThreeLinesAfterEachPass) {
    // The string-file section is not read: s.str need not exist.
    put(kTodo, crlf("f.txt\n2\n.\nt.txt\n2\n1\n.\ne.txt\n1\n.\n.\ns.str\n.\n"));
    put(kText + "f.txt", "p\tq"); // its pass ends without the three-line skip
    put(kText + "t.txt", crlf("\tA\tB\nc\td\n"));
    put(kText + "e.txt", "");     // an empty table still takes the skip
    put(kStylus, crlf("F0\n\n---\n"
                      "T1\n\n---\nT2\n\n---\n#\n#\n#\n"
                      "T3\n\n---\nT4\n\n---\n#\n#\n")); // the last skipped lines may be missing
    expect_run(run("applytodo_threeline"), 0, {});
    EXPECT_EQ(get_text(kDone + "f.txt"), "p\tF0");
    // The first tab search starts at the second byte: "\tA" is column 1.
    EXPECT_EQ(get_text(kDone + "t.txt"), crlf("T3\tT1\nT4\tT2\n"));
    EXPECT_EQ(get_text(kDone + "e.txt"), "");
    EXPECT_FALSE(has(kDone + "s.str"));

    put(kStylus, crlf("F0\n\n---\nT1\n\n---\n"));
    expect_run(run("applytodo_threeline"), 1, {"Damaged file stylus.txt: it ends before the translation of text {00002}"});
}

// ---------------------------------------------------------------------------
// exportpo, importpo and collecttodo

const std::string kPotHeader =
    "# The texts of zund7 that todo.txt lists, for translation.\n"
    "# Made by exportpo. Translate a copy named zund7.po; importpo makes the ready list of it.\n"
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Project-Id-Version: zund7\\n\"\n"
    "\"Report-Msgid-Bugs-To: \\n\"\n"
    "\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"\n"
    "\"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n\"\n"
    "\"Language-Team: LANGUAGE <LL@li.org>\\n\"\n"
    "\"Language: \\n\"\n"
    "\"MIME-Version: 1.0\\n\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"Content-Transfer-Encoding: 8bit\\n\"\n";

class ExportPo : public JobTest {};

TEST_F(ExportPo, OneEntryPerTextOfAColumnWithEveryPlaceItIsIn) {
    // ui.txt is listed again for column 3: nothing new. Its '@' is a masked
    // line break; in "my items.tab", which maskbreaks leaves alone, it stays.
    put(kTodo, crlf("ui.txt\n2\n3\n.\nmy items.tab\n2\n.\nui.txt\n3\n.\n.\nnames.str\nmany.str\n.\n"));
    put(kText + "ui.txt", crlf("id\ttext\tnote\nb1\ttwo@lines\t\"q\" \\ x\nb2\tone\t\nb3\tone\t\xC6\x1A\n\tnoid\tz\n"));
    put(kText + "my items.tab", crlf("sword\tA blade@Sharp\n"));
    put(kText + "names.str", string_file({"Ann", "", "Bob", "Ann"}));
    put(kText + "many.str", string_file(std::vector<std::string>(8, "yes")));

    expect_run(run("exportpo"), 0, {"12 entries for the 28 texts of the list (3 of them empty, left out)"});
    auto entry = [](const std::string& comment, const std::string& refs, const std::string& ctxt,
                    const std::string& id) {
        return "\n" + (comment.empty() ? "" : "#. " + comment + "\n") + refs + "msgctxt \"" + ctxt + "\"\nmsgid " +
               id + "\nmsgstr \"\"\n";
    };
    const std::string want =
        kPotHeader + entry("id", "#: ui.txt:1\n", "ui.txt:2", "\"text\"") +
        entry("b1", "#: ui.txt:2\n", "ui.txt:2", "\"\"\n\"two\\n\"\n\"lines\"") +
        entry("b2", "#: ui.txt:3 ui.txt:4\n", "ui.txt:2", "\"one\"") +
        entry("", "#: ui.txt:5\n", "ui.txt:2", "\"noid\"") + //
        entry("id", "#: ui.txt:1\n", "ui.txt:3", "\"note\"") +
        entry("b1", "#: ui.txt:2\n", "ui.txt:3", "\"\\\"q\\\" \\\\ x\"") +
        entry("b3", "#: ui.txt:4\n", "ui.txt:3", "\"\xD0\x96\x1A\"") + // Ж, Ctrl-Z
        entry("", "#: ui.txt:5\n", "ui.txt:3", "\"z\"") +
        entry("sword", "#: \xE2\x81\xA8my items.tab\xE2\x81\xA9:1\n", "my items.tab:2", "\"A blade@Sharp\"") +
        entry("", "#: names.str:1 names.str:4\n", "names.str", "\"Ann\"") +
        entry("", "#: names.str:3\n", "names.str", "\"Bob\"") +
        entry("",
              "#: many.str:1 many.str:2 many.str:3 many.str:4 many.str:5 many.str:6 many.str:7\n"
              "#: many.str:8\n",
              "many.str", "\"yes\"");
    EXPECT_EQ(get_text(kPot), want);

    // The same tables give the same bytes.
    expect_run(run("exportpo"), 0, {"12 entries for the 28 texts of the list (3 of them empty, left out)"});
    EXPECT_EQ(get_text(kPot), want);

    // gettext ends a text at a NUL byte: such a table is refused, and the
    // template stays as it was.
    put(kText + "ui.txt", crlf("id\ttext\tnote\nb1\ttw") + std::string("o\0", 2) + crlf("\tx\n"));
    expect_run(run("exportpo"), 1, {"Damaged file ui.txt: line 2 holds a NUL byte in column 2"});
    EXPECT_EQ(get_text(kPot), want);
}

// The tables of the import tests: nine texts, one of them empty.
class Import : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        make_tables();
    }
    // Empties the drives and makes the tables again.
    void make_tables() {
        reset_drives();
        put(kTodo, crlf("ui.txt\n2\n.\nitems.tab\n2\n.\n.\nnames.str\n.\n"));
        put(kText + "ui.txt", crlf("id\ttext\nb1\ttwo@lines\nb2\tone\nb3\tone\nb4\tedited\nb5\t\n"));
        put(kText + "items.tab", crlf("sword\tA blade\n"));
        put(kText + "names.str", string_file({"Ann", "Bob"}));
    }
    // Runs `job`, which must refuse with `problems`, and leave the ready
    // list as it was.
    void expect_refused(const std::string& job, const std::vector<std::string>& problems) {
        put(kReady, "previous\r\n");
        std::vector<std::string> lines = problems;
        lines.push_back(problems.size() == 1
                            ? "Refused: 1 problem listed above; the ready list is not written"
                            : "Refused: " + std::to_string(problems.size()) +
                                  " problems listed above; the ready list is not written");
        expect_run(run(job), 1, lines);
        EXPECT_EQ(get_text(kReady), "previous\r\n");
        for (const std::string& name : files(kText)) EXPECT_EQ(name.find(".locbench-new"), std::string::npos);
    }
};

class ImportPo : public Import {};

const std::string kPoHeader = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

TEST_F(ImportPo, TranslatedEntriesOnlyTakeTheirTextsPlace) {
    // CR LF line ends; a fuzzy entry, an empty msgstr, no entry for an edited
    // text, an entry for a text gone, an obsolete entry.
    put(kPo, crlf(kPoHeader +
                  "#: ui.txt:1\nmsgctxt \"ui.txt:2\"\nmsgid \"text\"\nmsgstr \"\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82\"\n\n"
                  "msgctxt \"ui.txt:2\"\nmsgid \"\"\n\"two\\n\"\n\"lines\"\nmsgstr \"\"\n\"two\\n\"\n\"LINES\"\n\n"
                  "#, fuzzy\nmsgctxt \"ui.txt:2\"\nmsgid \"one\"\nmsgstr \"ONE?\"\n\n"
                  "msgctxt \"ui.txt:2\"\nmsgid \"old text\"\nmsgstr \"OLD\"\n\n"
                  "msgctxt \"items.tab:2\"\nmsgid \"A blade\"\nmsgstr \"\"\n\n"
                  "#, fuzzy\n#~ msgctxt \"names.str\"\n#~ msgid \"Bob\"\n#~ msgstr \"OBSOLETE\"\n\n"
                  "msgctxt \"names.str\"\nmsgid \"Ann\"\nmsgstr \"\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0\"\n"));
    expect_run(run("importpo"), 0,
               {"9 texts: 3 translated, 2 fuzzy, 3 untranslated, 1 empty; "
                "entries for texts no longer in the tables: 1"});
    EXPECT_EQ(get_text(kReady), crlf("\xF2\xE5\xEA\xF1\xF2\ntwo@LINES\none\none\nedited\n\nA blade\n"
                                     "\xC0\xED\xED\xE0\nBob\n"));

    std::filesystem::remove(host(kPo));
    expect_run(run("importpo"), 1, {"Can't open"});
}

struct Refusal {
    std::string name;
    std::string po;                       // after the header
    std::function<void(JobTest&)> change; // to the tables
    std::vector<std::string> problems;
};

TEST_F(ImportPo, RefusedWithEveryProblemListed) {
    const std::string po = kPo + ":";
    const std::string ui = "msgctxt \"ui.txt:2\"\nmsgid \"text\"\n";
    const std::vector<Refusal> cases = {
        {"not PO", "msgctxt \"ui.txt:2\"\nmsgid \"text\nmsgstr \"x\"\n", {}, {po + "6: the string has no closing quote"}},
        {"not UTF-8", ui + "msgstr \"\xF2\xE5\xEA\xF1\xF2\"\n", {},
         {po + "5: msgctxt \"ui.txt:2\": its msgstr holds bytes that are not UTF-8"}},
        {"a character Windows-1251 lacks", ui + "msgstr \"snow \xE2\x98\x83\"\n", {},
         {po + "5: msgctxt \"ui.txt:2\": the translation holds U+2603, which Windows-1251 cannot hold"}},
        {"a tab in a table", ui + "msgstr \"a\\tb\"\n", {},
         {po + "5: msgctxt \"ui.txt:2\": the translation holds a tab, which would split its cell"}},
        {"a line break but in a .txt file", "msgctxt \"items.tab:2\"\nmsgid \"A blade\"\nmsgstr \"A\\nblade\"\n", {},
         {po + "5: msgctxt \"items.tab:2\": the translation holds a line break, which only the texts of .txt "
               "files can hold"}},
        {"a line break in a string", "msgctxt \"names.str\"\nmsgid \"Ann\"\nmsgstr \"A\\nnn\"\n", {},
         {po + "5: msgctxt \"names.str\": the translation holds a line break, which only the texts of .txt files "
               "can hold"}},
        {"a CR", ui + "msgstr \"a\\rb\"\n", {}, {po + "5: msgctxt \"ui.txt:2\": the translation holds a carriage return"}},
        {"a NUL", ui + "msgstr \"a\\000b\"\n", {}, {po + "5: msgctxt \"ui.txt:2\": the translation holds a NUL byte"}},
        {"a plural entry", ui + "msgid_plural \"texts\"\nmsgstr[0] \"a\"\nmsgstr[1] \"b\"\n", {},
         {po + "5: msgctxt \"ui.txt:2\": a plural entry (msgid_plural): no text of the tables has one"}},
        {"an untranslated string with a line feed", "",
         [](JobTest& t) { t.put(kText + "names.str", string_file({"Ann", "Bob", "Li\nne"})); },
         {"names.str:3: {00009}: its text holds a line feed, which would split its line of the ready list: "
          "translate it without one"}},
        {"every problem", ui + "msgstr \"a\\tb\"\n\n" + ui + "msgstr \"c\"\n\nmsgctxt \"names.str\"\nmsgid \"Bob\"\nmsgstr \"B\\nob\"\n",
         {},
         {po + "9: msgctxt \"ui.txt:2\": a second entry for the same text; the first is at line 5",
          po + "5: msgctxt \"ui.txt:2\": the translation holds a tab, which would split its cell",
          po + "13: msgctxt \"names.str\": the translation holds a line break, which only the texts of .txt files "
               "can hold"}},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        make_tables();
        put(kPo, kPoHeader + c.po);
        if (c.change) c.change(*this);
        expect_refused("importpo", c.problems);
    }

    // Another charset: told at once.
    make_tables();
    put(kPo, "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=windows-1251\\n\"\n\n" + ui + "msgstr \"\xF2\"\n");
    expect_refused("importpo",
                   {po + "1: the header gives the charset windows-1251; only UTF-8 is read: save the file as UTF-8"});
}

class CollectTodo : public Import {
protected:
    // dumptodo's list, filled in by `tr`.
    std::string filled(const std::function<std::optional<std::string>(const Record& r)>& tr) {
        expect_run(run("dumptodo"), 0, {});
        return fill_list(get_text(kList), tr);
    }
};

// Russian for some of the texts, in Windows-1251; the rest keep their
// placeholders.
std::optional<std::string> russian(const Record& r) {
    if (r.text == "text") return std::string("\xF2\xE5\xEA\xF1\xF2");
    if (r.text == "two@lines") return std::string("\xE4\xE2\xE5@\xF1\xF2\xF0\xEE\xEA\xE8");
    if (r.text == "Ann") return std::string("\xC0\xED\xED\xE0");
    if (r.text.empty()) return std::string("");
    return std::nullopt;
}

TEST_F(CollectTodo, PlaceholdersLeftKeepTheirTextsAndUtf8ListsAreConverted) {
    const std::string list = filled(russian);
    const std::string ready = crlf("\xF2\xE5\xEA\xF1\xF2\n\xE4\xE2\xE5@\xF1\xF2\xF0\xEE\xEA\xE8\none\none\nedited\n\n"
                                   "A blade\n\xC0\xED\xED\xE0\nBob\n");
    const std::vector<std::string> summary = {
        "9 texts: 3 translated, 0 fuzzy, 5 untranslated, 1 empty; entries for texts no longer in the tables: 0"};
    for (const std::string& saved : {list, "\xEF\xBB\xBF" + win::to_utf8(list), win::to_utf8(list)}) {
        put(kList, saved);
        put(kReady, "previous\r\n");
        expect_run(run("collecttodo"), 0, summary);
        EXPECT_EQ(get_text(kReady), ready);
    }
}

// The lines of a list, CR LF split off, and joined again.
std::vector<std::string> lines_of(const std::string& list) {
    std::vector<std::string> v;
    for (size_t p = 0; p < list.size();) {
        size_t e = list.find("\r\n", p);
        v.push_back(list.substr(p, e - p));
        p = e + 2;
    }
    return v;
}
std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

TEST_F(CollectTodo, RefusedWithEveryProblemListed) {
    using Lines = std::vector<std::string>;
    const std::string at = kList + ":";
    // Record i of the list is on lines 4i+1 to 4i+4 (from 1); index 4i in `Lines`.
    struct Case {
        std::string name;
        std::function<void(Lines&)> edit;
        std::function<void(JobTest&)> change; // to the tables, after dumptodo
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases = {
        {"a record missing", [](Lines& l) { l.erase(l.begin() + 8, l.begin() + 12); }, {},
         {at + "9: {00002}: missing"}},
        {"a record doubled", [](Lines& l) { l.insert(l.begin() + 8, l.begin() + 4, l.begin() + 8); }, {},
         {at + "9: {00001}: doubled or out of order: {00002} is expected here"}},
        {"two records swapped",
         [](Lines& l) { std::rotate(l.begin() + 4, l.begin() + 8, l.begin() + 12); }, {},
         {at + "5: {00001}: missing", at + "9: {00001}: doubled or out of order: {00003} is expected here"}},
        {"a text edited since", {},
         [](JobTest& t) { t.put(kText + "ui.txt", crlf("id\ttext\nb1\ttwo@lines\nb2\tone\nb3\tone\nb4\tEDITED!\nb5\t\n")); },
         {at + "17: {00004} ui.txt: its text no longer matches the text at ui.txt:5"}},
        {"a translation over two lines", [](Lines& l) { l.insert(l.begin() + 3, "more"); }, {},
         {at + "1: {00000}: the translation runs over 2 lines: write it on one line, with '@' for a line break"}},
        {"a record not closed", [](Lines& l) { l.erase(l.begin() + 3); }, {},
         {at + "1: {00000}: its lines are damaged: the line \\\\ that closes it is missing"}},
        {"a record's first line damaged", [](Lines& l) { l[4].erase(7, 1); }, {},
         {at + "5: {00001}: its lines are damaged: its first line is not {number}{file}{length}{text} as dumptodo "
               "wrote it"}},
        {"a line outside the records", [](Lines& l) { l.insert(l.begin() + 4, "stray"); }, {},
         {at + "5: a line outside any record (a translation goes in place of the placeholder, on one line)"}},
        {"a record past the last text",
         [](Lines& l) {
             Lines last(l.begin() + 32, l.begin() + 36);
             last[0].replace(0, 7, "{00009}");
             l.insert(l.begin() + 36, last.begin(), last.end());
         },
         {}, {at + "37: {00009}: 1 record past the last text of the tables, which give 9 texts"}},
        {"a tab in a table's translation", [](Lines& l) { l[2] = "a\tb"; }, {},
         {at + "1: {00000}: the translation holds a tab, which would split its cell"}},
        {"a character Windows-1251 lacks (UTF-8)",
         [](Lines& l) {
             for (std::string& s : l) s = win::to_utf8(s);
             l[0] = "\xEF\xBB\xBF" + l[0];
             l[2] = "snow \xE2\x98\x83";
         },
         {}, {at + "3: U+2603, which Windows-1251 cannot hold"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make_tables();
        Lines l = lines_of(filled(russian));
        if (c.edit) c.edit(l);
        put(kList, joined(l));
        if (c.change) c.change(*this);
        expect_refused("collecttodo", c.problems);
    }

    // A string with a line feed spans lines of the list; left untranslated it
    // cannot stand on one line of the ready list.
    make_tables();
    put(kText + "names.str", string_file({"Ann", "Bob", "Li\nne"}));
    put(kList, filled(russian));
    expect_refused("collecttodo", {"names.str:3: {00009}: its text holds a line feed, which would split its line of "
                                   "the ready list: translate it without one"});
}

// ---------------------------------------------------------------------------
// maskbreaks and unmaskbreaks

class MaskBreaks : public JobTest {};

TEST_F(MaskBreaks, MasksBareLineFeedsOfEveryTxtFile) {
    put(kText + "m1.txt", "a\r\nb");
    put(kText + "m2.txt", "a\nb");
    put(kText + "m3.txt", "a\n\nb");
    put(kText + "m4.txt", "a\r\n\nb");
    put(kText + "m5.txt", "\nab\n"); // the first byte is never changed
    put(kText + "EMPTY.TXT", "");
    put(kText + "other.dat", "a\nb");
    for (int pass = 0; pass < 2; ++pass) { // a second run changes nothing
        expect_run(run("maskbreaks"), 0, {});
        EXPECT_EQ(get_text(kText + "m1.txt"), "a\r\nb");
        EXPECT_EQ(get_text(kText + "m2.txt"), "a@b");
        EXPECT_EQ(get_text(kText + "m3.txt"), "a@@b");
        EXPECT_EQ(get_text(kText + "m4.txt"), "a\r\n@b");
        EXPECT_EQ(get_text(kText + "m5.txt"), "\nab@");
        EXPECT_EQ(get_text(kText + "EMPTY.TXT"), "");
        EXPECT_EQ(get_text(kText + "other.dat"), "a\nb");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(host(kText)), {}), 7);
}

TEST_F(MaskBreaks, UnmaskTurnsEveryAtSignBackButTheFirstByte) {
    put(kDone + "t.txt", "@a@b\r\n@@");
    put(kDone + "keep.str", "@x@");
    expect_run(run("unmaskbreaks"), 0, {});
    EXPECT_EQ(get_text(kDone + "t.txt"), "@a\nb\r\n\n\n");
    EXPECT_EQ(get_text(kDone + "keep.str"), "@x@");
}

TEST_F(MaskBreaks, FailuresLeaveTheFilesWhole) {
    expect_run(run("maskbreaks"), 1, {"Can't open"}); // no folder
    mkdirs(kText);
    expect_run(run("maskbreaks"), 0, {});              // no .txt file

    put(kText + "a.txt", "1\n2");
    put(kText + "b.txt", "3\n4");
    link(kText + "b.txt.locbench-new", "/dev/full");
    expect_run(run("maskbreaks"), 1, {"Can't write b.txt"});
    EXPECT_EQ(get_text(kText + "a.txt"), "1@2");
    EXPECT_EQ(get_text(kText + "b.txt"), "3\n4");
}

// ---------------------------------------------------------------------------
// openbigtext

class OpenBigText : public JobTest {};

TEST_F(OpenBigText, OpensTheThreeFilesAndChangesNothing) {
    expect_run(run("openbigtext"), 1, {"Can't open"}); // no folder
    put(kBig + "zund6eng.txt", "e6\r\n");
    put(kBig + "zund6rus.txt", "r6\r\n");
    put(kBig + "zund7eng.txt", "e7\n");
    expect_run(run("openbigtext"), 0, {});
    EXPECT_EQ(get_text(kBig + "zund6eng.txt"), "e6\r\n");
    EXPECT_EQ(get_text(kBig + "zund6rus.txt"), "r6\r\n");
    EXPECT_EQ(get_text(kBig + "zund7eng.txt"), "e7\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(host(kBig)), {}), 3);
    for (const char* name : {"zund6eng.txt", "zund6rus.txt", "zund7eng.txt"}) {
        std::filesystem::rename(host(kBig + name), host(kBig + "away"));
        expect_run(run("openbigtext"), 1, {"Can't open"});
        std::filesystem::rename(host(kBig + "away"), host(kBig + name));
    }
}

// ---------------------------------------------------------------------------
// dumptextbin

class DumpTextBin : public JobTest {};

TEST_F(DumpTextBin, OneRecordPerPrintableRun) {
    put(kBin, Bytes{0x41, 0x42, 0x43, 0x00});
    expect_run(run("dumptextbin"), 0, {});
    EXPECT_EQ(get_text(kBinOut), crlf(bin_record("{0000}{00003}{", "ABC")));

    put(kBin, Bytes{});
    expect_run(run("dumptextbin"), 0, {});
    EXPECT_EQ(get_text(kBinOut), "");
}

TEST_F(DumpTextBin, RunsEndAtControlAndHighBytesButTextsAtNul) {
    put(kBin, Bytes{0x00, 'h', 'i', '\n', 'x', 0x00, 0x01, 'Q', 0x00, 'a', 'b', 0xE0, 'c', 'd', 0x00, 0x7F, 'z'});
    expect_run(run("dumptextbin"), 0, {});
    // A line feed is printable and shows as "~"; the text of a run ended by
    // 0xE0 goes on to the NUL, and its rest is listed again.
    EXPECT_EQ(get_text(kBinOut), crlf(bin_record("{0001}{00004}{", "hi~x") + bin_record("{0007}{00001}{", "Q") +
                                      bin_record("{0009}{00005}{", "ab\xE0" "cd") +
                                      bin_record("{000C}{00002}{", "cd") + bin_record("{000F}{00002}{", "\x7Fz")));
}

TEST_F(DumpTextBin, LongTextsAndWideOffsets) {
    Buf b;
    b.fill(70000, 0).fill(1500, 'T').u8(0);
    put(kBin, b.b);
    expect_run(run("dumptextbin"), 0, {});
    EXPECT_EQ(get_text(kBinOut), crlf(bin_record("{11170}{01500}{", std::string(1500, 'T'))));
}

TEST_F(DumpTextBin, Failures) {
    expect_run(run("dumptextbin"), 1, {"Can't open"});
    put(kBin, "text");
    mkdirs(kBinOut);
    expect_run(run("dumptextbin"), 1, {"Can't open"});
    std::filesystem::remove(host(kBinOut));
    link(kBinOut, "/dev/full");
    expect_run(run("dumptextbin"), 1, {"Can't write " + kBinOut});
}

// ---------------------------------------------------------------------------
// applytextbin

class ApplyTextBin : public JobTest {
protected:
    // "Hello" at 0; "ab\xE0cd" at 7, whose run ends at 0xE0, and "cd" at 10
    // inside it; "World" at 13.
    static Bytes text_bin() {
        Buf b;
        b.raw(std::string("Hello")).u8(0).u8(1).raw(std::string("ab")).u8(0xE0).raw(std::string("cd")).u8(0);
        b.raw(std::string("World")).u8(0);
        return b.b;
    }
    // dumptextbin's list of text.bin: "Hello" translated with a line feed,
    // "ab\xE0cd" left as it is (which "cd" inside it, translated, may
    // change), "World" untranslated.
    std::string filled() {
        expect_run(run("dumptextbin"), 0, {});
        return fill_bin_list(get_text(kBinOut), [](const BinRecord& r) -> std::optional<std::string> {
            if (r.offset == 0) return std::string("Hi~x");
            if (r.offset == 7) return r.text;
            if (r.offset == 10) return std::string("CD");
            return std::nullopt;
        });
    }
};

TEST_F(ApplyTextBin, NeedsItsFixedFilesAndItsFolder) {
    expect_run(run("applytextbin"), 1, {"Can't open"});
    put(kBin, text_bin());
    expect_run(run("applytextbin"), 1, {"Can't open"}); // no list
    put(kBinOut, filled());
    expect_run(run("applytextbin"), 1, {"Can't open"}); // no folder text_!
    EXPECT_FALSE(has("c:\\games\\Brassjaw\\xfiles\\text_!"));

    mkdirs("c:\\games\\Brassjaw\\xfiles\\text_!");
    expect_run(run("applytextbin"), 0,
               {"4 records: 2 translated, 1 untranslated, 1 unchanged; the translations fill 6 of the 7 bytes of "
                "their texts"});
    Buf want;
    want.raw(std::string("Hi\nx")).u8(0).u8(0).u8(1).raw(std::string("ab")).u8(0xE0).raw(std::string("CD")).u8(0);
    want.raw(std::string("World")).u8(0);
    EXPECT_EQ(get(kBinDone), want.b);
    EXPECT_EQ(get(kBin), text_bin());
}

TEST_F(ApplyTextBin, RefusedWithEveryProblemListed) {
    using Lines = std::vector<std::string>;
    const std::string at = kBinOut + ":";
    // Record i of the list is on lines 5i+1 to 5i+5 (from 1); index 5i in
    // `Lines`. Its translation line is index 5i+3.
    struct Case {
        std::string name;
        std::function<void(Lines&)> edit;
        std::function<void(Bytes&)> change; // to text.bin, after dumptextbin
        std::vector<std::string> problems;
    };
    // The list as an editor saves it in UTF-8, with a byte-order mark.
    static const auto utf8 = [](Lines& l) {
        for (std::string& s : l) s = win::to_utf8(s);
        l[0] = "\xEF\xBB\xBF" + l[0];
    };
    const std::vector<Case> cases = {
        {"a record missing", [](Lines& l) { l.erase(l.begin() + 5, l.begin() + 10); }, {},
         {at + "6: {0007}: missing"}},
        {"records missing one after another", [](Lines& l) { l.erase(l.begin() + 5, l.begin() + 15); }, {},
         {at + "6: {0007} to {000A}: missing, all 2 of them"}},
        {"a record doubled", [](Lines& l) { l.insert(l.begin() + 5, l.begin(), l.begin() + 5); }, {},
         {at + "6: {0000}: doubled or out of order: {0007} is expected here"}},
        {"two records swapped", [](Lines& l) { std::rotate(l.begin() + 5, l.begin() + 10, l.begin() + 15); }, {},
         {at + "6: {0007}: missing", at + "11: {0007}: doubled or out of order: {000D} is expected here"}},
        {"an offset where text.bin has no text", [](Lines& l) { l[15].replace(0, 6, "{000E}"); }, {},
         {at + "16: {000D}: missing",
          at + "16: {000E}: no text of text.bin begins at this offset: the list does not match text.bin"}},
        {"a text shorter in text.bin", {}, [](Bytes& b) { b[17] = 0; },
         {at + "16: {000D}: its length is 5, but the text at this offset of text.bin has 4 bytes: the list does not "
               "match text.bin"}},
        {"a text changed in text.bin", {}, [](Bytes& b) { b[0] = 'J'; },
         {at + "1: {0000}: its text is no longer the text at this offset of text.bin: the list does not match "
               "text.bin"}},
        {"a first line cut", [](Lines& l) { l[5].erase(l[5].size() - 2, 1); }, {},
         {at + "6: {0007}: its lines are damaged: its text does not end with '}' after the length its first line "
               "gives"}},
        {"a ruler changed", [](Lines& l) { l[2] = "----"; }, {},
         {at + "1: {0000}: its lines are damaged: its ruler is no longer a line of 5 dashes"}},
        {"a record not closed", [](Lines& l) { l.erase(l.begin() + 4); }, {},
         {at + "1: {0000}: its lines are damaged: the line \\\\ that closes it is missing"}},
        {"a line outside any record", [](Lines& l) { l.insert(l.begin() + 5, "stray"); }, {},
         {at + "6: a line outside any record (a translation goes in place of the placeholder, on one line)"}},
        {"a translation over two lines", [](Lines& l) { l.insert(l.begin() + 4, "more"); }, {},
         {at + "1: {0000}: the translation runs over 2 lines: write it on one line, with '~' for a line feed"}},
        {"a translation longer than its ruler", [](Lines& l) { l[3] = "Hi there"; }, {},
         {at + "1: {0000}: the translation is 3 bytes longer than its text: its room is the 5 bytes of its ruler"}},
        {"a NUL", [](Lines& l) { l[3] = std::string("a\0b", 3); }, {},
         {at + "1: {0000}: the translation holds a NUL byte"}},
        {"a CR", [](Lines& l) { l[3] = "a\rb"; }, {}, {at + "1: {0000}: the translation holds a carriage return"}},
        {"a tab", [](Lines& l) { l[3] = "a\tb"; }, {}, {at + "1: {0000}: the translation holds a tab"}},
        {"another control byte", [](Lines& l) { l[3] = "a\x1B"; }, {},
         {at + "1: {0000}: the translation holds the control byte 0x1B"}},
        {"two overlapping texts translated", [](Lines& l) { l[8] = "AB"; }, {},
         {at + "11: {000A}: its text overlaps the text of {0007}, which is translated too: only one of them can be"}},
        // A list saved as UTF-8: the problems of its characters name their
        // line, and the record that line belongs to.
        {"a character Windows-1251 lacks (UTF-8)",
         [](Lines& l) {
             utf8(l);
             l[3] = "s\xE2\x98\x83";
         },
         {}, {at + "4: {0000}: U+2603, which Windows-1251 cannot hold"}},
        {"bytes that are not UTF-8 in the last record (UTF-8)",
         [](Lines& l) {
             utf8(l);
             l[18] = "W\xFF\xFE" "d";
         },
         {}, {at + "19: {000D}: bytes that are not UTF-8", at + "19: {000D}: bytes that are not UTF-8"}},
        {"a character Windows-1251 lacks in a text (UTF-8)",
         [](Lines& l) {
             utf8(l);
             l[15] = "{000D}{00005}{Wor\xE4\xB8\xAD" "d}";
         },
         {},
         {at + "16: {000D}: U+4E2D, which Windows-1251 cannot hold",
          at + "16: {000D}: its text is no longer the text at this offset of text.bin: the list does not match "
               "text.bin"}},
        {"a character Windows-1251 lacks in a record whose first line is cut (UTF-8)",
         [](Lines& l) {
             utf8(l);
             l[5].erase(l[5].size() - 2, 1);
             l[8] = "\xE4\xB8\xAD";
         },
         {},
         {at + "9: {0007}: U+4E2D, which Windows-1251 cannot hold",
          at + "6: {0007}: its lines are damaged: its text does not end with '}' after the length its first line "
               "gives"}},
        {"a character Windows-1251 lacks outside any record (UTF-8)",
         [](Lines& l) {
             utf8(l);
             l.insert(l.begin() + 5, "stray \xE4\xB8\xAD");
         },
         {},
         {at + "6: U+4E2D, which Windows-1251 cannot hold",
          at + "6: a line outside any record (a translation goes in place of the placeholder, on one line)"}},
    };
    auto expect_refused = [&](const std::vector<std::string>& problems, const std::vector<std::string>& shown) {
        put(kBinDone, "earlier");
        std::vector<std::string> lines = shown;
        lines.push_back(problems.size() == 1
                            ? "Refused: 1 problem listed above; the translated text.bin is not written"
                            : "Refused: " + std::to_string(problems.size()) + " problems" +
                                  (problems.size() > shown.size() ? ", the first 100" : "") +
                                  " listed above; the translated text.bin is not written");
        expect_run(run("applytextbin"), 1, lines);
        EXPECT_EQ(get_text(kBinDone), "earlier");
        EXPECT_EQ(files("c:\\games\\Brassjaw\\xfiles\\text_!"), std::vector<std::string>{"text.bin"});
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_drives();
        put(kBin, text_bin());
        Lines l = lines_of(filled());
        if (c.edit) c.edit(l);
        put(kBinOut, joined(l));
        Bytes bin = text_bin();
        if (c.change) c.change(bin);
        put(kBin, bin);
        expect_refused(c.problems, c.problems);
    }

    // Of many problems the first 100 are listed, then their number.
    reset_drives();
    Bytes many;
    for (int i = 0; i < 150; ++i) many.insert(many.end(), {'t', 0});
    put(kBin, many);
    expect_run(run("dumptextbin"), 0, {});
    put(kBinOut, fill_bin_list(get_text(kBinOut), [](const BinRecord&) { return std::string("too long"); }));
    std::vector<std::string> problems;
    for (int i = 0; i < 150; ++i) {
        char where[32];
        std::snprintf(where, sizeof where, "%d: {%04X}", 5 * i + 1, 2 * i);
        problems.push_back(at + where + ": the translation is 7 bytes longer than its text: its room is the 1 byte "
                                        "of its ruler");
    }
    expect_refused(problems, std::vector<std::string>(problems.begin(), problems.begin() + 100));
}

} // namespace
