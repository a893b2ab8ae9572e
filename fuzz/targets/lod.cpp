// The LOD archive: its head and directory, each entry's data, its entry
// header and the payload unpacked, as extractlod and the payload jobs read
// them.
#include "formats/lod.hpp"
#include "platform/io.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < lod::kHeadSize) return 0;
    FILE* in = fuzz::open(data, size);
    uint64_t file_size = io::size_of(in);
    lod::Block b;
    std::string fault;
    if (lod::read_block(in, file_size, bytes::get_u32(data + lod::kCountField), &b, &fault)) {
        for (size_t k = 0; k < b.count; ++k) {
            std::string name = b.name(k);
            lod::entry_file_name(k, name);
            if (!io::plain_name(name) || !lod::data_inside(b.data_offset(k), b.size(k), file_size)) continue;
            std::vector<uint8_t> entry;
            fuzz::until_exit([&] { entry = lod::read_data(in, file_size, b.data_offset(k), b.size(k), "a.lod", name); });
            if (entry.size() < lod::kHeaderSize) continue;
            std::vector<uint8_t> unpacked;
            lod::unpack_payload(entry.data(), entry.data() + lod::kHeaderSize, entry.size() - lod::kHeaderSize,
                                &unpacked, &fault);
        }
    }
    std::fclose(in);
    return 0;
}
