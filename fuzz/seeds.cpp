// seed_corpus DIR: writes the fuzz targets' seeds, DIR/NAME/*, made by the
// formats' own writers and by the jobs that write the lists (dumptodo,
// exportpo, dumptextbin) on a scratch prefix: small, well-formed files of
// each kind, from which the fuzzers go on.
#include "formats/bytes.hpp"
#include "formats/fnt.hpp"
#include "formats/lod.hpp"
#include "formats/pak.hpp"
#include "formats/snd.hpp"
#include "formats/textbin.hpp"
#include "formats/tga.hpp"
#include "formats/tiff.hpp"
#include "formats/translist.hpp"
#include "formats/vcdiff.hpp"
#include "formats/vid.hpp"
#include "release/manifest.hpp"
#include "formats/zl.hpp"
#include "platform/win.hpp"
#include "support.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

void dumptodo();
void exportpo();
void dumptextbin();

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path out_dir;

void seed(const std::string& target, const std::string& name, const Bytes& b) {
    fs::create_directories(out_dir / target);
    std::ofstream(out_dir / target / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                                   std::streamsize(b.size()));
}
void seed(const std::string& target, const std::string& name, const std::string& s) {
    seed(target, name, Bytes(s.begin(), s.end()));
}

Bytes& operator+=(Bytes& a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes& operator+=(Bytes& a, const std::string& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
void put32(Bytes& b, size_t at, uint32_t v) { bytes::put_u32(b.data() + at, v); }
void name_at(Bytes& b, size_t at, const std::string& name) { std::copy(name.begin(), name.end(), b.begin() + at); }

std::string read_host(const std::string& windows_path) {
    std::ifstream in(fuzz::host(windows_path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Bytes pixels(size_t n, uint8_t from) {
    Bytes p(n);
    for (size_t i = 0; i < n; ++i) p[i] = uint8_t(from + i * 7);
    return p;
}

// An entry's data: the 48-byte header, the payload, a palette for images.
Bytes entry_data(const std::string& name, const Bytes& unpacked, bool packed, bool image) {
    Bytes payload = packed ? zl::pack(unpacked.data(), unpacked.size()) : unpacked;
    Bytes d(lod::kHeaderSize);
    name_at(d, 0, name);
    put32(d, lod::kPixelSizeField, uint32_t(unpacked.size()));
    put32(d, lod::kStoredSizeField, uint32_t(payload.size()));
    bytes::put_u16(d.data() + lod::kWidthField, 8);
    bytes::put_u16(d.data() + lod::kHeightField, uint16_t(unpacked.size() / 8));
    put32(d, lod::kUnpackedSizeField, uint32_t(unpacked.size()));
    d += payload;
    if (image) d += pixels(lod::kPaletteSize, 3);
    return d;
}

void lod_seeds() {
    std::vector<Bytes> entries = {entry_data("icon_a", pixels(64, 1), true, true),
                                  entry_data("text_b", Bytes(40, 'z'), false, false),
                                  entry_data("pal_c", pixels(100, 9), true, false)};
    Bytes a(lod::block_size(entries.size()));
    put32(a, lod::kCountField, uint32_t(entries.size()));
    uint32_t at = uint32_t(a.size() - lod::kHeadSize);
    for (size_t k = 0; k < entries.size(); ++k) {
        size_t e = lod::kHeadSize + lod::kEntrySize * k;
        name_at(a, e, std::string(1, char('a' + k)) + "_entry");
        put32(a, e + lod::kDataOffsetField, at);
        put32(a, e + lod::kSizeField, uint32_t(entries[k].size()));
        at += uint32_t(entries[k].size());
    }
    for (const Bytes& d : entries) a += d;
    put32(a, lod::kDataRegionField, at);
    seed("lod", "archive", a);
    for (size_t k = 0; k < entries.size(); ++k) seed("lod_payload", "entry" + std::to_string(k), entries[k]);
}

void pak_seeds() {
    std::vector<std::pair<std::string, std::string>> members = {
        {"maps/start.bsp", "bsp data here"}, {"sound/voice/hello.wav", "RIFF....WAVE"}, {"text.bin", "Hi\0"}};
    Bytes a(pak::kHeaderSize);
    a[0] = 'P', a[1] = 'A', a[2] = 'C', a[3] = 'K';
    Bytes dir;
    for (auto& [name, data] : members) {
        Bytes e(pak::kEntrySize);
        name_at(e, 0, name);
        put32(e, pak::kOffsetField, uint32_t(a.size()));
        put32(e, pak::kLengthField, uint32_t(data.size()));
        a += data;
        dir += e;
    }
    put32(a, 4, uint32_t(a.size()));
    put32(a, 8, uint32_t(dir.size()));
    a += dir;
    seed("pak", "archive", a);
}

// SND and VID: a count word, a directory, the members.
void snd_vid_seeds() {
    std::vector<std::string> data = {"first member", "second, longer member", "3"};
    Bytes s(snd::kCountSize + snd::kEntrySize * data.size());
    Bytes v(vid::kCountSize + vid::kEntrySize * data.size());
    put32(s, 0, uint32_t(data.size()));
    put32(v, 0, uint32_t(data.size()));
    for (size_t i = 0; i < data.size(); ++i) {
        size_t e = snd::kCountSize + snd::kEntrySize * i;
        name_at(s, e, "voice" + std::to_string(i));
        put32(s, e + snd::kOffsetField, uint32_t(s.size()));
        put32(s, e + snd::kStoredField, uint32_t(data[i].size()));
        put32(s, e + snd::kUnpackedField, uint32_t(data[i].size() * 3));
        s += data[i];
        e = vid::kCountSize + vid::kEntrySize * i;
        name_at(v, e, "movie" + std::to_string(i) + ".smk");
        put32(v, e + vid::kOffsetField, uint32_t(v.size()));
        v += data[i];
    }
    seed("snd", "archive", s);
    seed("vid", "archive", v);
}

void font_seeds() {
    // A font 3 rows high, glyph i (code 31 + i) i % 5 columns wide.
    Bytes f(fnt::kBitmapsAt);
    f[0] = fnt::kFirstCode, f[1] = 255, f[2] = 8, f[fnt::kHeightAt] = 3;
    uint32_t at = 0;
    for (int i = 0; i < fnt::kGlyphs; ++i) {
        uint32_t w = uint32_t(i % 5);
        put32(f, fnt::kRecordsAt + fnt::kRecordSize * i + fnt::kWidthField, w);
        put32(f, fnt::kOffsetsAt + 4 * i, at);
        at += w * 3;
    }
    f += pixels(at, 5);
    seed("fnt", "font", f);
    fnt::Tables t = fnt::calig_tables();
    Bytes c(fnt::kCaligBitmapsAt);
    c += pixels(t.offset[fnt::kGlyphs - 1] + t.width[fnt::kGlyphs - 1] * t.height, 2);
    seed("calig", "calig.fnt", c);
}

void image_seeds() {
    for (uint8_t descriptor : {uint8_t(tga::kTopLeft), uint8_t(0)}) {
        Bytes t = tga::header(6, 4);
        t[tga::kDescriptorField] = descriptor;
        t += pixels(tga::kColourMapSize, 0);
        t += pixels(24, 1);
        seed("tga", descriptor ? "top_first.tga" : "bottom_first.tga", t);
    }
    Bytes pl = entry_data("icon_a", pixels(64, 1), true, true);
    Bytes header_and_palette(pl.begin(), pl.begin() + lod::kHeaderSize);
    header_and_palette.insert(header_and_palette.end(), pl.end() - lod::kPaletteSize, pl.end());
    seed("pl", "0000_icon_a.pl", header_and_palette);
    // The one layout the font jobs write, read back at its fixed positions.
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{5, 3}, {40, 27}}) {
        Bytes img = tiffimg::head_block(w, h);
        img += pixels(size_t(w) * h, 4);
        img += tiffimg::directory(w, h);
        seed("tiff", std::to_string(w) + "x" + std::to_string(h) + ".tif", img);
    }
}

// Lines of a list, each "\r\n" turned back into the line it ends.
std::string filled(const std::string& list, const std::string& translation) {
    std::string out;
    size_t n = 0;
    for (size_t p = 0; p < list.size();) {
        size_t e = list.find('\n', p);
        std::string line = list.substr(p, e == std::string::npos ? std::string::npos : e - p + 1);
        p = e == std::string::npos ? list.size() : e + 1;
        if (line.compare(0, std::char_traits<char>::length(translist::kPrompt), translist::kPrompt) == 0 && n++ % 2 == 0)
            line = translation + line.substr(std::char_traits<char>::length(translist::kPrompt));
        out += line;
    }
    return out;
}

void text_seeds() {
    fuzz::put_texts();
    std::string todo = read_host(fuzz::kTodo);
    seed("table_list", "todo.txt", todo);
    seed("table_list", "columns.txt", "t.txt\n1\n2\n 3\n-1\n.\nt.txt\n4\n.\n.\nnames.str\nnames.str\n.\n");
    std::string table = read_host(std::string(fuzz::kText) + "\\t.txt");
    seed("table", "column2", "\x02\x00" + table);
    seed("table", "column1_second_byte", "\x01\x01\tfirst\tsecond\n\t\t\n");
    seed("table", "long_line", "\x03\x00" + std::string(63490, 'a') + "\tb\tc\n");

    fuzz::until_exit(dumptodo);
    std::string list = read_host(std::string(fuzz::kText) + "\\!out!.txt");
    seed("filled_list", "untouched.txt", list);
    seed("filled_list", "filled.txt", filled(list, "\xCF\xE5\xF0\xE5\xE2\xEE\xE4"));
    seed("filled_list", "utf8.txt", "\xEF\xBB\xBF" + win::to_utf8(filled(list, "\xCF\xE5\xF0\xE5\xE2\xEE\xE4")));
    std::string ready;
    for (size_t p = list.find("\n{"); p != std::string::npos; p = list.find("\n{", p + 1)) ready += "text@line\r\n";
    seed("ready_list", "ready.txt", "Sword\r\n" + ready);

    fuzz::until_exit(exportpo);
    std::string pot = read_host("c:\\games\\zund7\\xfiles\\zund7.pot");
    seed("po", "zund7.pot", pot);
    seed("po_texts", "zund7.pot", pot);
    // Every msgstr translated, every other one marked fuzzy.
    std::string po;
    size_t k = 0;
    for (size_t p = 0; p < pot.size();) {
        size_t e = pot.find('\n', p);
        std::string line = pot.substr(p, e == std::string::npos ? std::string::npos : e - p + 1);
        p = e == std::string::npos ? pot.size() : e + 1;
        if (line == "msgstr \"\"\n" && k++ > 0) line = "msgstr \"\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB5\xD0\xB2@\"\n";
        if (line.rfind("msgctxt", 0) == 0 && k % 2) line = "#, fuzzy\n" + line;
        po += line;
    }
    seed("po_texts", "zund7.po", po);
    seed("po", "plural.po", "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                            "#, fuzzy\n#| msgid \"old\"\nmsgctxt \"t.txt:2\"\nmsgid \"one\"\nmsgid_plural \"many\"\n"
                            "msgstr[0] \"\\u043e\\t\\\"x\\\"\"\nmsgstr[1] \"\"\n\"more\\n\"\n\n#~ msgid \"gone\"\n#~ msgstr \"\"\n");

    fuzz::put(fuzz::kBin, fuzz::kBinBytes);
    seed("textbin", "text.bin", std::string(fuzz::kBinBytes));
    fuzz::until_exit(dumptextbin);
    std::string bin_list = read_host("c:\\games\\Brassjaw\\xfiles\\text.txt");
    for (const char* target : {"textbin_list", "applytextbin"}) {
        seed(target, "untouched.txt", bin_list);
        seed(target, "filled.txt", filled(bin_list, "Hi~x"));
        seed(target, "utf8.txt", win::to_utf8(filled(bin_list, "\xCF\xF0\xE8")));
    }
}

} // namespace

// Patches as release writes them (with the source length the target takes
// from the first two bytes), a manifest and make's journal.
void release_seeds() {
    for (size_t n : {size_t(0), size_t(300), size_t(5000)}) {
        std::vector<uint8_t> source(n), target;
        for (size_t i = 0; i < n; ++i) source[i] = uint8_t(i * 7 + (i >> 5));
        target.assign(source.begin(), source.begin() + long(n / 2));
        for (int i = 0; i < 200; ++i) target.push_back(uint8_t(i * 13));
        target.insert(target.end(), source.begin() + long(n / 3), source.end());
        vcdiff::MemoryInput src(source.data(), source.size()), tgt(target.data(), target.size());
        vcdiff::MemoryOutput patch;
        std::vector<vcdiff::Copy> known;
        if (n) known = {{0, 0, n / 2}, {n / 2 + 200, n / 3, n - n / 3}};
        vcdiff::encode(src, tgt, known, patch, {});
        Bytes bytes = {uint8_t(n), uint8_t(n >> 8)};
        bytes.insert(bytes.end(), patch.bytes.begin(), patch.bytes.end());
        seed("vcdiff", "patch" + std::to_string(n) + ".vcdiff", bytes);
    }
    manifest::Manifest m;
    m.title = "Zund 7 in Russian";
    std::string sha(64, 'a');
    m.items.push_back({"data/icons.lod", false, {1000, sha}, {1200, sha}, "patches/data/icons.lod.vcdiff", {300, sha}});
    m.items.push_back({"rus/notes.txt", true, {}, {12, sha}, "added/rus/notes.txt", {12, sha}});
    m.folders = {"rus"};
    seed("manifest", "manifest.txt", manifest::write(m));
    seed("journal", "locbench.journal",
         std::string("locbench journal 1\nstep pak extractpak\nin 100 1700000000000000000 0123456789abcdef "
                     "c:\\games\\Brassjaw\\main\\pak0.pak\nout 5 1700000000000000001 fedcba9876543210 "
                     "c:\\games\\Brassjaw\\xfiles\\pak\\a.txt\nrunning lod extractlod_icons\n"));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seed_corpus DIR\n");
        return 2;
    }
    out_dir = argv[1];
    lod_seeds();
    pak_seeds();
    snd_vid_seeds();
    font_seeds();
    image_seeds();
    text_seeds();
    release_seeds();
    return 0;
}
