// A table cut into its columns as the text jobs cut it (the first byte
// chooses the column, the second where the first tab is looked for), its
// fields kept in a text set; and the same bytes as a string file.
#include "jobs/texts/tables.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint32_t k = data[0] % 8;
    tables::FirstTab from = data[1] & 1 ? tables::FirstTab::SecondByte : tables::FirstTab::FirstByte;
    FILE* in = fuzz::open(data + 2, size - 2);
    tables::TextSet set;
    tables::for_each_line(in, "t.txt", k, from, [&](const std::string& line, const tables::Field* f) {
        if (!f) return;
        if (f->start > f->end || f->end > line.size()) std::abort();
        tables::runs_into_cut(line, *f);
        std::string_view s = f->of(line);
        bool added = false;
        uint32_t i = set.add(s, &added);
        if (set.find(s) != i || set.at(i) != s) std::abort();
        tables::po_msgid(s, true);
    });
    std::fclose(in);
    std::vector<uint8_t> file(data + 2, data + size);
    tables::for_each_string(file, [&](std::string_view s) { set.add(s); });
    return 0;
}
