// The text-table formats that the text jobs share.
//
// Table list: a text file of blocks. A block is a table file name, then any
// number of column numbers, one per line (one column pass each), then ".";
// a "." where a name would stand ends the table section. The list of the
// seventh title has a second section: string file names, one per line, up
// to a line ".". The end of the list file ends whatever section is open, as
// if the missing "." lines were there.
//
// Table: a text file, one row per line, columns separated by tabs. Only the
// first 63488 bytes of a line take part in the column rule (cut_column).
//
// String file: NUL-terminated strings back to back, no header, no count; a
// last string without its NUL ends at the end of the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tables {

// Only this many bytes of a table line are searched for its columns.
constexpr size_t kLineCut = 63488;

// Makes `folder` the working folder; when it cannot be entered, "Can't open\n"
// and exit code 1 (the job must not go on in some other folder).
void enter(const char* folder);

// Reads one line of any length, its line feed included when it has one.
// False when nothing is left to read.
bool read_line(FILE* f, std::string* line);

// The next line of a table list, without its line feed; "." at the end of
// the file.
std::string list_line(FILE* td);

// A column number as the list writes it: decimal, leading blanks and a sign
// allowed, conversion up to the first non-digit, no digits giving 0; held as
// an unsigned number, so that 0 and negative numbers name no column.
uint32_t column_number(const std::string& s);

// Calls pass(name, k, first) for each column pass of each block of the
// table section, in list order; `first` marks the first pass of a block.
// A block without column numbers makes no call.
void for_each_pass(FILE* td, const std::function<void(const std::string& name, uint32_t k, bool first)>& pass);

// Calls file(name) for each name of the string-file section.
void for_each_string_file(FILE* td, const std::function<void(const std::string& name)>& file);

// Where the search for a line's first tab begins. From the second byte, a
// tab in the line's first byte belongs to column 1.
enum class FirstTab { FirstByte, SecondByte };

// Column k of a table line, as byte positions [start, end) in the line.
struct Field {
    size_t start = 0, end = 0;
    bool at_tab = false; // ends at the tab of the next column, not at the line's end
    std::string_view of(const std::string& line) const { return std::string_view(line).substr(start, end - start); }
};

// The column rule. Columns count from 1; column k starts after the (k-1)-th
// tab and ends at the k-th tab, or else at the line's last byte (its line
// feed, which is not part of the field); a last line without line feed ends
// its last field at the end of the line. Of a line longer than kLineCut only
// the first kLineCut bytes are searched, and a field that runs to that cut
// ends one byte before it. False when the line has fewer than k-1 tabs there
// (always for k = 0).
bool cut_column(const std::string& line, uint32_t k, FirstTab from, Field* field);

// True when `field` runs into the cut of a line longer than kLineCut, so that
// it does not hold the whole rest of its column.
bool runs_into_cut(const std::string& line, const Field& field);

// Reads a table line by line and calls each(line, field) for every line,
// `field` null when the line has no column k. Returns true when the pass
// ended because a read found nothing more (after a last line with line
// feed, or for an empty table), false when the last line had none. A table
// that cannot be read to its end is reported as damaged (`name` names it).
bool for_each_line(FILE* in, const std::string& name, uint32_t k, FirstTab from,
                   const std::function<void(const std::string& line, const Field* field)>& each);

// Calls each(s) for every string of a string file's content, in order.
void for_each_string(const std::vector<uint8_t>& data, const std::function<void(std::string_view s)>& each);

// The whole content of a file opened in binary mode.
std::vector<uint8_t> read_file(FILE* f, const std::string& name);

// Writes the bytes of `s`; a failed write is "Can't write %s\n", exit 1.
void put(FILE* out, std::string_view s, const std::string& path);

// One text of the numbered translation list, cut and numbered as dumptodo
// cuts and numbers them: record n is the n-th line of the ready list.
struct Text {
    uint32_t n = 0;                    // the record number, from 0
    uint32_t pass = 0;                 // the column pass or string file it comes from, counted from 0
    const std::string* source = nullptr; // the file, as the list names it
    uint32_t column = 0;               // its table column; 0 for a string of a string file
    uint64_t place = 0;                // the table line (from 1, as lines are read) or the string's index (from 1)
    std::string_view text;
    const std::string* row = nullptr;  // the whole table line; null for a string

    bool in_table() const { return column != 0; }
    // Column 1 of the text's row (its identifier, as a rule); empty for a string.
    std::string_view first_column() const;
};

// Calls each(text) for every text of the list in record order: the listed
// columns of every table line that has them, block by block and pass by
// pass, then the strings of the listed string files. Tables and string
// files are opened in the working folder ("Can't open" when one cannot be).
// `not_a_table`, when given, is a file the list must not name as a table
// (the job's own output, which would grow while it is read).
void for_each_text(FILE* td, const std::string& list_path, const char* not_a_table,
                   const std::function<void(const Text& t)>& each);

// Whether the line breaks inside the texts of `name` are masked as '@':
// maskbreaks and unmaskbreaks rewrite every "*.txt" file of the folder
// text, so a file listed there under a plain name of that pattern.
bool masked(const std::string& name);

// How the PO files key a text (Windows-1251; exportpo writes them in UTF-8):
// its context, "FILE:COLUMN" for a table text and "FILE" for a string, and
// its msgid, the text with each masked line break ('@' in a masked file)
// shown as the line break it stands for.
std::string po_context(const Text& t);
std::string po_msgid(std::string_view text, bool masked);

// A set of byte strings kept back to back in one buffer: the strings of a
// column, the keys of a translation file. Each distinct string added gets
// the next number from 0.
class TextSet {
public:
    static constexpr uint32_t npos = UINT32_MAX;
    // The number of `s`, added when it is new (*added tells).
    uint32_t add(std::string_view s, bool* added = nullptr);
    uint32_t find(std::string_view s) const;
    std::string_view at(uint32_t i) const { return std::string_view(bytes_).substr(spans_[i].off, spans_[i].len); }
    uint32_t size() const { return uint32_t(spans_.size()); }
    void clear();

private:
    struct Span {
        uint64_t off;
        uint32_t len, hash;
    };
    uint32_t slot_of(std::string_view s, uint32_t hash) const;
    void grow();
    std::string bytes_;
    std::vector<Span> spans_;
    std::vector<uint32_t> slots_; // numbers + 1; 0 for a free slot
};

} // namespace tables
