// A PO file as importpo and status read it: every entry and problem, the
// header's charset, and each entry read again from where the reader said it
// begins.
#include "formats/po.hpp"
#include "support.hpp"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* in = fuzz::open(data, size);
    po::Reader reader(in);
    std::vector<po::Entry> entries;
    reader.read([&](const po::Entry& e) {
        if (e.is_header()) po::charset(e.str);
        entries.push_back(e);
        return true;
    }, [](size_t, const std::string&) {});
    // An entry read from where it began is the entry read the first time.
    for (size_t i = 0; i < entries.size() && i < 8; ++i) {
        const po::Entry& e = entries[entries.size() - 1 - i];
        reader.seek(e);
        bool same = false;
        reader.read([&](const po::Entry& again) {
            same = again.offset == e.offset && again.line == e.line && again.context == e.context &&
                   again.id == e.id && again.str == e.str && again.fuzzy == e.fuzzy;
            return false;
        }, [](size_t, const std::string&) {});
        if (!same) std::abort();
    }
    std::fclose(in);
    return 0;
}
