// The data of the benchmarks, made the same way wherever a benchmark needs
// them: the PAK archive of the game's size, the icons archive with zlib
// payloads, the sound and video archives, and the tables of the seventh
// title with their translations.
#pragma once

#include "harness.hpp"

#include <zlib.h>

#include <fstream>
#include <random>
#include <iterator>
#include <sstream>

namespace bench {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// PAK

// The shape of a PAK archive of the game's size (456 members, 113,888,255
// bytes of data) and of its translated replacements.
struct PakShape {
    const char* name;
    std::vector<uint32_t> sizes;
    std::vector<std::pair<uint32_t, uint32_t>> replaced; // member, size of its replacement
    uint32_t largest() const { return *std::max_element(sizes.begin(), sizes.end()); }
};

// Mostly small members and every 40th a large one; replacements of about half
// their member's size, one of them a large one, so that the runs after them
// move by odd amounts.
inline PakShape pak_mixed() {
    const uint32_t count = 456, total = 113888255;
    PakShape s{"mixed sizes, 4 replacements of half size", std::vector<uint32_t>(count), {}};
    uint64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        s.sizes[i] = (i % 40 == 7) ? 6000000 + i * 1000 : 20000 + (i * 7919) % 90000;
        sum += s.sizes[i];
    }
    s.sizes[count - 1] += uint32_t(total - sum); // the rest goes to the last member
    for (uint32_t i : {0u, 7u, 100u, 455u}) s.replaced.push_back({i, s.sizes[i] / 2 + 1234});
    return s;
}

// Sizes drawn between 1,000 and 400,000 bytes and one large last member;
// three members replaced by files of 5,000 bytes, so that every member after
// the first replacement lies at another place within its 4 KiB pages.
inline PakShape pak_shifted() {
    const uint32_t count = 456, total = 113888255;
    PakShape s{"sizes 1,000 to 400,000, 3 replacements of 5,000 bytes", std::vector<uint32_t>(count), {}};
    std::mt19937 rng(456);
    std::uniform_int_distribution<uint32_t> size(1000, 400000);
    uint64_t sum = 0;
    for (uint32_t i = 0; i + 1 < count; ++i) sum += s.sizes[i] = size(rng);
    s.sizes[count - 1] = uint32_t(total - sum);
    for (uint32_t i : {3u, 100u, 300u}) s.replaced.push_back({i, 5000});
    return s;
}

// Writes the archive of `s` as `path` and its replacements, under their flat
// member names, into the folder `rus` (made anew); gives the archive's size.
inline double write_pak(const PakShape& s, const fs::path& path, const fs::path& rus) {
    uint64_t total = 0;
    for (uint32_t n : s.sizes) total += n;
    std::vector<uint8_t> pak = {'P', 'A', 'C', 'K'}, dir, member;
    put_u32(pak, uint32_t(12 + total));
    put_u32(pak, uint32_t(s.sizes.size() * 64));
    for (uint32_t i = 0; i < s.sizes.size(); ++i) {
        member.resize(s.sizes[i]);
        fill(member, i);
        uint32_t at = uint32_t(pak.size());
        pak.insert(pak.end(), member.begin(), member.end());
        std::string name = "data/part" + std::to_string(i / 50) + "/m" + std::to_string(i) + ".bin";
        name.resize(56, '\0');
        dir.insert(dir.end(), name.begin(), name.end());
        put_u32(dir, at);
        put_u32(dir, s.sizes[i]);
    }
    pak.insert(pak.end(), dir.begin(), dir.end());
    write_file(path, pak);
    fs::remove_all(rus);
    for (auto [i, size] : s.replaced) {
        member.resize(size);
        fill(member, 1000 + i);
        write_file(rus / ("data+part" + std::to_string(i / 50) + "+m" + std::to_string(i) + ".bin"), member);
    }
    return double(pak.size());
}

// The second game under `prefix`: main\pak0.pak of the mixed shape and its
// replacements in rus. Gives the archive's size, and its largest member in
// *largest.
inline double make_pak(const fs::path& prefix, uint32_t* largest) {
    fs::path game = prefix / "dosdevices" / "c:" / "games" / "Brassjaw";
    fs::create_directories(game / "bin");
    fs::create_directories(game / "xfiles" / "pak");
    const PakShape s = pak_mixed();
    *largest = s.largest();
    return write_pak(s, game / "main" / "pak0.pak", game / "rus");
}

// ---------------------------------------------------------------------------
// LOD with zlib payloads

// Pixels of an image-like payload: runs of a few colours, which zlib packs
// to about a third.
inline void fill_pixels(std::vector<uint8_t>& buf, uint32_t seed) {
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    size_t i = 0;
    while (i < buf.size()) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        size_t run = 1 + (x >> 8) % 6;
        uint8_t colour = uint8_t((x >> 16) % 24);
        for (size_t k = 0; k < run && i < buf.size(); ++k) buf[i++] = colour;
    }
}

// The zund7 icons archive data\icons1.lod under `prefix`: 4241 entries of
// the LOD benchmark's sizes whose payloads are image-like pixels packed with
// zlib (every 500th a large image with a palette), about 30 MB. Gives its
// size; the bytes unpacked in *unpacked_total, the largest payload unpacked
// in *largest.
inline double make_packed_icons(const fs::path& prefix, uint64_t* unpacked_total, uint32_t* largest) {
    fs::path data = prefix / "dosdevices" / "c:" / "games" / "ZUND7" / "data";
    fs::create_directories(data);
    // The unpacked sizes: the sizes of the LOD benchmark's entries, 2.75
    // times over, so that the packed archive comes to about 30 MB as well.
    const uint32_t count = 4241;
    std::vector<uint8_t> lod(288, 0);
    fill(lod, 1);
    lod.resize(288 + 32 * count);
    uint64_t pos = 32ull * count;
    std::vector<uint8_t> pixels, entry;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t old_size = (k % 500 == 7) ? 200000 + k : 48 + 2000 + (k * 7919) % 10000;
        pixels.resize(old_size * 11 / 4);
        fill_pixels(pixels, 100 + k);
        uLongf zn = compressBound(uLong(pixels.size()));
        entry.assign(48 + zn, 0);
        if (compress2(entry.data() + 48, &zn, pixels.data(), uLong(pixels.size()), Z_BEST_COMPRESSION) != Z_OK) {
            std::fprintf(stderr, "compress2 failed\n");
            std::exit(1);
        }
        entry.resize(48 + zn);
        std::snprintf(reinterpret_cast<char*>(entry.data()), 16, "icon%04u.bmp", k);
        for (int i = 0; i < 4; ++i) {
            entry[20 + i] = uint8_t(zn >> (8 * i));
            entry[40 + i] = uint8_t(pixels.size() >> (8 * i));
        }
        if (k % 500 == 7) { // a large image: its palette follows the payload
            std::vector<uint8_t> palette(768);
            fill(palette, k);
            entry.insert(entry.end(), palette.begin(), palette.end());
        }
        uint8_t* e = lod.data() + 288 + 32 * k;
        std::snprintf(reinterpret_cast<char*>(e), 16, "icon%04u.bmp", k);
        for (int i = 0; i < 4; ++i) {
            e[16 + i] = uint8_t(pos >> (8 * i));
            e[20 + i] = uint8_t(entry.size() >> (8 * i));
        }
        pos += entry.size();
        lod.insert(lod.end(), entry.begin(), entry.end());
        *unpacked_total += pixels.size();
        *largest = std::max<uint32_t>(*largest, uint32_t(pixels.size()));
    }
    uint32_t region = uint32_t(lod.size() - 288);
    for (int i = 0; i < 4; ++i) lod[276 + i] = uint8_t(region >> (8 * i));
    for (int i = 0; i < 4; ++i) lod[284 + i] = uint8_t(count >> (8 * i));
    write_file(data / "icons1.lod", lod);
    return double(lod.size());
}

// ---------------------------------------------------------------------------
// SND and VID

inline const uint32_t kSounds = 2000;

inline void put_name(std::vector<uint8_t>& b, const std::string& name) {
    std::string field = name;
    field.resize(40, '\0');
    b.insert(b.end(), field.begin(), field.end());
}

inline uint32_t sound_size(uint32_t i) { return (i % 100 == 42) ? 4000000 + i * 100 : 60000 + (i * 7919) % 120000; }

// The sound archive, members back to back after the directory, each with an
// unpacked size of three times its stored size; entry files (with their
// plain ".wav") ready for a few members.
inline double make_snd(const fs::path& zund7) {
    std::vector<uint8_t> snd;
    put_u32(snd, kSounds);
    uint32_t pos = 4 + kSounds * 52;
    for (uint32_t i = 0; i < kSounds; ++i) {
        put_name(snd, "snd" + std::to_string(i));
        put_u32(snd, pos);
        put_u32(snd, sound_size(i));
        put_u32(snd, sound_size(i) * 3);
        pos += sound_size(i);
    }
    std::vector<uint8_t> member;
    for (uint32_t i = 0; i < kSounds; ++i) {
        member.resize(sound_size(i));
        fill(member, i);
        snd.insert(snd.end(), member.begin(), member.end());
    }
    write_file(zund7 / "Sounds" / "Audio1.snd", snd);
    fs::path ready = zund7 / "xfiles" / "sound_ready";
    for (uint32_t i : {0u, 42u, 1000u, 1999u}) {
        member.resize(sound_size(i) / 2 + 999);
        fill(member, 5000 + i);
        write_file(ready / ("snd" + std::to_string(i) + ".wav.zl"), member);
        member.resize(sound_size(i) * 2);
        write_file(ready / ("snd" + std::to_string(i) + ".wav"), member);
    }
    return double(snd.size());
}

// The video archive on d:, 14 members back to back after the 620-byte table,
// and two translated videos in the video folder. Gives the largest member or
// video.
inline double make_vid(const fs::path& prefix, const fs::path& zund7, uint32_t& largest) {
    std::vector<uint32_t> sizes(14);
    for (uint32_t k = 0; k < 14; ++k) sizes[k] = 12000000 + k * 1500000 + (k * 7919) % 10000;
    largest = *std::max_element(sizes.begin(), sizes.end());

    std::vector<uint8_t> vid;
    put_u32(vid, 14);
    uint32_t pos = 620;
    for (uint32_t k = 0; k < 14; ++k) {
        put_name(vid, "m" + std::to_string(k) + ".smk");
        put_u32(vid, pos);
        pos += sizes[k];
    }
    std::vector<uint8_t> member;
    for (uint32_t k = 0; k < 14; ++k) {
        member.resize(sizes[k]);
        fill(member, 100 + k);
        vid.insert(vid.end(), member.begin(), member.end());
    }
    write_file(prefix / "dosdevices" / "d:" / "Anims" / "Velor7.vid", vid);
    fs::create_directories(zund7 / "Anims");
    for (uint32_t k : {2u, 13u}) {
        member.resize(sizes[k] + 3000000);
        fill(member, 900 + k);
        write_file(zund7 / "xfiles" / "smk" / ("m" + std::to_string(k) + ".smk"), member);
        largest = std::max(largest, uint32_t(member.size()));
    }
    return double(vid.size());
}

// ---------------------------------------------------------------------------
// Texts

inline const char* const kWords[] = {"the",   "sword", "of",    "ancient", "kings",  "shield", "gives",  "magic",
                              "power", "to",    "a",     "hero",    "who",    "walks",  "through", "dark",
                              "lands", "and",   "fights", "dragons", "with",  "fire",   "cold",   "steel"};

struct Rng {
    uint64_t x;
    uint32_t next() {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return uint32_t(x >> 16);
    }
};

inline std::string sentence(Rng& rng, int words) {
    std::string s;
    for (int i = 0; i < words; ++i) {
        if (i) s += (rng.next() % 23 == 0) ? "@" : " "; // now and then a masked line break
        s += kWords[rng.next() % (sizeof kWords / sizeof *kWords)];
    }
    return s;
}

inline std::string read_all(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void write_all(const fs::path& p, const std::string& s) {
    write_file(p, std::vector<uint8_t>(s.begin(), s.end()));
}

// The translator: ASCII letters become Cyrillic ones (two bytes each in
// UTF-8, one in Windows-1251); a backslash escape is left as it is.
inline std::string cyrillic(const std::string& s, bool utf8) {
    std::string t;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            t += c;
            t += s[++i];
        } else if (c >= 'a' && c <= 'z') {
            unsigned cp = 0x0430 + unsigned(c - 'a'); // а...
            if (utf8) {
                t += char(0xC0 | (cp >> 6));
                t += char(0x80 | (cp & 0x3F));
            } else {
                t += char(0xE0 + (c - 'a'));
            }
        } else {
            t += c;
        }
    }
    return t;
}

// The template with every msgstr filled in: the msgid's lines, translated.
inline std::string translated_po(const std::string& pot) {
    std::istringstream in(pot);
    std::string out, line;
    std::vector<std::string> id;
    bool in_id = false;
    while (std::getline(in, line)) {
        if (line.rfind("msgid ", 0) == 0) {
            id = {line.substr(6)};
            in_id = true;
        } else if (in_id && !line.empty() && line[0] == '"') {
            id.push_back(line);
        } else if (line == "msgstr \"\"" && !(id.size() == 1 && id[0] == "\"\"")) {
            in_id = false;
            out += "msgstr " + cyrillic(id[0], true) + "\n";
            for (size_t i = 1; i < id.size(); ++i) out += cyrillic(id[i], true) + "\n";
            continue;
        } else {
            in_id = false;
        }
        out += line + "\n";
    }
    return out;
}

// The benchmark font: 20 rows as buildfont writes them, a glyph 5 to 12
// columns wide for every code 31 to 255 (every character the translations
// use drawn), bearings 1 and 0.
inline std::vector<uint8_t> make_font() {
    std::vector<uint8_t> f(4128, 0);
    f[0] = 31;
    f[1] = 255;
    f[2] = 8;
    f[5] = 20;
    uint32_t offset = 0;
    std::vector<uint8_t> bitmaps;
    for (int i = 0; i < 225; ++i) {
        const uint32_t width = 5 + uint32_t(i * 7) % 8;
        const size_t rec = 404 + 12 * size_t(i);
        f[rec] = 1;
        f[rec + 4] = uint8_t(width);
        for (int k = 0; k < 4; ++k) f[3228 + 4 * size_t(i) + k] = uint8_t(offset >> (8 * k));
        for (uint32_t p = 0; p < width * 20; ++p) bitmaps.push_back(uint8_t(p % 3 == 0 ? 255 : 0));
        offset += width * 20;
    }
    f.insert(f.end(), bitmaps.begin(), bitmaps.end());
    return f;
}

// dumptodo's list with a translation in place of every placeholder.
inline std::string filled_list(const std::string& list) {
    const std::string prompt = "\xCF\xE8\xF8\xE8 \xE7\xE4\xE5\xF1\xFC";
    std::string out, last_text;
    size_t p = 0;
    while (p < list.size()) {
        size_t e = list.find("\r\n", p);
        if (e == std::string::npos) e = list.size();
        std::string line = list.substr(p, e - p);
        if (line == prompt) {
            out += cyrillic(last_text, false);
        } else {
            if (!line.empty() && line[0] == '{') {
                size_t t = line.find("}{", line.find("}{", line.find("}{") + 2) + 2) + 2;
                last_text = line.substr(t, line.size() - t - 1);
            }
            out += line;
        }
        out += "\r\n";
        p = e + 2;
    }
    return out;
}

// The seventh title's texts under xfiles: `tables` ".txt" tables of `rows`
// rows (an identifier, two listed columns, a note that is not listed) and a
// string file of `strings` strings in xfiles\text, and todo.txt listing them.
// Gives the bytes of the tables and the string file.
inline uint64_t make_tables(const fs::path& xfiles, int tables, int rows, int strings) {
    const fs::path text = xfiles / "text";
    fs::create_directories(text);
    Rng rng{0x5EED};
    std::vector<std::string> common; // texts that many rows share
    for (int i = 0; i < 200; ++i) common.push_back(sentence(rng, 2 + int(rng.next() % 3)));
    std::string todo;
    uint64_t bytes = 0;
    for (int t = 0; t < tables; ++t) {
        std::string table;
        for (int r = 0; r < rows; ++r) {
            char id[32];
            std::snprintf(id, sizeof id, "item_%02d_%05d", t, r);
            std::string name = rng.next() % 10 == 0 ? common[rng.next() % common.size()] : sentence(rng, 3 + int(rng.next() % 5));
            std::string desc = rng.next() % 10 == 0 ? common[rng.next() % common.size()] : sentence(rng, 6 + int(rng.next() % 8));
            // The last column is not listed: a note for the game's own use.
            std::string note = sentence(rng, 6) + " " + std::to_string(rng.next() % 100000);
            table += std::string(id) + "\t" + name + "\t" + desc + "\t" + note + "\r\n";
        }
        char name[32];
        std::snprintf(name, sizeof name, "table%02d.txt", t);
        write_all(text / name, table);
        bytes += table.size();
        todo += std::string(name) + "\r\n2\r\n3\r\n.\r\n";
    }
    std::string str;
    for (int s = 0; s < strings; ++s) str += sentence(rng, 2 + int(rng.next() % 6)) + '\0';
    write_all(text / "strings.str", str);
    bytes += str.size();
    write_all(xfiles / "todo.txt", todo + ".\r\nstrings.str\r\n.\r\n");
    return bytes;
}

} // namespace bench
