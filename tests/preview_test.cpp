// locbench preview draws texts with a font's own glyph records: the widths it
// prints are the sums of the bearings and widths, the picture's pixels are
// the glyph bitmaps at the bearings (read back with Python's PIL and compared
// with a picture built here from the records), --width lists exactly the
// texts past it, and damaged fonts are refused.
#include "formats/tiff.hpp"
#include "platform/win.hpp"
#include "support/fonts_builders.hpp"
#include "support/hardening.hpp"
#include "support/texts_builders.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using namespace fonttest;

const std::string kWork = "c:\\work\\";

// A font 5 rows high: glyphs 2 to 4 columns wide, bearings -1 to 1 and 0 to
// 1; `zero` codes get the width 0.
Font test_font(const std::vector<int>& zero = {}) {
    std::vector<uint32_t> widths(225);
    for (int i = 0; i < 225; ++i) widths[i] = 2 + uint32_t(i % 3);
    for (int c : zero) widths[c - 31] = 0;
    Font f = make_font(5, widths, 9);
    for (int i = 0; i < 225; ++i) {
        f.left[i] = (i % 3) - 1;
        f.right[i] = i % 2;
    }
    return f;
}

int advance(const Font& f, unsigned char c) {
    int i = c - 31;
    return f.left[i] + int(f.w(i)) + f.right[i];
}

// The widest line of a text ('~' starts a new one), as the game measures it.
int width_of(const Font& f, const std::string& text) {
    int widest = 0, x = 0;
    for (unsigned char c : text) {
        if (c == '~') x = 0;
        else widest = std::max(widest, x += advance(f, c));
    }
    return widest;
}

struct Picture {
    uint32_t width = 0, height = 0;
    Bytes rgb;
};

// The picture of `texts` built from the glyph records: a margin of 4, 4 rows
// between texts, each glyph's nonzero pixels at the pen plus its left
// bearing, a red box (colour 249, half the height wide, at least 3) for a
// glyph of width 0, the room as a column of colour 254.
Picture expected(const Font& f, const std::vector<std::string>& texts, int room) {
    const int h = f.height, box = std::max(3, h / 2);
    auto layout = [&](const std::string& t, int top, Bytes* px, int width) {
        int x = 0, y = top, widest = 0;
        auto put = [&](int px_x, int px_y, uint8_t v) {
            if (px && px_x >= 0 && px_x < width) (*px)[size_t(px_y * width + px_x)] = v;
        };
        for (unsigned char c : t) {
            if (c == '~') {
                x = 0;
                y += h;
                continue;
            }
            int i = c - 31;
            if (f.w(i) == 0) {
                for (int k = 0; k < box; ++k) put(4 + x + k, y, 249), put(4 + x + k, y + h - 1, 249);
                for (int k = 0; k < h; ++k) put(4 + x, y + k, 249), put(4 + x + box - 1, y + k, 249);
                x += std::max(advance(f, c), box + 1);
            } else {
                Bytes g = f.glyph(i);
                for (int r = 0; r < h; ++r)
                    for (int k = 0; k < f.w(i); ++k)
                        if (uint8_t v = g[size_t(r * f.w(i) + k)]) put(4 + x + f.left[i] + k, y + r, v);
                x += advance(f, c);
            }
            widest = std::max(widest, x);
        }
        return widest;
    };
    int columns = room >= 0 ? room + 1 : 0, rows = 8 - 4;
    for (const std::string& t : texts) {
        columns = std::max(columns, layout(t, 0, nullptr, 0));
        rows += 4 + h * int(1 + std::count(t.begin(), t.end(), '~'));
    }
    Picture p;
    p.width = uint32_t(columns + 8);
    p.height = uint32_t(rows);
    Bytes px(size_t(p.width) * p.height, 0);
    if (room >= 0)
        for (uint32_t y = 0; y < p.height; ++y) px[y * p.width + 4 + uint32_t(room)] = 254;
    int top = 4;
    for (const std::string& t : texts) {
        layout(t, top, &px, int(p.width));
        top += h * int(1 + std::count(t.begin(), t.end(), '~')) + 4;
    }
    for (uint8_t v : px) {
        uint32_t c = tiffimg::kColourMap[v];
        p.rgb.insert(p.rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
    return p;
}

// The PNG at `path` as RGB pixels, read with Python's PIL.
Picture read_png(const fs::path& path, const fs::path& scratch) {
    const fs::path raw = scratch / "picture.rgb";
    const char* py = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    texts::ToolRun r = texts::run_tool(
        {py, "-c",
         "import sys, struct\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
         "open(sys.argv[2], 'wb').write(struct.pack('<II', *im.size) + im.tobytes())\n",
         path.string(), raw.string()},
        scratch);
    Picture p;
    EXPECT_EQ(r.code, 0) << r.out;
    std::ifstream in(raw, std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 8) return p;
    p.width = le32(b, 0);
    p.height = le32(b, 4);
    p.rgb.assign(b.begin() + 8, b.end());
    return p;
}

class Preview : public JobTest {
protected:
    RunResult preview(const std::vector<std::string>& args, bool usage_error = false) {
        RunOptions o;
        o.args = {"preview"};
        o.args.insert(o.args.end(), args.begin(), args.end());
        o.expect_stderr = usage_error;
        return run("locbench", kWork, o);
    }
};

std::string picture(const std::string& path, size_t texts) {
    return "Picture: " + path + " (" + std::to_string(texts) + (texts == 1 ? " text)" : " texts)");
}

std::string line(int width, const std::string& text) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%5d  ", width);
    return buf + text;
}

TEST_F(Preview, DrawsTheGlyphsAtTheirBearingsAndMeasuresTheTexts) {
    struct Case {
        const char* name;
        std::vector<std::string> texts;
        int room; // -1: no --width
        std::vector<int> zero;
    };
    const Font plain = test_font();
    const int ab = width_of(plain, "AB");
    const std::vector<Case> cases = {
        {"widths of each text", {"AB", "iA~BB A", "Wq"}, -1, {}},
        {"the texts past the room", {"AB", "ABABAB", "A~AB", "BA"}, ab, {}},
        {"a glyph of width 0 as a red box", {"A#B", "##"}, -1, {'#'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_drives();
        const Font f = c.zero.empty() ? plain : test_font(c.zero);
        put(kWork + "comic.fnt", fnt_file(f));
        std::vector<std::string> args = {"comic.fnt", "-o", "out.png"};
        if (c.room >= 0) args.insert(args.end(), {"--width", std::to_string(c.room)});
        args.insert(args.end(), c.texts.begin(), c.texts.end());
        RunResult r = preview(args);

        std::vector<std::string> lines;
        size_t wide = 0;
        for (const std::string& t : c.texts) {
            int w = width_of(f, t);
            if (c.room < 0 || w > c.room) lines.push_back(line(w, t));
            wide += c.room >= 0 && w > c.room;
        }
        if (c.room >= 0)
            lines.push_back(std::to_string(wide) + " of the " + std::to_string(c.texts.size()) + " texts " +
                            (wide == 1 ? "is" : "are") + " wider than " + std::to_string(c.room) + " pixels");
        for (const std::string& t : c.texts)
            if (!c.zero.empty() && t.find('#') != std::string::npos)
                lines.push_back("cannot draw \"#\" (0x23), its glyph is 0 columns wide: " + t);
        lines.push_back(picture("out.png", c.texts.size()));
        expect_run(r, wide > 0 || !c.zero.empty() ? 1 : 0, lines);

        Picture want = expected(f, c.texts, c.room);
        Picture got = read_png(host(kWork + "out.png"), root());
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
        EXPECT_TRUE(got.rgb == want.rgb) << "the pixels differ from the glyph records";
    }
}

// The texts of a file: the translations of a PO file, those a translator
// wrote into dumptodo's list, or one text a line, UTF-8 or Windows-1251.
TEST_F(Preview, TakesTheTextsOfAFile) {
    const Font f = test_font();
    put(kWork + "comic.fnt", fnt_file(f));
    const std::string zhe = "\xc6\xb8"; // "Жё" in Windows-1251
    const std::string zhe8 = "\xd0\x96\xd1\x91";
    struct Case {
        const char* file;
        std::string content;
        std::vector<std::pair<std::string, std::string>> texts; // where, text (Windows-1251, '~' for a break)
    };
    const std::vector<Case> cases = {
        {"zund7.po",
         "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
         "msgctxt \"items.txt:1\"\nmsgid \"A blade.\"\nmsgstr \"" + zhe8 + "\\nAB\"\n\n"
         "msgctxt \"items.txt:2\"\nmsgid \"Round\"\nmsgstr \"\"\n",
         {{"zund7.po:5", zhe + "~AB"}}},
        {"!out!.txt",
         "{00000}{items.txt}{8}{A blade.}\r\n\r\n" + zhe + "@B\r\n\\\\\r\n"
         "{00001}{items.txt}{5}{Round}\r\n\r\n\xcf\xe8\xf8\xe8 \xe7\xe4\xe5\xf1\xfc\r\n\\\\\r\n"
         "\r\n\r\n\xc2\xf1\xe5\xe3\xee \xe1\xe0\xe9\xf2: 13;    \xd1\xf2\xee\xe8\xec\xee\xf1\xf2\xfc: $ 0.005078\r\n",
         {{"!out!.txt:3", zhe + "~B"}}},
        {"plain-utf8.txt", "AB\n" + zhe8 + "@A\n\nBA~B\n",
         {{"plain-utf8.txt:1", "AB"}, {"plain-utf8.txt:2", zhe + "~A"}, {"plain-utf8.txt:4", "BA~B"}}},
        // (Жё alone would be UTF-8 too: "Жёл".)
        {"plain-1251.txt", zhe + "\xeb\r\nA\r\n", {{"plain-1251.txt:1", zhe + "\xeb"}, {"plain-1251.txt:2", "A"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        put(kWork + c.file, c.content);
        RunResult r = preview({"comic.fnt", "--from", c.file});
        std::vector<std::string> lines;
        for (const auto& [where, text] : c.texts) lines.push_back(line(width_of(f, text), where + "  " + text));
        lines.push_back(picture("comic.fnt.png", c.texts.size()));
        expect_run(r, 0, lines);
        EXPECT_TRUE(has(kWork + "comic.fnt.png"));
    }
    // A Windows path with its drive is found as the jobs find their files.
    expect_run(preview({kWork + "comic.fnt", "-o", kWork + "w.png", "AB"}), 0,
               {line(width_of(f, "AB"), "AB"), picture(kWork + "w.png", 1)});
    EXPECT_TRUE(has(kWork + "w.png"));
}

// A font whose records point past its bitmaps, or a file that cannot be had,
// is refused with its reason and exit code 3; no picture is written.
TEST_F(Preview, RefusesDamagedFonts) {
    const Font f = test_font();
    const Bytes good = fnt_file(f);
    Bytes past = good, wide = good, flat = good;
    set32(past, offset_field(9), uint32_t(f.bitmaps.size()));
    set32(wide, width_field(224), 255);
    flat[5] = 0;
    const std::vector<std::tuple<std::string, Bytes, std::string>> cases = {
        {"an offset past the bitmaps", past, "Damaged file comic.fnt: the bitmap of code 40 lies past the end of the file"},
        {"a width past the file", wide, "Damaged file comic.fnt: the bitmap of code 255 lies past the end of the file"},
        {"a height of 0", flat, "Damaged file comic.fnt: the font's height is 0"},
        {"the tables cut short", slice(good, 0, 4000), "Damaged file comic.fnt: shorter than the font tables"},
    };
    for (const auto& [what, bytes, message] : cases) {
        SCOPED_TRACE(what);
        reset_drives();
        put(kWork + "comic.fnt", bytes);
        expect_run(preview({"comic.fnt", "AB"}), 3, {message});
        EXPECT_FALSE(has(kWork + "comic.fnt.png"));
    }
    reset_drives();
    mkdirs(kWork);
    expect_run(preview({"none.fnt", "AB"}), 3, {"Can't open none.fnt"});
    EXPECT_EQ(preview({"none.fnt"}, true).exit_code, 2);
}

std::vector<Scenario> preview_scenarios() {
    const Font f = test_font();
    const Bytes file = fnt_file(f);
    return {{"preview", "locbench", "c:\\work",
             [=](JobTest& t) {
                 t.put(kWork + "comic.fnt", file);
                 t.put(kWork + "texts.txt", std::string("AB\r\nBA~AB\r\n"));
             },
             {{kWork + "comic.fnt",
               {5, 32, 404, 3228, 4128, 4128 + f.offset[100], 4128 + f.offset[224]},
               {offset_field(0), offset_field(224), width_field(0), width_field(112)}}},
             {},
             {"preview", "comic.fnt", "--width", "20", "--from", "texts.txt"}}};
}

INSTANTIATE_TEST_SUITE_P(Preview, Damage, ::testing::ValuesIn(preview_scenarios()), scenario_name);

} // namespace
