// The text translation chain on one synthetic game tree, run as a
// translator runs it: maskbreaks, dumptodo, a ready list made from the
// dump, applytodo_ready, unmaskbreaks; and the same with the ready list made
// by the program, of a PO file translated with gettext's own tools
// (exportpo, importpo) or of the filled-in numbered list (collecttodo). Then
// the second game's text.bin: dumptextbin, the list filled in, applytextbin.
#include "support/jobtest.hpp"
#include "support/texts_builders.hpp"

#include "platform/win.hpp"

#include <cctype>
#include <functional>
#include <map>
#include <optional>

namespace {

using namespace texts;

// A table row: its cells, which may hold line breaks of their own (bare LFs).
using Row = std::vector<std::string>;

// A table as the game stores it: cells joined by tabs, rows ended by CR LF;
// without `last_row_end` the last row has no CR LF.
std::string table_file(const std::vector<Row>& rows, bool last_row_end = true) {
    std::string out;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) out += (c ? "\t" : "") + rows[r][c];
        if (last_row_end || r + 1 < rows.size()) out += "\r\n";
    }
    return out;
}

// `rows` with the cells of the given columns (counted from 1) translated.
std::vector<Row> translated(std::vector<Row> rows, const std::vector<size_t>& columns,
                            const std::function<std::string(const std::string&)>& tr) {
    for (Row& row : rows)
        for (size_t k : columns)
            if (k <= row.size()) row[k - 1] = tr(row[k - 1]);
    return rows;
}

// The translator's work: upper case and a mark, line breaks (masked or not)
// kept where they are.
std::string translate(const std::string& s) {
    std::string t = "RU ";
    for (char c : s) t += char(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

const std::vector<Row> kUi = {{"id", "text", "note"},
                              {"1", "two\nlines", "x"},
                              {"2", "one", "y\nand z"},
                              {"3", "", "w"},
                              {"4", "ends in a break\n", "v"}};
// Its last row has no CR LF and its last cell ends in a line break.
const std::vector<Row> kItems = {{"sword", "A blade.\nSharp."}, {"shield", "Round"}, {"bow", "Long\n"}};
const std::vector<std::string> kNames = {"Ann", "", "Bob"};
const std::vector<std::string> kMessages = {"Hello, %s!"};

class TextChain : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        put(kTodo, crlf("ui.txt\n2\n3\n.\nitems.txt\n2\n.\n.\nnames.str\nmsgs.str\n.\n"));
        put(kText + "ui.txt", table_file(kUi));
        put(kText + "items.txt", table_file(kItems, false));
        put(kText + "names.str", string_file(kNames));
        put(kText + "msgs.str", string_file(kMessages));
        mkdirs(kDone);
    }

    // Masks, dumps and returns the dump's records.
    std::vector<Record> mask_and_dump() {
        expect_run(run("maskbreaks"), 0, {});
        expect_run(run("dumptodo"), 0, {});
        return parse_list(get_text(kText + "!out!.txt"));
    }

    // Applies the ready list (this one, when given) and restores the line
    // breaks.
    void apply_and_unmask(const std::string* ready = nullptr) {
        if (ready) put(kReady, *ready);
        expect_run(run("applytodo_ready"), 0, {});
        expect_run(run("unmaskbreaks"), 0, {});
    }

    // The two tables in text_! with their listed columns as `tr` translates them.
    void expect_tables(const std::function<std::string(const std::string&)>& tr) {
        EXPECT_EQ(get_text(kDone + "ui.txt"), table_file(translated(kUi, {2, 3}, tr)));
        EXPECT_EQ(get_text(kDone + "items.txt"), table_file(translated(kItems, {2}, tr), false));
    }
};

TEST_F(TextChain, TranslatedTablesGetTheirLineBreaksBack) {
    std::vector<Record> list = mask_and_dump();
    // Two passes over the five rows of ui.txt, one over items.txt, then the
    // strings; the texts carry their line breaks masked.
    ASSERT_EQ(list.size(), 5u + 5u + 3u + 3u + 1u);
    std::vector<std::string> want_sources;
    want_sources.insert(want_sources.end(), 10, "ui.txt");
    want_sources.insert(want_sources.end(), 3, "items.txt");
    want_sources.insert(want_sources.end(), 3, "names.str");
    want_sources.push_back("msgs.str");
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].n, int(i));
        EXPECT_EQ(list[i].source, want_sources[i]) << i;
    }
    EXPECT_EQ(list[1].text, "two@lines");
    EXPECT_EQ(list[4].text, "ends in a break@");
    EXPECT_EQ(list[7].text, "y@and z");
    EXPECT_EQ(list[12].text, "Long@");

    std::string ready;
    for (const Record& r : list) ready += translate(r.text) + "\r\n";
    apply_and_unmask(&ready);

    expect_tables(translate);
    EXPECT_EQ(get(kDone + "names.str"), string_file({"RU ANN", "RU ", "RU BOB"}));
    EXPECT_EQ(get(kDone + "msgs.str"), string_file({"RU HELLO, %S!"}));
    // The untranslated sources stay as masked for the dump.
    EXPECT_EQ(get_text(kText + "ui.txt"), "id\ttext\tnote\r\n1\ttwo@lines\tx\r\n2\tone\ty@and z\r\n3\t\tw\r\n"
                                          "4\tends in a break@\tv\r\n");
    EXPECT_EQ(get(kText + "names.str"), string_file(kNames));
}

TEST_F(TextChain, UnchangedTranslationsGiveBackTheOriginalFiles) {
    std::vector<Record> list = mask_and_dump();
    ASSERT_EQ(list.size(), 17u);
    // A ready list from an editor that ends its lines with LF alone and
    // leaves the last line without one.
    std::string ready;
    for (const Record& r : list) ready += (ready.empty() ? "" : "\n") + r.text;
    apply_and_unmask(&ready);

    EXPECT_EQ(get_text(kDone + "ui.txt"), table_file(kUi));
    EXPECT_EQ(get_text(kDone + "items.txt"), table_file(kItems, false));
    EXPECT_EQ(get(kDone + "names.str"), string_file(kNames));
    EXPECT_EQ(get(kDone + "msgs.str"), string_file(kMessages));
}

TEST_F(TextChain, OneTranslatedTextChangesOnlyItsCell) {
    std::vector<Record> list = mask_and_dump();
    ASSERT_EQ(list.size(), 17u);
    std::string ready;
    for (const Record& r : list) ready += (r.n == 7 ? "\xE4\xE0@\xED\xE5\xF2" : r.text) + "\r\n"; // "да@нет"
    apply_and_unmask(&ready);

    std::vector<Row> want = kUi;
    want[2][2] = "\xE4\xE0\n\xED\xE5\xF2";
    EXPECT_EQ(get_text(kDone + "ui.txt"), table_file(want));
    EXPECT_EQ(get_text(kDone + "items.txt"), table_file(kItems, false));
    EXPECT_EQ(get(kDone + "names.str"), string_file(kNames));
}

// ---------------------------------------------------------------------------
// The ready list made by the program

// What gettext's tools make of a text when they prefix each of its lines
// (sed 's/^/RU: /' over every msgstr).
std::string prefixed(const std::string& s) {
    if (s.empty()) return s;
    std::string t = "RU: ";
    for (size_t i = 0; i < s.size(); ++i) {
        t += s[i];
        if (s[i] == '\n' && i + 1 < s.size()) t += "RU: ";
    }
    return t;
}

class Exchange : public TextChain {
protected:
    void SetUp() override {
        TextChain::SetUp();
        for (const char* tool : {"msgfmt", "msginit", "msgen", "msgfilter", "msgmerge"})
            if (!have_tool(tool))
                GTEST_SKIP() << tool << " is missing: gettext's tools judge the PO files (scripts/deps.sh --tests "
                             << "installs gettext)";
        xfiles = host("c:\\games\\zund7\\xfiles");
    }

    // Runs a gettext tool (or a shell line of them) in xfiles; it must succeed.
    void tool(const std::vector<std::string>& argv) {
        ToolRun r = run_tool(argv, xfiles);
        EXPECT_EQ(r.code, 0) << argv[0] << ":\n" << r.out;
    }

    // The team's work: a PO made of the template with msginit, every msgstr
    // filled in by a script, as zund7.po.
    void translate_template() {
        tool({"msgfmt", "--check", "-o", "/dev/null", "zund7.pot"});
        tool({"msginit", "--no-translator", "-l", "ru", "-i", "zund7.pot", "-o", "ru.po"});
        tool({"msgfmt", "--check", "-o", "/dev/null", "ru.po"});
        tool({"sh", "-c", "msgen ru.po | msgfilter --keep-header -o zund7.po sed -e 's/^/RU: /'"});
    }

    std::filesystem::path xfiles;
};

TEST_F(Exchange, PoTranslatedWithGettextsToolsFillsEveryCellAndSurvivesAChangeOfTheTables) {
    expect_run(run("maskbreaks"), 0, {});
    expect_run(run("exportpo"), 0, {"15 entries for the 17 texts of the list (2 of them empty, left out)"});
    translate_template();
    expect_run(run("importpo"), 0,
               {"17 texts: 15 translated, 0 fuzzy, 0 untranslated, 2 empty; entries for texts no longer in the "
                "tables: 0"});
    apply_and_unmask();
    expect_tables(prefixed);
    EXPECT_EQ(get(kDone + "names.str"), string_file({"RU: Ann", "", "RU: Bob"}));
    EXPECT_EQ(get(kDone + "msgs.str"), string_file({"RU: Hello, %s!"}));

    // The tables change: a row inserted at the top, a text edited. The old
    // translations are merged into the new template; every one still fits
    // its text, in the row it has moved to, and the edited text (a fuzzy
    // match now, or none) keeps its own text.
    std::vector<Row> ui = kUi;
    ui.insert(ui.begin() + 1, Row{"0", "a new row", "fresh"});
    ui[3][1] = "one, edited";
    put(kText + "ui.txt", table_file(ui));
    expect_run(run("maskbreaks"), 0, {});
    expect_run(run("exportpo"), 0, {"17 entries for the 19 texts of the list (2 of them empty, left out)"});
    tool({"msgmerge", "-q", "-o", "merged.po", "zund7.po", "zund7.pot"});
    std::filesystem::rename(xfiles / "merged.po", xfiles / "zund7.po");
    RunResult r = run("importpo");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    apply_and_unmask();
    std::vector<Row> want = translated(ui, {2, 3}, prefixed);
    want[1] = ui[1];
    want[3][1] = ui[3][1];
    EXPECT_EQ(get_text(kDone + "ui.txt"), table_file(want));
    EXPECT_EQ(get_text(kDone + "items.txt"), table_file(translated(kItems, {2}, prefixed), false));
}

TEST_F(TextChain, FilledInListFillsEveryCellAndIsRefusedOnceTheTablesChange) {
    std::vector<Record> list = mask_and_dump();
    ASSERT_EQ(list.size(), 17u);
    put(kList, fill_list(get_text(kList), [](const Record& r) { return translate(r.text); }));
    expect_run(run("collecttodo"), 0,
               {"17 texts: 17 translated, 0 fuzzy, 0 untranslated, 0 empty; entries for texts no longer in the "
                "tables: 0"});
    apply_and_unmask();
    expect_tables(translate);
    EXPECT_EQ(get(kDone + "names.str"), string_file({"RU ANN", "RU ", "RU BOB"}));
    EXPECT_EQ(get(kDone + "msgs.str"), string_file({"RU HELLO, %S!"}));

    // A row inserted shifts every later record of its column: the list no
    // longer fits the tables, and the ready list stays as it was.
    const std::string ready = get_text(kReady);
    std::vector<Row> ui = kUi;
    ui.insert(ui.begin() + 1, Row{"0", "a new row", "fresh"});
    put(kText + "ui.txt", table_file(ui));
    expect_run(run("maskbreaks"), 0, {});
    RunResult r = run("collecttodo");
    EXPECT_EQ(r.exit_code, 1);
    ASSERT_FALSE(r.lines().empty());
    EXPECT_EQ(r.lines().front(), kList + ":5: {00001} ui.txt: its text no longer matches the text at ui.txt:2");
    EXPECT_EQ(r.lines().back().substr(0, 9), "Refused: ");
    EXPECT_EQ(get_text(kReady), ready);
}

// Every printable character of Windows-1251 (0x20 to 0xFF but 0x98, which
// the code page leaves undefined), in a table cell and in a string, through
// either exchange and back, byte for byte.
TEST_F(Exchange, EveryPrintableCharacterSurvivesBothWays) {
    std::string all;
    for (int c = 0x20; c <= 0xFF; ++c)
        if (c != 0x98) all += char(c);
    put(kTodo, crlf("chars.tab\n2\n.\n.\nchars.str\n.\n"));
    put(kText + "chars.tab", crlf("k\t" + all + "\n"));
    put(kText + "chars.str", string_file({all}));
    const std::string ready = crlf("RU: " + all + "\nRU: " + all + "\n");

    expect_run(run("exportpo"), 0, {"2 entries for the 2 texts of the list (0 of them empty, left out)"});
    translate_template();
    expect_run(run("importpo"), 0,
               {"2 texts: 2 translated, 0 fuzzy, 0 untranslated, 0 empty; entries for texts no longer in the "
                "tables: 0"});
    EXPECT_EQ(get_text(kReady), ready);

    expect_run(run("dumptodo"), 0, {});
    const std::string list = fill_list(get_text(kList), [](const Record& r) { return "RU: " + r.text; });
    for (const std::string& saved : {list, "\xEF\xBB\xBF" + win::to_utf8(list)}) {
        put(kReady, "");
        put(kList, saved);
        expect_run(run("collecttodo"), 0,
                   {"2 texts: 2 translated, 0 fuzzy, 0 untranslated, 0 empty; entries for texts no longer in the "
                    "tables: 0"});
        EXPECT_EQ(get_text(kReady), ready);
    }
}

// ---------------------------------------------------------------------------
// The second game's text.bin

std::string cp1251(const std::string& utf8) {
    std::string s;
    EXPECT_TRUE(win::from_utf8(utf8, &s)) << utf8;
    return s;
}

class TextBinChain : public JobTest {};

TEST_F(TextBinChain, TranslationsTakeTheirTextsPlacesWhateverTheListsEncoding) {
    // Texts between binary fields, as the game keeps them; "Gold: \x95 coins"
    // holds the text " coins" after the byte that ends its run, a text with
    // braces the text "now" after a CR; the last text ends at the end of the
    // data.
    Buf b;
    std::map<uint64_t, std::string> texts; // by offset, as the list shows them
    auto text = [&](const std::string& t) {
        uint64_t at = b.size();
        texts[at] = t;
        for (char c : t) b.u8(c == '~' ? '\n' : uint8_t(c));
        return at;
    };
    b.u32(3);
    const uint64_t new_game = text("New game");
    b.u8(0);
    const uint64_t load = text("Load a saved game");
    b.u8(0).u32(0x102);
    const uint64_t quit = text("Quit~to desktop");
    b.u8(0);
    const uint64_t options = text("Options");
    b.u8(0);
    const uint64_t volume = text("Volume");
    b.u8(0);
    const uint64_t gold = text("Gold: \x95 coins");
    const uint64_t coins = gold + 7;
    texts[coins] = " coins";
    b.u8(0);
    const uint64_t yes = text("Yes");
    b.u8(0);
    const uint64_t hit = text("Hit {0}}{1}\rnow");
    texts[hit + 12] = "now";
    b.u8(0).u32(0xFFFFFFFF);
    const uint64_t end = text("The end");
    const Bytes bin = b.b;
    put(kBin, bin);
    mkdirs("c:\\games\\Brassjaw\\xfiles\\text_!");
    expect_run(run("dumptextbin"), 0, {});
    std::vector<BinRecord> records = parse_bin_list(get_text(kBinOut));
    ASSERT_EQ(records.size(), texts.size());
    for (const BinRecord& r : records) EXPECT_EQ(r.text, texts[r.offset]) << r.offset;

    // The translator's work, in Windows-1251 as the list is written: one
    // translation exactly as long as its ruler, shorter ones, a line feed,
    // one beginning with a Cyrillic letter, braces, the last text
    // translated; "Options", the text around " coins" and "now" left as they
    // are, "Volume" written out unchanged.
    const std::map<uint64_t, std::string> translations = {
        {new_game, cp1251("RU: Игра")}, {load, cp1251("RU Загрузить")}, {quit, cp1251("RU Выйти~в ОС")},
        {volume, "Volume"},             {coins, cp1251(" монет")},     {yes, cp1251("Да")},
        {hit, cp1251("RU {0}}{1}")},    {end, cp1251("RU Всё")},
    };
    const std::string list = fill_bin_list(get_text(kBinOut), [&](const BinRecord& r) -> std::optional<std::string> {
        auto t = translations.find(r.offset);
        if (t == translations.end()) return std::nullopt;
        return t->second;
    });

    // text.bin with each translation and its NUL bytes in its text's place,
    // every other byte as it was.
    Bytes want = bin;
    for (const auto& [offset, tr] : translations)
        for (size_t i = 0; i < texts.at(offset).size(); ++i)
            want[offset + i] = i < tr.size() ? uint8_t(tr[i] == '~' ? '\n' : tr[i]) : 0;
    ASSERT_EQ(want.size(), bin.size());
    for (const std::string& saved : {list, "\xEF\xBB\xBF" + win::to_utf8(list), win::to_utf8(list)}) {
        SCOPED_TRACE(saved == list ? "Windows-1251" : saved.substr(0, 3) == "\xEF\xBB\xBF" ? "UTF-8, BOM" : "UTF-8");
        put(kBinOut, saved);
        put(kBinDone, "earlier");
        expect_run(run("applytextbin"), 0,
                   {"11 records: 7 translated, 3 untranslated, 1 unchanged; the translations fill 57 of the 71 bytes "
                    "of their texts"});
        EXPECT_EQ(get(kBinDone), want);
        EXPECT_EQ(get(kBin), bin);
    }

    // dumptextbin on the result lists each translation that begins with a
    // printable byte at its text's offset, a shorter one as a shorter text;
    // the texts left as they were stay where they were.
    put(kBin, get(kBinDone));
    expect_run(run("dumptextbin"), 0, {});
    std::map<uint64_t, std::string> again;
    for (const BinRecord& r : parse_bin_list(get_text(kBinOut))) again[r.offset] = r.text;
    for (const auto& [offset, tr] : translations) {
        if (uint8_t(tr[0]) >= 0x80) continue; // a run begins at no such byte
        EXPECT_EQ(again[offset], tr) << offset;
    }
    EXPECT_EQ(again[options], "Options");
    EXPECT_EQ(again[gold], "Gold: \x95" + cp1251(" монет"));
}

} // namespace
