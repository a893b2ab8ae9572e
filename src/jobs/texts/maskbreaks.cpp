// maskbreaks and unmaskbreaks: hide the line breaks inside table cells and
// bring them back.
//
// A row of the seventh title's tables ends with CR LF, but a cell may hold a
// line break of its own, a bare LF, which would end the row for the jobs that
// read the tables line by line. maskbreaks turns every bare LF of every
// ".txt" file in the folder text into '@'; after translation, unmaskbreaks
// turns every '@' of every ".txt" file in text_! back into LF. The first byte
// of a file is left as it is. Each file is rewritten in place, safely: the
// new content replaces the old only once it has been written completely.
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void rewrite_all(const char* folder, void (*change)(std::vector<uint8_t>& buf)) {
    tables::enter(folder);
    win::FindData fd;
    intptr_t h = win::findfirst("*.txt", &fd);
    if (h == -1) return;
    do {
        FILE* in = io::open_or_die(fd.name.c_str(), "rb");
        // The file's own content, whatever size the search reported.
        std::vector<uint8_t> buf = tables::read_file(in, fd.name);
        std::fclose(in);
        change(buf);
        io::Replacement out(fd.name, "wb");
        if (!out.ok()) io::cant_open();
        if (!buf.empty()) std::fwrite(buf.data(), 1, buf.size(), out.file());
        out.commit(); // a failed write keeps the old file
    } while (win::findnext(h, &fd) == 0);
    win::findclose(h);
}

void mask(std::vector<uint8_t>& buf) {
    for (size_t p = 1; p < buf.size(); ++p)
        if (buf[p] == 0x0A && buf[p - 1] != 0x0D) buf[p] = '@';
}

void unmask(std::vector<uint8_t>& buf) {
    for (size_t p = 1; p < buf.size(); ++p)
        if (buf[p] == '@') buf[p] = 0x0A;
}

} // namespace

void maskbreaks() { rewrite_all("c:\\games\\zund7\\xfiles\\text", mask); }

void unmaskbreaks() { rewrite_all("c:\\games\\zund7\\xfiles\\text_!", unmask); }
