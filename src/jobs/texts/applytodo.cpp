// applytodo_ready and applytodo_threeline: write translated texts back.
//
// Both walk the table section of "todo.txt" as dumptodo does and replace
// each listed column of each table line that has it by the next translation;
// the tables come from the folder text and the results go, under the same
// names, into text_!. The passes of a block build on one another: the first
// reads the untranslated table from text, each later one the result of the
// pass before it from text_!. A pass writes its table to "temp.txt" in text_!
// first; the table there is replaced only by a complete result.
//
// applytodo_ready takes one translation per line of "zund7_ready_rus_str.txt"
// (one line per record of dumptodo's list, in record order) and also
// rewrites the listed string files into text_!. applytodo_threeline takes
// the first of every three lines of "stylus.txt" (the layout of readtables'
// dump: text, empty line, separator), skips three more lines at the end of
// each pass, searches a line's first tab from its second byte, and leaves
// the string files alone.
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kText = "c:\\games\\zund7\\xfiles\\text";
const char* const kDone = "c:\\games\\zund7\\xfiles\\text_!";

struct Kind {
    const char* translations; // in the folder text
    int lines_per_text;       // the translation, then lines that are skipped
    tables::FirstTab from;
    bool pass_trailer;        // three lines follow the texts of each pass
    bool string_files;        // the string-file section is rewritten too
};

// The translation file, read one text at a time.
struct Translations {
    FILE* f;
    std::string path;
    int lines_per_text;
    uint32_t n = 0; // texts taken so far

    std::string next() {
        std::string line;
        if (!tables::read_line(f, &line))
            io::damaged(path, io::format("it ends before the translation of text {%05u}", n));
        if (line.back() == '\n') line.pop_back();
        // A text line holds no NUL byte: one there means a file saved in
        // another encoding (UTF-16) or damaged, and the translation would be
        // cut short at it.
        if (std::memchr(line.data(), 0, line.size()))
            io::damaged(path, io::format("the translation of text {%05u} holds a NUL byte", n));
        skip(lines_per_text - 1);
        ++n;
        return line;
    }
    // Lines that carry no translation; the file may end among them.
    void skip(int lines) {
        std::string ignored;
        for (int i = 0; i < lines; ++i) tables::read_line(f, &ignored);
    }
};

void write_whole(io::Replacement& r, const void* data, size_t n) {
    // A failed write shows at commit(), which then keeps the old file.
    if (n > 0) std::fwrite(data, 1, n, r.file());
    r.commit();
}

void apply(const Kind& kind) {
    FILE* td = io::open_or_die("c:\\games\\zund7\\xfiles\\todo.txt", "rt");
    tables::enter(kText);
    Translations tr{io::open_or_die(kind.translations, "rt"), kind.translations, kind.lines_per_text};

    tables::for_each_pass(td, [&](const std::string& name, uint32_t k, bool first) {
        if (first) tables::enter(kText);
        FILE* in = io::open_or_die(name.c_str(), "rt");
        tables::enter(kDone);
        const std::string temp_path = "temp.txt";
        FILE* temp = io::open_or_die(temp_path.c_str(), "wt");
        bool ended = tables::for_each_line(in, name, k, kind.from,
                                           [&](const std::string& line, const tables::Field* field) {
            if (!field) {
                tables::put(temp, line, temp_path);
                return;
            }
            if (tables::runs_into_cut(line, *field))
                io::damaged(name, io::format("column %u runs past the first %zu bytes of a line", k, tables::kLineCut));
            std::string text = tr.next();
            std::string_view l(line);
            tables::put(temp, l.substr(0, field->start), temp_path);
            tables::put(temp, text, temp_path);
            tables::put(temp, l.substr(field->end), temp_path);
        });
        if (ended && kind.pass_trailer) tr.skip(3);
        std::fclose(in);
        io::close(temp, temp_path);

        FILE* done = io::open_or_die(temp_path.c_str(), "rb");
        std::vector<uint8_t> data = tables::read_file(done, temp_path);
        std::fclose(done);
        io::Replacement table(name, "wb");
        if (!table.ok()) io::cant_open();
        write_whole(table, data.data(), data.size());
    });

    if (kind.string_files) {
        tables::for_each_string_file(td, [&](const std::string& name) {
            tables::enter(kText);
            FILE* in = io::open_or_die(name.c_str(), "rb");
            std::vector<uint8_t> source = tables::read_file(in, name);
            std::fclose(in);
            // One translation for each source string, whatever its length.
            std::string strings;
            tables::for_each_string(source, [&](std::string_view) {
                strings += tr.next();
                strings += '\0';
            });
            tables::enter(kDone);
            io::Replacement out(name, "wt");
            if (!out.ok()) io::cant_open();
            write_whole(out, strings.data(), strings.size());
        });
    }
    std::fclose(td);
    std::fclose(tr.f);
}

} // namespace

void applytodo_ready() {
    apply({"zund7_ready_rus_str.txt", 1, tables::FirstTab::FirstByte, false, true});
}

void applytodo_threeline() {
    apply({"stylus.txt", 3, tables::FirstTab::SecondByte, true, false});
}
