// The header-first merge jobs: each joins a repacked payload (a ".zl" file)
// with the entry header of the entry's old version, whose stored size and
// unpacked size it sets to the lengths of the packed and the unpacked file,
// into a complete header-first entry file that the archive writers take in.
//
// headfirst_ready, headfirst_texts  payloads in ready\ and texts\; the header
//     comes from the icons entry file "*_N" of the same entry name, and the
//     merged file takes that file's name (index included);
// headfirst_readystr  payloads in "ready str\", header from the icons entry
//     file of the same name, merged file in the payload's place;
// headfirst_menu  menu images with their palettes, into menu\;
// headfirst_events  event texts, header from the events archive itself.
#include "formats/bytes.hpp"
#include "formats/lod.hpp"
#include "jobs/lod/lodjobs.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

void headfirst_ready() {
    lodjobs::merge_headfirst("c:\\games\\zundfiles\\ready\\", lodjobs::HeaderSource::AnyIndex);
}

void headfirst_texts() {
    lodjobs::merge_headfirst("c:\\games\\zundfiles\\texts\\", lodjobs::HeaderSource::AnyIndex);
}

void headfirst_readystr() {
    lodjobs::merge_headfirst("c:\\games\\zundfiles\\ready str\\", lodjobs::HeaderSource::SameName);
}

void headfirst_menu() {
    const std::string icons = "c:\\games\\zundfiles\\icons\\";
    const std::string ready = "c:\\games\\zundfiles\\menu\\ready\\";
    const std::string menu = "c:\\games\\zundfiles\\menu\\";
    lodjobs::walk_or_exit5(ready + "*.zl", [&](const win::FindData& n) {
        std::vector<uint8_t> header = lodjobs::read_entry_header(icons + n.name);

        std::string payload_path = ready + n.name;
        FILE* f = io::open_or_die(payload_path.c_str(), "rb");
        std::vector<uint8_t> payload = io::read_all(f);
        std::fclose(f);

        std::string unpacked_path = payload_path.substr(0, payload_path.size() - 3);
        f = io::open_or_die(unpacked_path.c_str(), "rb");
        uint32_t unpacked_size = lodjobs::recordable_size(io::size_of(f), unpacked_path);
        std::fclose(f);

        std::string palette_path = unpacked_path + ".act";
        f = io::open_or_die(palette_path.c_str(), "rb");
        std::vector<uint8_t> palette(lod::kPaletteSize);
        size_t got = io::read(f, palette.data(), palette.size());
        std::fclose(f);
        if (got != palette.size()) io::damaged(palette_path, "shorter than its 768-byte palette");

        lod::set_field32(header, lod::kPixelSizeField, unpacked_size);
        lod::set_field32(header, lod::kUnpackedSizeField, unpacked_size);
        lod::set_field32(header, lod::kStoredSizeField, lodjobs::recordable_size(payload.size(), payload_path));

        // The menu file of that name (made header-last by headlast_menu) is
        // replaced only by a complete entry file.
        io::Replacement out(menu + n.name, "wb");
        if (!out.ok()) io::cant_open();
        out.write(header.data(), header.size());
        out.write(payload.data(), payload.size());
        out.write(palette.data(), palette.size());
        out.commit();
    });
}

namespace {

// The directory index that an entry-file name "%04d_%s" begins with: the
// value of its leading decimal digits, 0 when it begins with none. Values
// past `limit` come back as `limit`.
uint64_t leading_number(const std::string& name, uint64_t limit) {
    uint64_t d = 0;
    for (char c : name) {
        if (c < '0' || c > '9') break;
        d = d * 10 + uint64_t(c - '0');
        if (d >= limit) return limit;
    }
    return d;
}

// Merges the event text N (the unpacked file, of `unpacked_size` bytes) and
// its packed payload N.zl into a header-first entry file that replaces N.zl.
void merge_event_text(FILE* lod, uint64_t lod_size, const std::string& archive, size_t count,
                      const win::FindData& n) {
    std::string zl = n.name + ".zl";
    FILE* f = io::open_or_die(zl.c_str(), "rb");
    std::vector<uint8_t> payload = io::read_all(f);
    std::fclose(f);

    uint64_t d = leading_number(n.name, count);
    if (d >= count)
        io::damaged(n.name, io::format("its number names no entry of %s, which has %zu", archive.c_str(), count));
    uint8_t entry[lod::kEntrySize] = {};
    std::fseek(lod, long(lod::block_size(d)), SEEK_SET);
    if (lod::block_size(d + 1) > lod_size || io::read(lod, entry, sizeof entry) != sizeof entry)
        io::damaged(archive, "its directory lies past the end of the archive");
    uint32_t offset = bytes::get_u32(entry + lod::kDataOffsetField);
    std::vector<uint8_t> header = lod::read_data(lod, lod_size, offset, lod::kHeaderSize, archive,
                                                 lod::entry_name(entry));

    lod::set_field32(header, lod::kUnpackedSizeField, n.size);
    lod::set_field32(header, lod::kStoredSizeField, lodjobs::recordable_size(payload.size(), zl));
    io::Replacement out(zl, "wb");
    if (!out.ok()) io::cant_open();
    out.write(header.data(), header.size());
    out.write(payload.data(), payload.size());
    out.commit();
}

} // namespace

void headfirst_events() {
    const std::string archive = "c:\\games\\ZUND7\\data\\events1.lod";
    const size_t count = 198;
    FILE* lod = io::open_or_die(archive.c_str(), "rb");
    uint64_t lod_size = io::size_of(lod);
    // Its searches are relative: without the folder they would walk (and
    // rewrite) whatever folder the job was started in.
    if (win::chdir("c:\\games\\zund7\\xfiles\\text_!_events") != 0) io::cant_open();
    for (const char* pattern : {"*.txt", "*.str"}) {
        win::FindData n;
        intptr_t h = win::findfirst(pattern, &n);
        if (h == -1) continue; // nothing of this kind: on to the next
        do {
            merge_event_text(lod, lod_size, archive, count, n);
        } while (win::findnext(h, &n) == 0);
        win::findclose(h);
    }
    std::fclose(lod);
}
