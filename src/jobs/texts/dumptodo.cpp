// dumptodo: writes the seventh title's texts as a numbered list for
// translators. Every listed column of every table line that has it, then
// every string of the listed string files, becomes one record
//
//   {number}{source file}{length}{text}
//   (empty line)
//   Пиши здесь        <- replaced by the translation
//   \\                <- two backslashes
//
// numbered from 0 in the order in which applytodo_ready takes the
// translations back. The list ends with the byte total of the texts and the
// price of translating them (0.40 dollars per 1024 bytes).
#include "formats/translist.hpp"
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"

#include <cstdio>
#include <string>

void dumptodo() {
    const std::string list_path = "c:\\games\\zund7\\xfiles\\todo.txt";
    FILE* td = io::open_or_die(list_path.c_str(), "rt");
    tables::enter("c:\\games\\zund7\\xfiles\\text");
    const std::string out_path = "!out!.txt";
    FILE* out = io::open_or_die(out_path.c_str(), "wt");

    uint64_t total = 0;
    // Read as a table while it is being written, the list would grow without
    // end: the list must not name it.
    tables::for_each_text(td, list_path, out_path.c_str(), [&](const tables::Text& t) {
        tables::put(out, io::format("{%05u}{%s}{%u}{", t.n, t.source->c_str(), unsigned(t.text.size())), out_path);
        tables::put(out, t.text, out_path);
        tables::put(out, io::format("}\n\n%s\n\\\\\n", translist::kPrompt), out_path);
        total += t.text.size();
    });

    // "Всего байт" (total bytes) and "Стоимость" (cost) in Windows-1251.
    tables::put(out,
                io::format("\n\n\xC2\xF1\xE5\xE3\xEE \xE1\xE0\xE9\xF2: %llu;    \xD1\xF2\xEE\xE8\xEC\xEE\xF1\xF2\xFC: $ %f\n",
                           static_cast<unsigned long long>(total), double(total) / 1024 * 0.4),
                out_path);
    std::fclose(td);
    io::close(out, out_path);
}
