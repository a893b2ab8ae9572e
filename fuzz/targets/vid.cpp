// The VID archive's count word and directory, read as the count word gives
// it and as a fixed number of entries, and where each member lies, as
// extractvid and mixsmk read them.
#include "formats/vid.hpp"
#include "platform/io.hpp"
#include "support.hpp"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* in = fuzz::open(data, size);
    uint64_t file_size = io::size_of(in);
    for (size_t count : {SIZE_MAX, size_t(size % 7)}) {
        vid::Directory d;
        std::string fault;
        if (!vid::read_entries(in, file_size, count, &d, &fault)) continue;
        for (size_t i = 0; i < d.count; ++i) {
            io::plain_name(vid::name(d.entry(i)));
            vid::Member m;
            if (vid::member(d, i, file_size, &m, &fault) && m.offset + m.size > file_size) std::abort();
        }
    }
    std::fclose(in);
    return 0;
}
