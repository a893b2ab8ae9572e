// Gettext PO files, the exchange format of translation tools (Poedit,
// Lokalize, OmegaT, Weblate...): written as templates, read back translated.
//
// A PO file is a header entry and then one entry per text:
//
//   #. a comment for the translator            (extracted comment)
//   #: ui.txt:12 ui.txt:40                      (references)
//   #, fuzzy                                    (flags)
//   msgctxt "ui.txt:2"                          (context: the key, with msgid)
//   msgid "the text"
//   msgstr "its translation"
//
// Strings are in double quotes with C escapes; a string goes on over the
// quoted lines that follow its keyword, which are joined. The header is the
// entry with an empty msgid and no context; its msgstr holds "Field: value"
// lines, among them the charset. Lines beginning with "#~" hold obsolete
// entries, which tools keep for reference only; "#|" lines hold the text an
// entry had before (fuzzy matches). An entry with msgid_plural has msgstr[0],
// msgstr[1]... instead of one msgstr.
#pragma once

#include "platform/io.hpp"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace po {

// ---- Writing

// Appends `keyword` and `s` as a PO string: escaped, and, when it holds line
// breaks, as an empty first string followed by one quoted line per line of
// the text, each ending after its "\n" (as gettext writes them).
void append_string(std::string* out, const char* keyword, std::string_view s);

// Appends a comment of `kind` ('.' for an extracted comment): one line
// "#. text" per line of `s`.
void append_comment(std::string* out, char kind, std::string_view s);

// Appends "#: " reference lines, `refs` separated by blanks and wrapped
// before 80 columns. A reference whose file name holds a blank is marked off
// with U+2068 and U+2069, as gettext marks such names.
void append_references(std::string* out, const std::vector<std::string>& refs);
std::string reference(std::string_view file, uint64_t number);

// ---- Reading

struct Entry {
    uint64_t offset = 0;   // where it begins in the file: its first comment line, or its first keyword
    size_t first_line = 0; // the number of that line, from 1
    size_t line = 0;       // the line of its first keyword
    bool has_context = false;
    bool fuzzy = false;
    bool plural = false;  // has msgid_plural
    std::string context, id, str; // as decoded from their escapes; str is msgstr[0] for a plural entry

    bool is_header() const { return !has_context && id.empty(); }
};

// A PO file, read entry by entry from its start or from any entry found
// before. Lines end with LF or CR LF; a UTF-8 byte-order mark at the start
// is skipped.
class Reader {
public:
    // `f` is opened in binary mode.
    explicit Reader(FILE* f);

    // Reads on from where it stands, calling entry(e) for each complete
    // entry, the header included, obsolete ones left out, until entry()
    // returns false or the file ends; and problem(line, what) for each place
    // where the file is not PO. After a problem the entry it was in is
    // dropped and reading goes on at the next entry, so that every problem
    // is told. False when the file cannot be read to its end.
    bool read(const std::function<bool(const Entry& e)>& entry,
              const std::function<void(size_t line, const std::string& what)>& problem);

    // Goes to an entry that read() gave before; the next read() begins with it.
    void seek(const Entry& e) { seek(e.offset, e.first_line); }
    void seek(uint64_t offset, size_t first_line);

private:
    io::LineReader lines_;
    size_t lineno_ = 0; // of the line last read
};

// The charset that a header's Content-Type field names ("UTF-8"); empty when
// the header names none.
std::string charset(const std::string& header);

} // namespace po
