// dumptextbin's list as a translator fills it in, read record by record as
// applytextbin reads it (in Windows-1251 or UTF-8).
#include "formats/textbin.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* in = fuzz::open(data, size);
    io::Problems problems("text.bin is not written", false);
    fuzz::until_exit([&] {
        translist::Lines lines(in, "text.txt", &problems);
        textbin::Reader reader(&lines, &problems);
        textbin::Listed r;
        size_t last = 0;
        while (reader.next(&r)) {
            if (r.line <= last) std::abort();
            last = r.line;
            textbin::unshown(r.translation);
        }
        reader.end_line();
    });
    std::fclose(in);
    return 0;
}
