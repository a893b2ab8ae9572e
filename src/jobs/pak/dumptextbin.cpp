// dumptextbin: lists the texts of the second game's data file text.bin for
// translation, one record per text (see formats/textbin.hpp):
//
//   {offset in hex}{length}{text}
//   (empty line)
//   ------            <- a ruler as long as the text
//   Пиши здесь        <- replaced by the translation
//   \\                <- two backslashes
//
// Each line feed of a text is shown as "~". applytextbin takes the list back
// filled in.
#include "formats/textbin.hpp"
#include "platform/io.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

void dumptextbin() {
    FILE* in = io::open_or_die("c:\\games\\Brassjaw\\xfiles\\text.bin", "rb");
    const std::string out_path = "c:\\games\\Brassjaw\\xfiles\\text.txt";
    FILE* out = io::open_or_die(out_path.c_str(), "wt");
    std::vector<uint8_t> data = io::read_all(in);
    if (std::ferror(in)) io::damaged("c:\\games\\Brassjaw\\xfiles\\text.bin", "it cannot be read to its end");
    std::fclose(in);

    std::string record;
    textbin::for_each_text(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                           [&](uint64_t offset, std::string_view text) {
                               record.clear();
                               textbin::put_record(&record, offset, text);
                               io::write(out, record.data(), record.size(), out_path);
                           });
    io::close(out, out_path);
}
