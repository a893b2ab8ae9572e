// collecttodo: makes the ready list of the numbered list "!out!.txt" once a
// translator has written a translation in place of each placeholder line.
//
// A record of the list, as dumptodo writes it:
//
//   {00012}{ui.txt}{9}{two@lines}      <- number, file, length, text
//   (empty line)
//   Пиши здесь                          <- the placeholder, or the translation
//   \\                                  <- closes the record
//
// The records are checked against the texts as dumptodo would list them now:
// numbers from 0 without a gap, the same files, lengths and texts. A record
// whose placeholder is still there keeps its own text. A record missing,
// doubled or out of order, a text that no longer matches the tables, a
// translation over several lines (a record has one line for it: '@' is the
// line break), or a record whose lines are damaged refuses the run, each
// listed with its record number and line.
//
// The list is Windows-1251 as dumptodo writes it, or UTF-8 as an editor may
// have saved it (see formats/translist.hpp); a character that Windows-1251
// cannot hold refuses the run.
#include "formats/translist.hpp"
#include "jobs/texts/ready.hpp"
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string kListPath = "c:\\games\\zund7\\xfiles\\text\\!out!.txt";
// The summary after the last record begins "Всего байт:" (total bytes).
const std::string kTotal = "\xC2\xF1\xE5\xE3\xEE \xE1\xE0\xE9\xF2:";

std::string at(size_t line) { return kListPath + ":" + std::to_string(line); }

// One record of the list as the translator left it.
struct Listed {
    uint32_t n = 0;
    size_t line = 0; // of its first line
    std::string source, text, translation;
    std::string damage;        // what is wrong with its lines; empty when nothing
    size_t translation_lines = 1;
};

bool starts_record(const std::string& line) {
    return line.size() >= 2 && line[0] == '{' && std::isdigit(static_cast<unsigned char>(line[1]));
}

bool ends_records(const std::string& line) { return line.compare(0, kTotal.size(), kTotal) == 0; }

// Reads the records one by one. Lines between records may be empty; the
// summary ends the records.
class Records {
public:
    Records(translist::Lines* lines, ready::Problems* problems) : lines_(lines), problems_(problems) {}

    bool next(Listed* r) {
        std::string line;
        for (;;) {
            if (ended_ || !lines_->get(&line)) return false;
            if (line.empty()) continue;
            if (ends_records(line)) {
                ended_ = true;
                end_line_ = lines_->number();
                return false;
            }
            if (starts_record(line)) break;
            problems_->add(at(lines_->number()),
                           "a line outside any record (a translation goes in place of the placeholder, on one line)");
        }
        *r = Listed();
        r->line = lines_->number();
        if (head(line, r)) body(r);
        return true;
    }

    // The line at which the records end: the summary, or the end of the file.
    size_t end_line() const { return ended_ ? end_line_ : lines_->number() + 1; }

private:
    // The first line, "{n}{file}{length}{text...", and the rest of the text
    // when it holds line feeds; false when it is damaged.
    bool head(const std::string& line, Listed* r) {
        size_t p = 1;
        uint64_t n = 0;
        while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p])) && n <= UINT32_MAX)
            n = n * 10 + uint64_t(line[p++] - '0');
        r->n = uint32_t(std::min<uint64_t>(n, UINT32_MAX));
        // The file name ends at the first "}{" that digits and "}{" follow.
        size_t name_end = std::string::npos, len_end = 0;
        if (n <= UINT32_MAX && line.compare(p, 2, "}{") == 0) {
            for (size_t q = line.find("}{", p + 2); q != std::string::npos; q = line.find("}{", q + 1)) {
                size_t d = q + 2;
                while (d < line.size() && std::isdigit(static_cast<unsigned char>(line[d]))) ++d;
                if (d > q + 2 && d - (q + 2) <= 10 && line.compare(d, 2, "}{") == 0) {
                    name_end = q;
                    len_end = d;
                    break;
                }
            }
        }
        if (name_end == std::string::npos) {
            return damaged(r, "its first line is not {number}{file}{length}{text} as dumptodo wrote it");
        }
        r->source = line.substr(p + 2, name_end - (p + 2));
        uint64_t len = std::stoull(line.substr(name_end + 2, len_end - (name_end + 2)));
        std::string text = line.substr(len_end + 2);
        // A text with line feeds (a string) goes on over the next lines.
        std::string more;
        while (text.size() < len + 1 && lines_->get(&more)) {
            if (starts_record(more) || ends_records(more)) {
                lines_->unget();
                break;
            }
            text += '\n';
            text += more;
        }
        if (text.size() != len + 1 || text.back() != '}')
            return damaged(r, "its text does not end with '}' after the length its first line gives");
        text.pop_back();
        r->text = std::move(text);
        return true;
    }

    // The lines under the text: an empty line, the placeholder or the
    // translation, and "\\"; false when they are damaged.
    bool body(Listed* r) {
        std::vector<std::string> lines;
        std::string line;
        bool closed = false;
        while (lines_->get(&line)) {
            if (line == "\\\\") {
                closed = true;
                break;
            }
            if (starts_record(line) || ends_records(line)) {
                lines_->unget();
                break;
            }
            lines.push_back(line);
        }
        if (!closed) return damaged(r, "the line \\\\ that closes it is missing");
        if (lines.empty() || !lines[0].empty())
            return damaged(r, "the empty line under its text is missing or no longer empty");
        if (lines.size() < 2) return damaged(r, "its translation line is missing");
        r->translation_lines = lines.size() - 1;
        r->translation = lines[1];
        return true;
    }

    bool damaged(Listed* r, const char* what) {
        r->damage = what;
        // Up to the next record.
        std::string line;
        while (lines_->get(&line)) {
            if (starts_record(line) || ends_records(line)) {
                lines_->unget();
                break;
            }
        }
        return false;
    }

    translist::Lines* lines_;
    ready::Problems* problems_;
    bool ended_ = false;
    size_t end_line_ = 0;
};

std::string number(uint32_t n) { return io::format("{%05u}", n); }

} // namespace

void ready::list_texts(FILE* td, const std::string& list_path, FILE* in, ready::Problems& problems,
                       const ready::Take& take) {
    translist::Lines lines(in, kListPath, &problems);
    Records records(&lines, &problems);

    uint32_t texts = 0;
    Listed cur;
    bool held = false; // `cur` is read and not yet matched
    // Records missing one after another are told as one problem.
    uint32_t missing_from = 0, missing_to = 0;
    size_t missing_at = 0;
    bool missing = false;
    auto tell_missing = [&] {
        if (!missing) return;
        missing = false;
        std::string which = missing_from == missing_to ? number(missing_from)
                                                         : number(missing_from) + " to " + number(missing_to);
        problems.add(at(missing_at) + ": " + which, missing_from == missing_to ? "missing" : "missing, all of them");
    };

    tables::for_each_text(td, list_path, nullptr, [&](const tables::Text& t) {
        for (;;) {
            if (!held) held = records.next(&cur);
            if (held && cur.n < t.n) {
                tell_missing();
                problems.add(at(cur.line) + ": " + number(cur.n),
                             "doubled or out of order: " + number(t.n) + " is expected here");
                held = false;
                continue;
            }
            if (!held || cur.n > t.n) {
                if (!missing) {
                    missing = true;
                    missing_from = t.n;
                    missing_at = held ? cur.line : records.end_line();
                }
                missing_to = t.n;
                ++texts;
                take(t, Outcome::Untranslated, t.text, false);
                return;
            }
            break;
        }
        tell_missing();
        held = false;
        ++texts;
        std::string where = at(cur.line) + ": " + number(cur.n);
        if (!cur.damage.empty()) {
            problems.add(where, "its lines are damaged: " + cur.damage);
        } else if (cur.source != *t.source) {
            problems.add(where, "it names " + cur.source + ", but this text now comes from " + *t.source +
                                    ": the list no longer matches the tables");
        } else if (cur.text != t.text) {
            problems.add(where + " " + cur.source, io::format("its text no longer matches the text at %s:%llu",
                                                              t.source->c_str(), (unsigned long long)t.place));
        } else if (cur.translation_lines > 1) {
            problems.add(where, io::format("the translation runs over %zu lines: write it on one line, with '@' "
                                           "for a line break", cur.translation_lines));
        } else if (cur.translation != translist::kPrompt && !(cur.translation.empty() && t.text.empty())) {
            if (const char* fault = ready::translation_fault(t, cur.translation)) problems.add(where, fault);
            take(t, Outcome::Translated, cur.translation, false);
            return;
        }
        if (const char* fault = ready::own_text_fault(t)) problems.add(ready::record_name(t), fault);
        take(t, t.text.empty() ? Outcome::Empty : Outcome::Untranslated, t.text, false);
    });
    tell_missing();
    // Records past the last text of the tables.
    uint32_t beyond = 0;
    size_t first_beyond = 0;
    uint32_t first_n = 0;
    while (held || records.next(&cur)) {
        held = false;
        if (beyond++ == 0) {
            first_beyond = cur.line;
            first_n = cur.n;
        }
    }
    if (beyond > 0)
        problems.add(at(first_beyond) + ": " + number(first_n),
                     io::format("%u record%s past the last text of the tables, which give %u texts", beyond,
                                beyond == 1 ? "" : "s", texts));
}

void collecttodo() {
    const std::string list_path = "c:\\games\\zund7\\xfiles\\todo.txt";
    FILE* td = io::open_or_die(list_path.c_str(), "rt");
    tables::enter("c:\\games\\zund7\\xfiles\\text");
    // Binary: read once for its encoding, then line by line, CR LF and LF
    // line ends alike.
    FILE* in = io::open_or_die("!out!.txt", "rb");
    ready::Writer ready;
    ready::Problems problems;
    ready::Counts counts;
    ready::list_texts(td, list_path, in, problems,
                      [&](const tables::Text&, ready::Outcome o, std::string_view line, bool masked) {
                          counts.add(o);
                          ready.line(line, masked);
                      });
    std::fclose(in);
    std::fclose(td);
    ready.finish(problems, counts);
}
