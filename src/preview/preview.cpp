// `locbench preview`: each text measured and drawn with the font's own glyph
// records, as the game draws them.
//
// A line starts at the left edge; each character moves on by its left
// bearing, puts the width columns of its bitmap there (pixels of value 0
// leave what is under them), and moves on by its width and its right
// bearing. The width of a line is where the last character leaves it: the
// sum of the bearings and widths of its characters. "~" and a line feed start
// a new line (the lists' "@" too, in the files that use it for one).
//
// The picture: a margin of 4 pixels all round, the texts one under the other
// with 4 pixels between them, each line of a text as high as the font; every
// pixel through the colour map of the font jobs' images, so that the glyphs
// look as in the strips extractfonts writes. A character the font cannot
// draw is a red box (colour 249) as high as the font and half as wide, and
// takes at least that room in the picture (its width counts as the game's);
// the room of --width is a column of the stripe colour (254) right after it.
#include "preview/preview.hpp"

#include "formats/fnt.hpp"
#include "formats/po.hpp"
#include "formats/tiff.hpp"
#include "formats/translist.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"
#include "preview/png.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

namespace preview {

namespace {

constexpr int kMargin = 4;
constexpr int kGap = 4;
constexpr uint8_t kBoxColour = 249;  // FF0000 in the colour map
constexpr uint8_t kRoomColour = 254; // 00FFFF, the stripe colour
constexpr int64_t kMaxRows = 8192;
constexpr int64_t kMaxColumns = 2048;

// A picture cannot be had: the font or the texts cannot be read, or it
// cannot be written. Told by the caller with exit code 3.
struct Stop {
    std::string message;
};

struct Text {
    std::string text;  // Windows-1251; line breaks as '\n'
    std::string where; // "FILE:LINE" for a text of a file; "" for one of the command line
};

// What the font does with each of the 256 codes.
struct Metrics {
    fnt::Face face;
    std::array<fnt::Draws, 256> draws{};
    std::array<int64_t, 256> advance{}; // the game's: left + width + right; 0 below code 31
    int box = 3;                        // the red box's width
};

Metrics metrics_of(const fnt::Face& f) {
    Metrics m;
    m.face = f;
    for (int c = 0; c < 256; ++c) {
        m.draws[c] = fnt::draws(f, uint8_t(c));
        m.advance[c] = c >= fnt::kFirstCode ? f.advance(c) : 0;
    }
    m.box = std::max<int>(3, int(f.t.height / 2));
    return m;
}

bool breaks(unsigned char c) { return c == '\n'; }

struct Measure {
    int64_t width = 0;              // of its widest line
    size_t lines = 1;
    std::vector<unsigned char> lack; // the characters it cannot draw, in order of their first place
};

Measure measure(const Metrics& m, const std::string& text) {
    Measure r;
    int64_t x = 0;
    std::array<bool, 256> seen{};
    for (unsigned char c : text) {
        if (breaks(c)) {
            r.width = std::max(r.width, x);
            x = 0;
            ++r.lines;
            continue;
        }
        x += m.advance[c];
        if (m.draws[c] != fnt::Draws::Yes && !seen[c]) {
            seen[c] = true;
            r.lack.push_back(c);
        }
    }
    r.width = std::max(r.width, x);
    return r;
}

// How a text is shown in the listing: its line breaks as "~".
std::string shown(const Text& t) {
    std::string s = t.where.empty() ? "" : t.where + "  ";
    for (char c : t.text) s += c == '\n' ? '~' : c;
    return s;
}

std::string character(unsigned char c) {
    std::string code = io::format("0x%02X", unsigned(c));
    if (c < 0x20 || c == 0x7F) return code;
    return "\"" + std::string(1, char(c)) + "\" (" + code + ")";
}

const char* why(fnt::Draws d) {
    switch (d) {
    case fnt::Draws::NoGlyph: return "the font has no glyph for it";
    case fnt::Draws::NoWidth: return "its glyph is 0 columns wide";
    case fnt::Draws::Blank: return "its glyph has an empty bitmap";
    case fnt::Draws::Yes: break;
    }
    return "";
}

// The file a path of the command line names: the file system's own path,
// or a Windows path with its drive ("c:\\games\\..."), found as the jobs find
// their files.
std::string file_of(const std::string& path) {
    bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                 (path[2] == '\\' || path[2] == '/');
    return drive ? win::native_path(path.c_str()) : path;
}

// ---------------------------------------------------------------------------
// The texts

// A text of the command line: UTF-8 when it is UTF-8, else Windows-1251.
std::string from_argument(const std::string& arg, size_t n) {
    std::string s;
    win::Utf8Fault fault;
    if (!win::from_utf8(arg, &s, &fault)) {
        if (fault.not_utf8) s = arg;
        else throw Stop{io::format("text %zu holds U+%04X, which Windows-1251 cannot hold, nor the font", n,
                                   unsigned(fault.ch))};
    }
    for (char& c : s)
        if (c == '~') c = '\n';
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

bool ends_with_folded(const std::string& s, const char* end) {
    size_t n = std::strlen(end);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != end[i]) return false;
    return true;
}

std::string name_of(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Line breaks of a text from a file: "~", and "@" where the file masks them.
std::string with_breaks(std::string s, bool at_breaks) {
    for (char& c : s)
        if (c == '~' || (at_breaks && c == '@')) c = '\n';
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

// The translations of a PO file, as importpo takes them (UTF-8), every
// entry that has one, fuzzy ones too: a translator looks at them all.
void po_texts(FILE* f, const std::string& path, std::vector<Text>* out, uint32_t* problems) {
    po::Reader reader(f);
    const std::string name = name_of(path);
    bool whole = reader.read(
        [&](const po::Entry& e) {
            if (e.is_header() || e.str.empty()) return true;
            std::string s;
            win::Utf8Fault fault;
            if (!win::from_utf8(e.str, &s, &fault)) {
                std::printf("%s:%zu: %s\n", name.c_str(), e.line,
                            fault.not_utf8 ? "the translation is not UTF-8"
                                           : io::format("the translation holds U+%04X, which Windows-1251 cannot hold",
                                                        unsigned(fault.ch))
                                                 .c_str());
                ++*problems;
                return true;
            }
            out->push_back({with_breaks(s, false), name + ":" + std::to_string(e.line)});
            return true;
        },
        [&](size_t line, const std::string& what) {
            std::printf("%s:%zu: %s\n", name.c_str(), line, what.c_str());
            ++*problems;
        });
    if (!whole) throw Stop{"Damaged file " + path + ": it cannot be read to its end"};
}

bool starts_record(const std::string& line) {
    return line.size() >= 2 && line[0] == '{' && std::isdigit(static_cast<unsigned char>(line[1]));
}

// The texts of a list: dumptodo's list filled in (the translation under each
// record), or one text a line (a ready list, a plain text file).
void list_texts(FILE* f, const std::string& path, std::vector<Text>* out, uint32_t* problems) {
    io::Problems told("", true);
    translist::Lines lines(f, name_of(path), &told);
    std::string line;
    bool records = false, first = true;
    const std::string name = name_of(path);
    while (lines.get(&line)) {
        if (first) {
            records = starts_record(line);
            first = false;
        }
        if (!records) {
            if (!line.empty()) out->push_back({with_breaks(line, true), name + ":" + std::to_string(lines.number())});
            continue;
        }
        if (!starts_record(line)) continue;
        // The record's line, an empty line, the translation, "\\".
        if (!lines.get(&line)) break;
        if (!line.empty()) {
            lines.unget();
            continue;
        }
        if (!lines.get(&line)) break;
        if (starts_record(line)) {
            lines.unget();
            continue;
        }
        if (line != translist::kPrompt && line != "\\\\" && !line.empty())
            out->push_back({with_breaks(line, true), name + ":" + std::to_string(lines.number())});
    }
    *problems += told.count();
}

std::vector<Text> file_texts(const std::string& path, uint32_t* problems) {
    FILE* f = win::fopen_native(file_of(path), "rb");
    if (!f) throw Stop{"Can't open " + path};
    std::vector<Text> out;
    try {
        if (ends_with_folded(path, ".po") || ends_with_folded(path, ".pot")) po_texts(f, path, &out, problems);
        else list_texts(f, path, &out, problems);
    } catch (...) {
        std::fclose(f);
        throw;
    }
    std::fclose(f);
    return out;
}

// ---------------------------------------------------------------------------
// The font

struct Font {
    std::vector<uint8_t> file;
    bool calig = false;
};

Font read_font(const std::string& path) {
    FILE* f = win::fopen_native(file_of(path), "rb");
    if (!f) throw Stop{"Can't open " + path};
    Font font;
    font.file = io::read_all(f);
    std::fclose(f);
    // The calig font files hold no tables of their own; a calig.fnt that
    // holds them is read as an FNT font, as extractfonts reads it.
    std::string name = win::fold_case(name_of(path));
    std::string fault;
    if (name == "CALIG.FN1") {
        font.calig = true;
        fault = fnt::font_fault(font.file, true);
    } else {
        fault = fnt::font_fault(font.file, false);
        if (!fault.empty() && name == "CALIG.FNT" && fnt::font_fault(font.file, true).empty()) {
            font.calig = true;
            fault.clear();
        }
    }
    if (!fault.empty()) throw Stop{"Damaged file " + path + ": " + fault};
    return font;
}

// ---------------------------------------------------------------------------
// The picture

struct Canvas {
    int64_t width = 0, height = 0;
    std::vector<uint8_t> px; // colour map indexes

    void put(int64_t x, int64_t y, uint8_t v) {
        if (x >= 0 && y >= 0 && x < width && y < height) px[size_t(y * width + x)] = v;
    }
};

void draw_box(Canvas& c, int64_t x, int64_t y, int w, int h) {
    for (int i = 0; i < w; ++i) {
        c.put(x + i, y, kBoxColour);
        c.put(x + i, y + h - 1, kBoxColour);
    }
    for (int j = 0; j < h; ++j) {
        c.put(x, y + j, kBoxColour);
        c.put(x + w - 1, y + j, kBoxColour);
    }
}

// Draws a text from row `top`; the columns its widest line takes in the
// picture.
int64_t draw(Canvas* c, const Metrics& m, const std::string& text, int64_t top) {
    const int h = int(m.face.t.height);
    int64_t x = 0, y = top, widest = 0;
    for (unsigned char ch : text) {
        if (breaks(ch)) {
            widest = std::max(widest, x);
            x = 0;
            y += h;
            continue;
        }
        if (m.draws[ch] == fnt::Draws::Yes) {
            if (c) {
                const int64_t at = kMargin + x + m.face.left[ch - fnt::kFirstCode];
                const uint32_t w = m.face.width(ch);
                const uint8_t* g = m.face.glyph(ch);
                for (int j = 0; j < h; ++j)
                    for (uint32_t i = 0; i < w; ++i)
                        if (uint8_t v = g[size_t(j) * w + i]) c->put(at + i, y + j, v);
            }
            x += m.advance[ch];
        } else {
            if (c) draw_box(*c, kMargin + x, y, m.box, h);
            x += std::max<int64_t>(m.advance[ch], m.box + 1);
        }
    }
    return std::max(widest, x);
}

void write_file(const std::string& path, const std::string& data) {
    const std::string target = file_of(path), temp = target + io::Replacement::kSuffix;
    FILE* f = win::fopen_native(temp, "wb");
    if (!f) throw Stop{"Can't open " + path};
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        win::remove_native(temp);
        throw Stop{"Can't write " + path};
    }
    if (win::replace_native(temp, target) != 0) {
        win::remove_native(temp);
        throw Stop{"Can't replace " + path};
    }
}

int usage(const std::string& what) {
    std::fprintf(stderr, "locbench: %s; usage: locbench preview %s\n", what.c_str(), description().usage);
    return 2;
}

bool number(const std::string& s, int64_t* n) {
    if (s.empty() || s.size() > 9) return false;
    *n = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        *n = *n * 10 + (c - '0');
    }
    return true;
}

int run(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "/?")) {
        about::help(description());
        return 0;
    }
    std::string font_path, from, out_path;
    int64_t room = -1;
    std::vector<std::string> words;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (a == "--width") {
            const std::string* v = value();
            if (!v || room >= 0 || !number(*v, &room)) return usage("--width takes a number of pixels, once");
        } else if (a == "--from") {
            const std::string* v = value();
            if (!v || !from.empty() || v->empty()) return usage("--from takes a file, once");
            from = *v;
        } else if (a == "-o") {
            const std::string* v = value();
            if (!v || !out_path.empty() || v->empty()) return usage("-o takes a file, once");
            out_path = *v;
        } else if (a == "--") {
            for (++i; i < args.size(); ++i) {
                if (font_path.empty()) font_path = args[i];
                else words.push_back(args[i]);
            }
        } else if (a.size() > 1 && a[0] == '-' && font_path.empty()) {
            return usage("unexpected argument \"" + a + "\"");
        } else if (font_path.empty()) {
            font_path = a;
        } else {
            words.push_back(a);
        }
    }
    if (font_path.empty()) return usage("no font given");
    if (words.empty() == from.empty()) return usage("give either texts or --from FILE");
    if (out_path.empty()) out_path = font_path + ".png";

    const Font font = read_font(font_path);
    const Metrics m = metrics_of(fnt::face(font.file, font.calig));

    uint32_t problems = 0;
    std::vector<Text> texts;
    if (!from.empty()) texts = file_texts(from, &problems);
    for (size_t i = 0; i < words.size(); ++i) texts.push_back({from_argument(words[i], i + 1), ""});

    std::vector<Measure> measures;
    measures.reserve(texts.size());
    for (const Text& t : texts) measures.push_back(measure(m, t.text));

    // The listing.
    size_t wide = 0, lacking = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        const Measure& r = measures[i];
        bool past = room >= 0 && r.width > room;
        wide += past;
        lacking += !r.lack.empty();
        if (room < 0 || past)
            std::printf("%5lld  %s\n", static_cast<long long>(r.width), shown(texts[i]).c_str());
    }
    if (room >= 0) {
        if (wide == 0) std::printf("No text is wider than %lld pixels\n", static_cast<long long>(room));
        else
            std::printf("%zu of the %zu texts %s wider than %lld pixels\n", wide, texts.size(),
                        wide == 1 ? "is" : "are", static_cast<long long>(room));
    }
    for (size_t i = 0; i < texts.size(); ++i)
        for (unsigned char c : measures[i].lack)
            std::printf("cannot draw %s, %s: %s\n", character(c).c_str(), why(m.draws[c]), shown(texts[i]).c_str());

    // The texts the picture shows: all while they fit; else first those past
    // the room or lacking a glyph.
    const int64_t h = m.face.t.height;
    std::vector<size_t> order;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < texts.size(); ++i) {
            bool worth = (room >= 0 && measures[i].width > room) || !measures[i].lack.empty();
            if (worth == (pass == 0)) order.push_back(i);
        }
    std::vector<size_t> shown_texts;
    int64_t rows = 2 * kMargin - kGap, columns = room >= 0 ? room + 1 : 0;
    for (size_t i : order) {
        int64_t need = kGap + int64_t(measures[i].lines) * h;
        if (rows + need > kMaxRows) continue;
        rows += need;
        shown_texts.push_back(i);
        columns = std::max(columns, draw(nullptr, m, texts[i].text, 0));
    }
    std::sort(shown_texts.begin(), shown_texts.end());
    Canvas c;
    c.width = std::min(kMaxColumns, columns + 2 * kMargin);
    c.height = std::max<int64_t>(rows, 2 * kMargin);
    c.px.assign(size_t(c.width * c.height), 0);
    if (room >= 0)
        for (int64_t y = 0; y < c.height; ++y) c.put(kMargin + room, y, kRoomColour);
    int64_t top = kMargin;
    for (size_t i : shown_texts) {
        draw(&c, m, texts[i].text, top);
        top += int64_t(measures[i].lines) * h + kGap;
    }
    std::vector<uint8_t> rgb(c.px.size() * 3);
    for (size_t k = 0; k < c.px.size(); ++k) {
        uint32_t colour = tiffimg::kColourMap[c.px[k]];
        rgb[3 * k] = uint8_t(colour >> 16);
        rgb[3 * k + 1] = uint8_t(colour >> 8);
        rgb[3 * k + 2] = uint8_t(colour);
    }
    std::string data = png::rgb(rgb, uint32_t(c.width), uint32_t(c.height));
    if (data.empty()) throw Stop{"Can't write " + out_path};
    write_file(out_path, data);
    if (shown_texts.size() == texts.size())
        std::printf("Picture: %s (%zu %s)\n", out_path.c_str(), texts.size(), texts.size() == 1 ? "text" : "texts");
    else
        std::printf("Picture: %s (%zu of the %zu texts; those past the room or lacking a glyph first)\n",
                    out_path.c_str(), shown_texts.size(), texts.size());
    return wide > 0 || lacking > 0 || problems > 0 ? 1 : 0;
}

} // namespace

int main(const std::vector<std::string>& args) {
    try {
        return run(args);
    } catch (const Stop& s) {
        std::printf("%s\n", s.message.c_str());
        return 3;
    } catch (const std::bad_alloc&) {
        std::printf("Out of memory\n");
        return 3;
    }
}

} // namespace preview
