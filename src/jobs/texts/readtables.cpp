// readtables: dumps the listed columns of the sixth title's English tables,
// then every string of "all.str", into "!out!.txt" for review. Each text is
// followed by an empty line and a separator line that names its source.
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdio>
#include <string>

void readtables() {
    const std::string list_path = "c:\\games\\zund6\\xfiles\\zund6.txt";
    FILE* td = io::open_or_die(list_path.c_str(), "rt");
    tables::enter("c:\\games\\zund6eng\\xfiles\\icons_txt_str");
    const std::string out_path = "!out!.txt";
    FILE* out = io::open_or_die(out_path.c_str(), "wt");

    tables::for_each_pass(td, [&](const std::string& name, uint32_t k, bool) {
        // Read as a table while it is being written, the dump would grow
        // without end.
        if (win::same_file(name.c_str(), out_path.c_str())) io::damaged(list_path, "it lists the output " + name + " as a table");
        FILE* in = io::open_or_die(name.c_str(), "rt");
        const std::string separator = io::format("\n\n----------%s-----%d-------\n", name.c_str(), int(k));
        tables::for_each_line(in, name, k, tables::FirstTab::SecondByte,
                              [&](const std::string& line, const tables::Field* field) {
                                  if (!field) return;
                                  tables::put(out, field->of(line), out_path);
                                  tables::put(out, separator, out_path);
                              });
        std::fclose(in);
    });
    std::fclose(td);

    FILE* in = io::open_or_die("all.str", "rb");
    std::vector<uint8_t> data = tables::read_file(in, "all.str");
    std::fclose(in);
    tables::for_each_string(data, [&](std::string_view s) {
        tables::put(out, s, out_path);
        tables::put(out, "\n\n----------all.str----------\n", out_path);
    });
    io::close(out, out_path);
}
