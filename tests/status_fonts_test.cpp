// locbench status judges the fonts of the fonts chain by the characters the
// translation uses: a font with Cyrillic letters that draws one of them with
// width 0 or an empty bitmap is a problem, told with the first text that uses
// it; a font without Cyrillic letters is not translated yet.
#include "support/fonts_builders.hpp"
#include "support/texts_builders.hpp"

#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using namespace fonttest;

const std::string kRebuilt = "c:\\games\\hexfiles\\fonts\\comic.fnt";
const std::string kAdvice = "a gap there: draw its glyph in the strip and run buildfont again, or write the texts "
                          "without it";

// Glyphs of width 3 for every code, bar `zero` (width 0) and `blank` (an
// empty bitmap); `cyrillic` false: codes 192 to 255 have width 0.
Font font(bool cyrillic, const std::vector<int>& zero, const std::vector<int>& blank, bool calig = false) {
    std::vector<uint32_t> widths = calig ? calig_widths() : std::vector<uint32_t>(225, 3);
    for (int c = 192; c < 256 && !cyrillic; ++c) widths[c - 31] = 0;
    for (int c : zero) widths[c - 31] = 0;
    Font f = make_font(calig ? 27 : 6, widths, 3);
    for (auto& v : f.bitmaps) v = uint8_t(v % 200 + 1); // no glyph blank by chance
    for (int c : blank)
        for (uint32_t k = 0; k < f.w(c - 31) * f.height; ++k) f.bitmaps[f.offset[c - 31] + k] = 0;
    return f;
}

// The lines of the fonts chain under its steps: problems, and the others.
void fonts_chain(const std::string& out, std::vector<std::string>* problems, std::vector<std::string>* details) {
    std::istringstream in(out);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!inside) {
            inside = line == "Fonts";
            continue;
        }
        if (line.empty()) break;
        if (line.compare(0, 11, "           ") != 0) continue;
        std::string d = line.substr(11);
        if (d.compare(0, 9, "problem: ") == 0) problems->push_back(d.substr(9));
        else details->push_back(d);
    }
}

class StatusFonts : public JobTest {};

TEST_F(StatusFonts, TellsTheCharactersAFontCannotDraw) {
    using namespace texts;
    struct Case {
        const char* name;
        std::string path; // where the font goes
        Bytes file;
        std::vector<std::string> problems;
        std::vector<std::string> details; // the starts of lines under the fonts chain's steps
        size_t lacks;                     // characters the font cannot draw
        size_t uses = 11;                 // characters the translation uses
        std::string done = "";            // without zund7.po: the translated table text_!\\items.txt
    };
    const std::string yo = "\"\xb8\" (0xB8)", number = "\"\xb9\" (0xB9)";
    const std::string calig = kZund + "calig.fn1";
    const std::vector<Case> cases = {
        {"a Cyrillic font that draws \xb8 with width 0", kRebuilt, fnt_file(font(true, {0xB8}, {})),
         {kRebuilt + ": it draws " + yo + " with width 0: 2 texts use it, the first at items.txt:1: {00000}; the "
                     "game shows " + kAdvice},
         {kRebuilt + ": draws 10 of the 11 characters the translation uses; lacks " + yo}, 1},
        {"the same font once \xb8 has its width", kRebuilt, fnt_file(font(true, {}, {})),
         {},
         {kRebuilt + ": draws 11 of the 11 characters the translation uses",
          kRebuilt + ": keeps the old font's glyphs of " + yo + ", " + number + ", which the translation uses"}, 0},
        {"a font without Cyrillic letters", kZund + "comic.fnt", fnt_file(font(false, {0xB8, 0xB9}, {})),
         {},
         {kZund + "comic.fnt: not translated yet: it draws no Cyrillic letter (codes 192 to 255); it draws 2 of "
                  "the 11 characters"}, 9},
        {"the calig font with an empty \xb9", calig, calig_file(font(true, {}, {0xB9}, true)),
         {calig + ": it draws " + number + " with an empty bitmap: 1 text uses it, the first at items.txt:2: "
                  "{00001}; the game shows " + kAdvice},
         {calig + ": draws 10 of the 11 characters the translation uses; lacks " + number}, 1},
        {"the translated tables alone, without zund7.po", kRebuilt, fnt_file(font(true, {0xB8}, {})),
         {kRebuilt + ": it draws " + yo + " with width 0: 1 text uses it, the first at items.txt:2; the game "
                     "shows " + kAdvice},
         {kRebuilt + ": draws 12 of the 13 characters the translation uses; lacks " + yo}, 1, 13,
         "sword\tA\r\nshield\t\xc6\xb8\xeb\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_drives();
        put(texts::kTodo, crlf("items.txt\n2\n.\n.\n.\n"));
        put(kText + "items.txt", std::string("sword\tA blade.\r\nshield\tRound\r\n"));
        mkdirs(kDone);
        mkdirs(kOut);
        ASSERT_EQ(run("exportpo").exit_code, 0);
        // "Жёлтый", "Щит №1 ё" (UTF-8): two texts, 11 characters, ё in both.
        std::string po = get_text(kPot);
        size_t from = 0;
        for (std::string tr : {"\xd0\x96\xd1\x91\xd0\xbb\xd1\x82\xd1\x8b\xd0\xb9",
                               "\xd0\xa9\xd0\xb8\xd1\x82 \xe2\x84\x96\x31 \xd1\x91"}) {
            size_t at = po.find("msgstr \"\"", po.find("msgctxt", from));
            ASSERT_NE(at, std::string::npos) << po;
            po.replace(at, 9, "msgstr \"" + tr + "\"");
            from = at + 1;
        }
        if (c.done.empty()) put(kPo, po);
        else put(kDone + "items.txt", c.done);
        put(c.path, c.file);

        RunOptions o;
        o.args = {"status", "--verbose"};
        const auto times = stamps();
        RunResult r = run("locbench", "c:\\", o);
        EXPECT_EQ(stamps(), times) << "status changed the tree";
        std::vector<std::string> problems, details;
        fonts_chain(r.out, &problems, &details);
        EXPECT_EQ(problems, c.problems) << r.out;
        for (const std::string& d : c.details) {
            bool found = false;
            for (const std::string& l : details) found |= l.compare(0, d.size(), d) == 0;
            EXPECT_TRUE(found) << "no line starting \"" << d << "\" in:\n" << r.out;
        }
        EXPECT_EQ(r.exit_code, c.problems.empty() ? 0 : 1) << r.out;

        // The same figures for --json.
        o.args = {"status", "--json"};
        r = run("locbench", "c:\\", o);
        nlohmann::json doc = nlohmann::json::parse(r.out);
        nlohmann::json fonts;
        for (const auto& chain : doc["chains"])
            if (chain["key"] == "fonts")
                for (const auto& step : chain["steps"])
                    if (step["counts"].is_object() && step["counts"].contains("fonts"))
                        for (const auto& f : step["counts"]["fonts"]) fonts.push_back(f);
        ASSERT_EQ(fonts.size(), 1u) << r.out;
        EXPECT_EQ(fonts[0]["uses"], c.uses);
        EXPECT_EQ(fonts[0]["lacks"].size(), c.lacks);
    }
}

} // namespace
