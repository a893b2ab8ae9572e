// rebuildlod_ordered: writes the Starhold VI icons archive icons.lod wholly
// from header-first entry files. The head and the directory come from
// icons1.lod; the entries' data are laid out back to back from the end of the
// directory in the order of the data-order table, while the directory keeps
// its own order.
//
// icontable: turns a list of "index<TAB>position" lines (as extractlod_icons
// writes them) into a data-order table file of 2703 u16 records.
#include "formats/bytes.hpp"
#include "formats/lod.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

void rebuildlod_ordered() {
    const std::string source = "c:\\games\\Starhold VI\\data\\icons1.lod";
    const std::string output = "c:\\games\\Starhold VI\\data\\icons.lod";
    const std::string entries = "c:\\games\\zundfiles\\icons\\";
    const size_t count = lod::kIconOrderCount;

    FILE* in = io::open_or_die(source.c_str(), "rb");
    lod::Block block = lod::read_block(in, io::size_of(in), count, source);
    std::fclose(in); // the source's entry data are not used

    // First pass: every entry's size is its entry file's length; its data
    // offset is where the data come in table order.
    uint64_t pos = lod::block_size(count);
    for (size_t k = 0; k < count; ++k) {
        size_t d = lod::kIconOrder[k];
        std::string name = block.name(d);
        io::report_error(nullptr);
        std::string path = entries + lod::entry_file_name(d, name);
        std::printf("get size for %s\n", path.c_str());
        // A name that holds a path would take a file from another folder.
        if (!io::plain_name(name)) io::damaged(source, "member name " + name + " is not a plain file name");
        FILE* f = win::fopen(path.c_str(), "rb");
        if (!f) io::cant_create(path);
        uint64_t size = io::size_of(f);
        std::fclose(f);
        if (pos + size - lod::kHeadSize > UINT32_MAX)
            io::damaged(output, "the new archive would pass the 4 GiB that its directory can address");
        block.set_size(d, uint32_t(size));
        block.set_data_offset(d, uint32_t(pos - lod::kHeadSize));
        pos += size;
    }
    bytes::put_u32(block.buf.data() + lod::kDataRegionField, uint32_t(pos - lod::kHeadSize));

    // Second pass: the block, then the data in table order. The archive
    // written replaces the game's own only once it is complete.
    io::Replacement replacement(output, "wb");
    if (!replacement.ok()) io::cant_open();
    FILE* out = replacement.file();
    io::write(out, block.buf.data(), block.buf.size(), output);
    for (size_t k = 0; k < count; ++k) {
        size_t d = lod::kIconOrder[k];
        std::string name = block.name(d);
        io::report_error(nullptr);
        std::string path = entries + lod::entry_file_name(d, name);
        std::printf("processing %s...\n", path.c_str());
        FILE* f = win::fopen(path.c_str(), "rb");
        if (!f) io::cant_create(path);
        // A file that shrank since the first pass is made up with zeros, so
        // that every entry's data fill the size its directory entry gives.
        uint32_t size = block.size(d);
        uint64_t got = io::copy(f, out, size, output);
        io::write_zeros(out, size - got, output);
        std::fclose(f);
    }
    replacement.commit();
}

void icontable() {
    const std::string list_path = "e:\\games\\icons.txt";
    const std::string table_path = "e:\\games\\icons.dat";
    const size_t count = lod::kIconOrderCount;
    FILE* list = io::open_or_die(list_path.c_str(), "rt");
    FILE* table = io::open_or_die(table_path.c_str(), "wb");

    std::vector<uint8_t> records(count * 2);
    for (size_t k = 0; k < count; ++k) {
        int index = 0;
        long long position = 0; // read and not used
        if (std::fscanf(list, "%d\t%lld\n", &index, &position) != 2)
            io::damaged(list_path, io::format("line %zu is not an index and a position; the table needs %zu", k + 1,
                                              count));
        bytes::put_u16(records.data() + 2 * k, uint16_t(index)); // the low 16 bits
    }
    std::fclose(list);
    io::write(table, records.data(), records.size(), table_path);
    io::close(table, table_path);
}
