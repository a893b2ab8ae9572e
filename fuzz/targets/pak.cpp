// The PAK archive's header and directory, and where each member lies, as
// extractpak and patchpak read them.
#include "formats/bytes.hpp"
#include "formats/pak.hpp"
#include "platform/io.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* in = fuzz::open(data, size);
    pak::Directory d;
    std::string fault;
    if (pak::read_directory(in, io::size_of(in), &d, &fault)) {
        for (size_t i = 0; i < d.count(); ++i) {
            const uint8_t* e = d.entry(i);
            std::string name = pak::flat_name(e);
            if (!io::plain_name(name)) continue;
            uint64_t offset = bytes::get_u32(e + pak::kOffsetField), length = bytes::get_u32(e + pak::kLengthField);
            if (offset + length > size) continue;
            std::vector<uint8_t> member(length);
            std::fseek(in, long(offset), SEEK_SET);
            if (io::read(in, member.data(), member.size()) != length) std::abort();
        }
    }
    std::fclose(in);
    return 0;
}
