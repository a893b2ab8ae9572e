// The second game's text data "text.bin" and the list of its texts that
// dumptextbin writes for translators and applytextbin reads back filled in.
//
// text.bin is bytes; the game's strings in it end at a NUL byte. A printable
// byte is 0x20 to 0x7F, or the line feed 0x0A. Every run of printable bytes
// starts a text: the string that begins there, up to the next NUL byte (the
// last one ends at the end of the data). A run that ends at a byte other
// than NUL (a control byte, a byte above 0x7F) gives a text that goes on past
// that byte; the scan still resumes right after it, so the rest of such a
// text is listed again as texts of its own.
//
// The list holds one record per text, in the order of their offsets, five
// lines each (written in text mode: CR LF on disk):
//
//   {0012}{00009}{two~lines}   <- offset (hex), length (decimal), text
//   (empty line)
//   ---------                  <- a ruler as long as the text: the room a translation has
//   Пиши здесь                 <- the placeholder, replaced by the translation
//   \\                         <- two backslashes close the record
//
// A line feed of a text is shown as "~", and a "~" of a translation stands
// for a line feed. Nothing else is escaped: the length tells where the text
// ends, so a text may hold braces, a CR or bytes above 0x7F.
#pragma once

#include "formats/translist.hpp"
#include "platform/io.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace textbin {

bool printable(uint8_t b);

// Calls each(offset, text) for every text of `data`, in the order of their
// offsets; `text` holds its line feeds as they are.
void for_each_text(std::string_view data, const std::function<void(uint64_t offset, std::string_view text)>& each);

// Whether a text of `data` begins at `offset`: a printable byte there, the
// first of its run.
bool text_at(std::string_view data, uint64_t offset);

// The record of a text, appended to `out` (its line ends "\n", for a
// text-mode stream).
void put_record(std::string* out, uint64_t offset, std::string_view text);

// How a record is named in problems: its offset as the list writes it,
// "{0012}".
std::string key(uint64_t offset);

// The text as the list shows it, and the bytes a translation stands for.
std::string shown(std::string_view text);
std::string unshown(std::string_view line);

// One record of the list as the translator left it.
struct Listed {
    size_t line = 0; // of its first line, from 1
    uint64_t offset = 0, length = 0;
    std::string text;        // as shown
    std::string translation; // the line in the placeholder's place, as typed
    size_t translation_lines = 1;
    std::string damage;      // what is wrong with its lines; empty when nothing
};

// Reads the records of a list one by one. Empty lines between records are
// passed by; any other line outside a record is a problem. The problems of a
// UTF-8 list's characters name the record whose line holds them, as every
// problem of a record does ("PATH:LINE: {0012}: what"); those of a line
// outside any record name its line alone.
class Reader {
public:
    Reader(translist::Lines* lines, io::Problems* problems) : lines_(lines), problems_(problems) {}
    // The next record; false at the end of the list.
    bool next(Listed* r);
    // The line after the last one read: where records missing at the end
    // would have been.
    size_t end_line() const { return lines_->number() + 1; }

private:
    bool head(const std::string& line, Listed* r);
    bool body(Listed* r);
    bool damaged(Listed* r, const char* what);

    translist::Lines* lines_;
    io::Problems* problems_;
};

} // namespace textbin
