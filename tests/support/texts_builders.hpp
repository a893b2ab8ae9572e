// Paths and record builders shared by the tests of the text-table jobs and
// dumptextbin: what the jobs write, spelled out byte by byte, and a reader
// for dumptodo's numbered list.
#pragma once

#include "support/jobtest.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace texts {

// What a text-mode stream stores for `s`: every "\n" as CR LF.
std::string crlf(const std::string& s);

// "Пиши здесь" (write here) in Windows-1251.
extern const std::string kPrompt;

// readtables: the table list, and the working folder with the tables and all.str.
extern const std::string kZund6List;
extern const std::string kIcons;

// dumptodo and applytodo: the list, the untranslated folder and the results.
extern const std::string kTodo;
extern const std::string kText;
extern const std::string kDone;
extern const std::string kReady;
extern const std::string kStylus;

// exportpo's template, importpo's translated copy of it.
extern const std::string kPot;
extern const std::string kPo;
// dumptodo's numbered list, which collecttodo reads filled in.
extern const std::string kList;

// openbigtext's folder.
extern const std::string kBig;

// dumptextbin's input and output; applytextbin reads them (the output
// filled in) and writes kBinDone.
extern const std::string kBin;
extern const std::string kBinOut;
extern const std::string kBinDone;

// A dump record of readtables for a table field, and for a string of all.str
// (before the CR LF of text mode).
std::string dump(const std::string& field, const std::string& table, int k);
std::string dump_str(const std::string& s);

// A record of dumptodo's numbered list, and its closing summary with the
// cost as "%f" prints it.
std::string record(int n, const std::string& source, const std::string& text);
std::string summary(unsigned total, const std::string& cost);

// A record of dumptextbin: `head` is "{offset}{length}{".
std::string bin_record(const std::string& head, const std::string& text);

// A string file: each string followed by its NUL.
Bytes string_file(const std::vector<std::string>& strings);

// One record of dumptodo's list read back.
struct Record {
    int n = 0;
    std::string source, text;
};

// gettext's own tools, the judges of the PO files: runs `argv` (found on the
// PATH) in the host folder `cwd` and gives its exit code (127 when it cannot
// be started) and what it printed on both streams.
struct ToolRun {
    int code = -1;
    std::string out;
};
ToolRun run_tool(const std::vector<std::string>& argv, const std::filesystem::path& cwd);
// Whether a program is on the PATH.
bool have_tool(const std::string& name);

// dumptodo's list as a translator fills it in: each placeholder line under a
// record for which `tr` gives a translation replaced by it (text mode, CR
// LF kept).
std::string fill_list(const std::string& list,
                      const std::function<std::optional<std::string>(const Record& r)>& tr);

// Reads dumptodo's list (as stored, with CR LF) back, finding each text's
// end by its length, as a translator's tool would. Stops at the summary.
std::vector<Record> parse_list(const std::string& out);

// One record of dumptextbin's list: its offset and its text as the list
// shows it ("~" for a line feed).
struct BinRecord {
    uint64_t offset = 0;
    std::string text;
};
// dumptextbin's list (as stored, with CR LF) read back, each text's end found
// by its length.
std::vector<BinRecord> parse_bin_list(const std::string& list);
// dumptextbin's list as a translator fills it in: the placeholder line of
// each record for which `tr` gives a translation replaced by it.
std::string fill_bin_list(const std::string& list,
                          const std::function<std::optional<std::string>(const BinRecord& r)>& tr);


// The tables of the chain's tests: a cell with a line break of its own, a
// string file, with their list, and the folder of the translated tables.
void put_texts(JobTest& t);
// zund7.pot with the first `n` entries translated and the entry after them
// fuzzy, as a translation tool leaves a file part-way.
std::string translate_po(const std::string& pot, int n);

} // namespace texts
