// The fonts against the translation. The game draws a text one byte a
// character (Windows-1251) with the glyph of that code; buildfont redraws the
// glyphs of codes 192 to 255 (А to я) and keeps the old font's below, so a
// translation may use characters (ё, №, «») that a translated font draws as
// the English font had them, or not at all.
//
// The characters are those of the translations that take their place on the
// ready list, taken while the texts are counted (once per run); without a PO
// file or a filled-in list, those of the translated tables in text_!. A font that
// draws no Cyrillic letter yet is not translated yet: what it lacks is no
// problem. A font that draws some and lacks a character the translation uses
// (a width of 0, an empty bitmap) is one: the game shows a gap there.
#include "status/fonts.hpp"

#include "formats/fnt.hpp"
#include "jobs/texts/ready.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <array>
#include <cstdio>

namespace status {

using nlohmann::json;

namespace {

struct Characters {
    std::array<uint32_t, 256> texts{}; // how many texts use each code
    std::array<std::string, 256> first; // where the first of them is
    bool any = false;
};

Characters& used() {
    static Characters c;
    return c;
}

// Codes a text holds that are no characters drawn: line breaks and what
// lies below the glyphs' range.
bool drawn(unsigned char c) { return c >= 0x20 && c != '~'; }

std::string character(unsigned char c) { return io::format("\"%c\" (0x%02X)", char(c), unsigned(c)); }

std::string characters(const std::vector<unsigned char>& codes) {
    std::string s;
    for (unsigned char c : codes) s += (s.empty() ? "" : ", ") + character(c);
    return s;
}

json codes_json(const std::vector<unsigned char>& codes) {
    json a = json::array();
    for (unsigned char c : codes) a.push_back({{"char", win::to_utf8(std::string(1, char(c)))}, {"code", c}});
    return a;
}

const char* how(fnt::Draws d) {
    return d == fnt::Draws::NoWidth ? "with width 0" : d == fnt::Draws::Blank ? "with an empty bitmap" : "not at all";
}

struct FontFile {
    std::string path;
    bool calig = false;
    bool rebuilt = false; // written by the step: the glyphs below code 192 are the old font's
};

void judge_font(const FontFile& ff, StepView& v, json& list) {
    FILE* in = win::fopen(ff.path.c_str(), "rb");
    if (!in) return;
    std::vector<uint8_t> file = io::read_all(in);
    std::fclose(in);
    std::string fault = fnt::font_fault(file, ff.calig);
    if (!fault.empty()) {
        v.details.push_back(ff.path + ": its glyphs cannot be read (" + fault + ")");
        list.push_back({{"font", win::to_utf8(ff.path)}, {"damaged", win::to_utf8(fault)}});
        return;
    }
    const fnt::Face face = fnt::face(file, ff.calig);
    const Characters& u = used();
    std::vector<unsigned char> lacks, kept;
    uint32_t uses = 0, draws = 0;
    for (int c = 0x20; c < 256; ++c) {
        if (!u.texts[c]) continue;
        ++uses;
        if (fnt::draws(face, uint8_t(c)) == fnt::Draws::Yes) {
            ++draws;
            if (c >= 0x80 && c < 192) kept.push_back(uint8_t(c));
        } else {
            lacks.push_back(uint8_t(c));
        }
    }
    const bool cyrillic = fnt::has_cyrillic(face);
    json entry = {{"font", win::to_utf8(ff.path)}, {"cyrillic", cyrillic}, {"uses", uses}, {"draws", draws},
                  {"lacks", codes_json(lacks)}};
    if (ff.rebuilt) entry["kept"] = codes_json(kept);
    list.push_back(entry);
    if (!cyrillic) {
        v.details.push_back(ff.path + ": not translated yet: it draws no Cyrillic letter (codes 192 to 255)" +
                            (u.any ? io::format("; it draws %u of the %u characters the translation uses", draws, uses)
                                   : ""));
        return;
    }
    if (!u.any) return;
    v.details.push_back(ff.path + io::format(": draws %u of the %u characters the translation uses", draws, uses) +
                        (lacks.empty() ? "" : "; lacks " + characters(lacks)));
    if (ff.rebuilt && !kept.empty())
        v.details.push_back(ff.path + ": keeps the old font's glyphs of " + characters(kept) +
                            ", which the translation uses: look at them with locbench preview");
    const std::string todo = "the game shows a gap there: draw its glyph in the strip and run buildfont again, or "
                             "write the texts without it";
    if (lacks.size() > 5) {
        v.problems.push_back({ff.path, "it cannot draw " + std::to_string(lacks.size()) +
                                           " characters the translation uses: " + characters(lacks),
                              todo});
        return;
    }
    for (unsigned char c : lacks)
        v.problems.push_back({ff.path,
                              "it draws " + character(c) + " " + how(fnt::draws(face, c)) + ": " +
                                  plural(u.texts[c], "text uses", "texts use") + " it, the first at " + u.first[c],
                              todo});
}

// Without a translation to count (no PO file, no filled-in list), the
// translated tables of text_!, as applytodo_ready wrote them: each line a
// text, named by its file and line.
void take_tables(Run& run) {
    static bool taken = false;
    if (taken) return;
    taken = true;
    const chains::Ref done = {"unmaskbreaks", "text_!\\*.txt"};
    if (!chains::place(done)) return;
    const Set& tables = run.tree.set(done);
    for (const File& f : tables.files) {
        FILE* in = win::fopen(tables.path(f).c_str(), "rb");
        if (!in) continue;
        io::LineReader lines(in);
        std::string_view line;
        uint64_t number = 0;
        std::array<bool, 256> seen{};
        Characters& u = used();
        while (lines.next(&line)) {
            ++number;
            seen.fill(false);
            for (unsigned char c : line) {
                if (!drawn(c) || seen[c]) continue;
                seen[c] = true;
                if (u.texts[c]++ == 0) u.first[c] = f.name + ":" + std::to_string(number);
                u.any = true;
            }
        }
        std::fclose(in);
    }
}

void add_fonts(Run& run, const std::vector<chains::Ref>& refs, bool rebuilt, std::vector<FontFile>* out) {
    for (const chains::Ref& r : refs) {
        const Set& s = run.tree.set(r);
        for (const File& f : s.files) {
            std::string path = s.path(f);
            if (format_of(path) != Format::Font) continue;
            out->push_back({path, win::fold_case(f.name) == "CALIG.FN1", rebuilt});
        }
    }
}

} // namespace

void take_characters(const tables::Text& t, std::string_view translation) {
    Characters& u = used();
    // The text each code was last seen in: a text counts once per code.
    static std::array<uint32_t, 256> seen{};
    static uint32_t text = 0;
    ++text;
    for (unsigned char c : translation) {
        if (seen[c] == text || !drawn(c)) continue;
        seen[c] = text;
        if (u.texts[c]++ == 0) u.first[c] = ready::record_name(t);
        u.any = true;
    }
}

void glyphs(Run& run, StepView& v) {
    count_texts(run);
    if (!used().any) take_tables(run);
    std::vector<FontFile> fonts;
    add_fonts(run, v.step->makes, true, &fonts);
    if (fonts.empty()) add_fonts(run, v.step->needs, false, &fonts);
    if (fonts.empty()) return;
    json list = json::array();
    for (const FontFile& f : fonts) judge_font(f, v, list);
    if (!v.counts.is_object()) v.counts = json::object();
    v.counts["fonts"] = list;
}

} // namespace status
