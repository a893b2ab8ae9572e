// text.bin as dumptextbin scans it: every text, where it begins, and its
// record of the list.
#include "formats/textbin.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bin = fuzz::text(data, size);
    std::string list;
    uint64_t last = 0;
    bool first = true;
    textbin::for_each_text(bin, [&](uint64_t offset, std::string_view text) {
        if (!textbin::text_at(bin, offset) || (!first && offset <= last) || offset + text.size() > size) std::abort();
        first = false;
        last = offset;
        textbin::put_record(&list, offset, text);
        textbin::key(offset);
        std::string shown = textbin::shown(text);
        if (text.find('~') == std::string_view::npos && textbin::unshown(shown) != text) std::abort();
    });
    return 0;
}
