// The SND archive's count word and directory, and where each member lies, as
// extractsnd and updatesnd read them.
#include "formats/snd.hpp"
#include "platform/io.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* in = fuzz::open(data, size);
    uint64_t file_size = io::size_of(in);
    snd::Directory d;
    std::string fault;
    if (snd::read_directory(in, file_size, &d, &fault)) {
        for (size_t i = 0; i < d.count; ++i) {
            io::plain_name(snd::name(d.entry(i)));
            snd::member_fault(d.entry(i), file_size);
        }
    }
    std::fclose(in);
    (void)size;
    return 0;
}
