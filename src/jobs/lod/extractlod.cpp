// The LOD extraction jobs: they take an archive apart into header-last entry
// files ("%04d_%s.zl"), whose packed payload starts at byte 0 for the
// unpacking tools, and change nothing in the archive. An entry name that
// would lead out of the output folder (a path separator, a drive colon) is
// damage, found before the entry's file is made.
//
// extractlod_strs   the text-table entries of the zund6 icons archive: every
//                   entry whose lower-case name holds "str" or "txt";
// extractlod_icons  every entry of the zund7 source icons archive, with the
//                   list of the entries' data positions in c:\games\icons.txt.
#include "formats/bytes.hpp"
#include "formats/lod.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Writes one entry's data as a header-last entry file.
void write_entry_file(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* out = win::fopen(path.c_str(), "wb");
    if (!out) io::cant_create(path);
    lod::write_header_last(out, data, path);
    io::close(out, path);
}

} // namespace

void extractlod_strs() {
    const std::string archive = "c:\\games\\zund6\\data\\icons.lod";
    FILE* in = io::open_or_die(archive.c_str(), "rb");
    uint64_t in_size = io::size_of(in);

    // This job takes the entry count from the archive itself.
    uint8_t count_field[4] = {};
    std::fseek(in, lod::kCountField, SEEK_SET);
    if (io::read(in, count_field, 4) != 4) io::damaged(archive, "shorter than its 288-byte head");
    uint32_t count = bytes::get_u32(count_field);
    if (lod::block_size(count) > in_size)
        io::damaged(archive, io::format("its directory of %u entries lies past the end of the archive", count));

    for (uint32_t i = 0; i < count; ++i) {
        uint8_t entry[lod::kEntrySize] = {};
        std::fseek(in, long(lod::block_size(i)), SEEK_SET);
        size_t got = io::read(in, entry, sizeof entry);
        io::report_error(in);
        if (got != sizeof entry) io::damaged(archive, "its directory cannot be read");

        for (size_t c = 0; c < lod::kNameWidth; ++c)
            if (entry[c] >= 'A' && entry[c] <= 'Z') entry[c] = uint8_t(entry[c] - 'A' + 'a');
        std::string name = lod::entry_name(entry);
        if (name.find("str") == std::string::npos && name.find("txt") == std::string::npos) continue;

        if (!io::plain_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        std::string path = "c:\\games\\zund6\\xfiles\\icons_txt_str\\" + lod::entry_file_name(i, name);
        std::vector<uint8_t> data = lod::read_data(in, in_size, bytes::get_u32(entry + lod::kDataOffsetField),
                                                   bytes::get_u32(entry + lod::kSizeField), archive, name);
        write_entry_file(path, data);
    }
    std::fclose(in);
}

void extractlod_icons() {
    const std::string archive = "c:\\games\\ZUND7\\data\\icons1.lod";
    const std::string list_path = "c:\\games\\icons.txt";
    const size_t count = 4241;
    FILE* in = io::open_or_die(archive.c_str(), "rb");
    FILE* list = io::open_or_die(list_path.c_str(), "wt");
    uint64_t in_size = io::size_of(in);
    lod::Block block = lod::read_block(in, in_size, count, archive);

    for (size_t k = 0; k < count; ++k) {
        std::string name = block.name(k);
        io::report_error(in);
        std::string path = "c:\\games\\zund7\\xfiles\\icons_all\\" + lod::entry_file_name(k, name);
        std::printf("%s\n", path.c_str());
        // Damaged names and data are found before the entry file is made.
        if (!io::plain_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        uint32_t offset = block.data_offset(k), size = block.size(k);
        if (!lod::data_inside(offset, size, in_size))
            io::damaged(archive, "entry " + name + " lies past the end of the archive");
        FILE* out = win::fopen(path.c_str(), "wb");
        if (!out) io::cant_create(path);
        std::string line = io::format("%04zu\t%llu\n", k, static_cast<unsigned long long>(lod::kHeadSize) + offset);
        io::write(list, line.data(), line.size(), list_path);
        std::vector<uint8_t> data = lod::read_data(in, in_size, offset, size, archive, name);
        lod::write_header_last(out, data, path);
        io::close(out, path);
    }
    std::fclose(in);
    io::close(list, list_path);
}
