// dumptextbin: lists the texts of the second game's data file text.bin for
// translation. Every run of printable bytes (0x20 to 0x7F, and the line feed)
// gives one record:
//
//   {offset in hex}{length}{text}
//   (empty line)
//   ------            <- a ruler as long as the text
//   Пиши здесь        <- replaced by the translation
//   \\                <- two backslashes
//
// The text is the NUL-terminated string that starts at the run (the last one
// ends at the end of the data), with each line feed shown as "~". A run that
// ends at a byte other than NUL gives a text that goes on past that byte;
// the scan still resumes right after it, so the rest of such a text is
// listed again as records of its own.
#include "platform/io.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool printable(uint8_t b) { return int8_t(b) > 31 || b == 0x0A; }

} // namespace

void dumptextbin() {
    FILE* in = io::open_or_die("c:\\games\\Brassjaw\\xfiles\\text.bin", "rb");
    const std::string out_path = "c:\\games\\Brassjaw\\xfiles\\text.txt";
    FILE* out = io::open_or_die(out_path.c_str(), "wt");
    std::vector<uint8_t> data = io::read_all(in);
    if (std::ferror(in)) io::damaged("c:\\games\\Brassjaw\\xfiles\\text.bin", "it cannot be read to its end");
    std::fclose(in);

    const size_t size = data.size();
    const char* bytes = reinterpret_cast<const char*>(data.data());
    for (size_t p = 0; p < size;) {
        size_t s = p;
        while (p < size && printable(data[p])) ++p;
        if (p == s) {
            ++p;
            continue;
        }
        const void* nul = std::memchr(bytes + s, 0, size - s);
        std::string text(bytes + s, nul ? static_cast<const char*>(nul) : bytes + size);
        for (char& c : text)
            if (c == '\n') c = '~';
        std::string record = io::format("{%04zX}{%05zu}{", s, text.size());
        record += text;
        record += "}\n\n";
        record.append(text.size(), '-');
        record += "\n\xCF\xE8\xF8\xE8 \xE7\xE4\xE5\xF1\xFC\n\\\\\n"; // "Пиши здесь" (write here)
        io::write(out, record.data(), record.size(), out_path);
        ++p; // past the byte that ended the run
    }
    io::close(out, out_path);
}
