// A table list: its blocks of column passes and its string-file section, and
// the texts it names in the seventh title's tables, taken as dumptodo,
// exportpo and applytodo take them.
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"
#include "support.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::put_texts();
    tables::enter(fuzz::kText);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* td = fuzz::open(data, size);
    bool plain = true; // only names of files in the working folder are read there
    tables::for_each_pass(td, [&](const std::string& name, uint32_t, bool) { plain = plain && io::plain_name(name); });
    tables::for_each_string_file(td, [&](const std::string& name) { plain = plain && io::plain_name(name); });
    if (plain) {
        std::rewind(td);
        uint32_t n = 0;
        fuzz::until_exit([&] {
            tables::for_each_text(td, "todo.txt", "todo.txt", [&](const tables::Text& t) {
                if (t.n != n++) std::abort();
                tables::po_context(t);
                tables::po_msgid(t.text, tables::masked(*t.source));
                if (t.in_table()) t.first_column();
            });
        });
    }
    std::fclose(td);
    return 0;
}
