// The ready list as importpo and collecttodo make it: one line per text of
// the numbered list, in record order, Windows-1251, CR LF, exactly what
// applytodo_ready reads. A text takes its translation when it has one and
// keeps its own text otherwise, so that its cell stays as it was.
//
// A run that finds anything wrong writes no ready list at all (an existing
// one stays as it was): it lists every problem and is refused, since one
// line too many or too few would shift every later translation into the
// wrong cell.
#pragma once

#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace ready {

// What became of a text: it takes its translation, or keeps its own text
// (a fuzzy translation, none at all, or an empty text).
enum class Outcome : uint8_t { Translated, Fuzzy, Untranslated, Empty };

// What became of the texts.
struct Counts {
    uint32_t translated = 0, fuzzy = 0, untranslated = 0, empty = 0;
    uint32_t stale = 0; // translations of texts no longer in the tables
    void add(Outcome o) {
        ++(o == Outcome::Translated ? translated : o == Outcome::Fuzzy ? fuzzy
                                                   : o == Outcome::Untranslated ? untranslated : empty);
    }
};

// Takes each text of the numbered list, in record order, with what became of
// it and its line of the ready list: the translation, or its own text, with
// each line break of a masked file to be masked when `masked`.
using Take = std::function<void(const tables::Text& t, Outcome o, std::string_view line, bool masked)>;

// The summary line of the counts, as the jobs print it at the end.
std::string summary(const Counts& c);

// The problems of a run; the refusal ends "the ready list is not written".
// `print` false: counted only, for a reader that tells whether a run would
// be refused.
struct Problems : io::Problems {
    explicit Problems(bool print = true) : io::Problems("the ready list is not written", print) {}
};

// The texts of the list `td` (tables and string files in the working
// folder) with the translations of the PO file `pf` (opened "rb"), as
// importpo takes them. False, with no text taken, when the PO file cannot be
// read to its end (*whole false) or names a charset other than UTF-8 (a
// problem told); the number of entries for texts no longer in the tables in
// *stale.
bool po_texts(FILE* td, const std::string& list_path, FILE* pf, const std::string& po_path, Problems& problems,
              const Take& take, uint32_t* stale, bool* whole);

// The texts of the list `td` with the translations of dumptodo's list `in`
// (opened "rb") as a translator filled it in, as collecttodo takes them.
void list_texts(FILE* td, const std::string& list_path, FILE* in, Problems& problems, const Take& take);

// Why `translation` cannot stand for `t` on the ready list; nullptr when it
// can. Its line breaks are '\n': only a text of a masked file may hold them.
const char* translation_fault(const tables::Text& t, std::string_view translation);

// Why `t`, left untranslated, cannot stand on the ready list with its own
// text; nullptr when it can.
const char* own_text_fault(const tables::Text& t);

// "names.str:3: {00012}" (the file, its line or string index, the record
// number): where a record is, as problems name it.
std::string record_name(const tables::Text& t);

// The ready list "zund7_ready_rus_str.txt", made in the working folder (the
// folder text) where applytodo_ready reads it, and put in place only when
// the run is done.
class Writer {
public:
    Writer();
    // Adds the line of the next record: `text` with each line break of a
    // masked file turned into '@'.
    void line(std::string_view text, bool masked);
    // Refuses the run when there are problems; else puts the ready list in
    // place and prints the summary.
    void finish(const Problems& problems, const Counts& counts);

private:
    io::Replacement out_;
    std::string buf_;
};

} // namespace ready
