// importpo: makes the ready list of a translated PO file, "zund7.po" (the
// team's translated copy of exportpo's template).
//
// The texts are walked as dumptodo numbers them, from the tables as they are
// now. A text takes the msgstr of the entry with its key (the file and
// column as context, the text as msgid, shown as exportpo shows it) when
// that entry is translated: not empty, not fuzzy. Otherwise it keeps its
// own text, so that its cell stays as it was; a text edited since the
// export has no entry until the team translates it. The summary counts the
// texts translated, fuzzy, untranslated and empty, and the entries that no
// text of the tables has any more.
//
// Refused, with every problem listed, when the PO is not PO, is not UTF-8
// (its charset, or its bytes), or holds plural entries; when a translation
// that a text takes holds a character Windows-1251 cannot hold, a tab (in a
// table: it would split the cell), a line break (but in the masked .txt
// files, where it becomes '@'), a CR or a NUL; or when a text left as it is
// could not stand on one line of the ready list.
#include "formats/po.hpp"
#include "jobs/texts/ready.hpp"
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

enum class State : uint8_t { Untranslated, Fuzzy, Translated };

// Where an entry of the PO is: read once to the end, the file is then read
// again one context at a time, so that only the entries of the column at
// hand are held, whatever the size of the file.
struct Located {
    uint64_t offset = 0;
    uint32_t first_line = 0;
    uint32_t context = 0;
};

// An entry of the context at hand.
struct Loaded {
    uint32_t entry = 0;        // its number in the file, among the entries located
    uint32_t line = 0;         // of its first keyword
    uint32_t off = 0, len = 0; // its translation, when translated
    char32_t unheld = 0;       // a character of its translation that Windows-1251 cannot hold
    State state = State::Untranslated;
};

// Per entry: whether a text took it, and whether its problems were told.
enum : uint8_t { kUsed = 1, kTold = 2 };

std::string cp1251_or_raw(const std::string& utf8) {
    std::string s;
    return win::from_utf8(utf8, &s) ? s : utf8;
}

} // namespace

bool ready::po_texts(FILE* td, const std::string& list_path, FILE* pf, const std::string& po_path,
                     ready::Problems& problems, const ready::Take& take, uint32_t* stale, bool* whole_file) {
    po::Reader po(pf);

    auto at = [&](size_t line) { return po_path + ":" + std::to_string(line); };
    // An entry, by its line and context (Windows-1251).
    auto entry_at = [&](size_t line, const std::string& context) {
        return at(line) + ": msgctxt \"" + context + "\"";
    };
    auto ignore = [](size_t, const std::string&) {};

    // The whole file once: its header, its faults, and where each entry
    // that a text may take is.
    std::vector<Located> located;
    std::map<std::string, uint32_t> context_number; // Windows-1251
    std::vector<std::string> contexts;
    uint32_t keyless = 0; // entries that no text can take: no context, or not Windows-1251
    bool wrong_charset = false;
    bool whole = po.read(
        [&](const po::Entry& e) {
            if (e.is_header()) {
                std::string cs = po::charset(e.str);
                std::string lower = cs;
                for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
                if (!cs.empty() && lower != "utf-8" && lower != "utf8") {
                    problems.add(at(e.line), "the header gives the charset " + cs +
                                                 "; only UTF-8 is read: save the file as UTF-8");
                    wrong_charset = true;
                }
                return true;
            }
            if (wrong_charset) return true;
            const std::string context = cp1251_or_raw(e.context);
            if (e.plural) {
                problems.add(entry_at(e.line, context), "a plural entry (msgid_plural): no text of the tables has one");
                return true;
            }
            std::string converted;
            win::Utf8Fault f;
            if (!e.str.empty() && !win::from_utf8(e.str, &converted, &f) && f.not_utf8)
                problems.add(entry_at(e.line, context), "its msgstr holds bytes that are not UTF-8");
            bool keyed = e.has_context;
            for (const std::string* s : {&e.context, &e.id}) {
                if (win::from_utf8(*s, &converted, &f)) continue;
                if (f.not_utf8) problems.add(entry_at(e.line, context), "its msgctxt or msgid holds bytes that are not UTF-8");
                keyed = false;
            }
            if (!keyed) {
                ++keyless;
                return true;
            }
            auto [it, added] = context_number.emplace(context, uint32_t(contexts.size()));
            if (added) contexts.push_back(context);
            located.push_back({e.offset, uint32_t(e.first_line), it->second});
            return true;
        },
        [&](size_t line, const std::string& what) { problems.add(at(line), what); });
    *whole_file = whole;
    if (!whole || wrong_charset) return false;

    // The entries of each context, in the order of the file.
    std::vector<uint32_t> first(contexts.size() + 1, 0), order(located.size());
    for (const Located& l : located) ++first[l.context + 1];
    for (size_t c = 1; c < first.size(); ++c) first[c] += first[c - 1];
    {
        std::vector<uint32_t> next(first.begin(), first.end() - 1);
        for (uint32_t i = 0; i < located.size(); ++i) order[next[located[i].context]++] = i;
    }
    std::vector<uint8_t> flags(located.size(), 0);

    // The context at hand: its entries by text (the msgid in Windows-1251).
    uint32_t context = UINT32_MAX;
    tables::TextSet ids;
    std::vector<Loaded> loaded;
    std::string translations;
    auto load = [&](uint32_t c) {
        ids.clear();
        loaded.clear();
        translations.clear();
        if (c == UINT32_MAX) return;
        for (uint32_t k = first[c]; k < first[c + 1]; ++k) {
            const uint32_t i = order[k];
            po.seek(located[i].offset, located[i].first_line);
            po.read(
                [&](const po::Entry& e) {
                    std::string id, str;
                    win::from_utf8(e.id, &id);
                    bool added = false;
                    uint32_t n = ids.add(id, &added);
                    if (!added) {
                        if (!(flags[i] & kTold))
                            problems.add(entry_at(e.line, contexts[c]),
                                         "a second entry for the same text; the first is at line " +
                                             std::to_string(loaded[n].line));
                        flags[i] |= kUsed | kTold;
                        return false;
                    }
                    Loaded x;
                    x.entry = i;
                    x.line = uint32_t(e.line);
                    if (e.fuzzy) x.state = State::Fuzzy;
                    else if (!e.str.empty()) x.state = State::Translated;
                    win::Utf8Fault f;
                    if (x.state == State::Translated && !win::from_utf8(e.str, &str, &f)) x.unheld = f.ch;
                    x.off = uint32_t(translations.size());
                    x.len = uint32_t(str.size());
                    translations += str;
                    loaded.push_back(x);
                    return false;
                },
                ignore);
        }
    };

    uint32_t pass = UINT32_MAX;
    bool masked = false;
    tables::for_each_text(td, list_path, nullptr, [&](const tables::Text& t) {
        if (t.pass != pass) {
            pass = t.pass;
            masked = tables::masked(*t.source);
            auto it = context_number.find(tables::po_context(t));
            uint32_t c = it == context_number.end() ? UINT32_MAX : it->second;
            if (c != context) load(c);
            context = c;
        }
        if (t.text.empty()) { // left out of the template: it stays empty
            take(t, Outcome::Empty, t.text, false);
            return;
        }
        uint32_t n = ids.find(tables::po_msgid(t.text, masked));
        if (n != tables::TextSet::npos) {
            const Loaded& e = loaded[n];
            flags[e.entry] |= kUsed;
            if (e.state == State::Translated) {
                std::string_view tr(translations.data() + e.off, e.len);
                if (!(flags[e.entry] & kTold)) {
                    flags[e.entry] |= kTold;
                    if (e.unheld)
                        problems.add(entry_at(e.line, contexts[context]),
                                     io::format("the translation holds U+%04X, which Windows-1251 cannot hold",
                                                unsigned(e.unheld)));
                    else if (const char* fault = ready::translation_fault(t, tr))
                        problems.add(entry_at(e.line, contexts[context]), fault);
                }
                take(t, Outcome::Translated, tr, masked);
                return;
            }
        }
        if (const char* fault = ready::own_text_fault(t)) problems.add(ready::record_name(t), fault);
        take(t, n != tables::TextSet::npos && loaded[n].state == State::Fuzzy ? Outcome::Fuzzy : Outcome::Untranslated,
             t.text, false);
    });

    *stale = keyless;
    for (uint8_t f : flags) *stale += !(f & kUsed);
    return true;
}

void importpo() {
    const std::string list_path = "c:\\games\\zund7\\xfiles\\todo.txt";
    FILE* td = io::open_or_die(list_path.c_str(), "rt");
    // Binary: LF and CR LF line ends are both read, and the file can be
    // sought back to the entries of each column.
    const std::string po_path = "c:\\games\\zund7\\xfiles\\zund7.po";
    FILE* pf = io::open_or_die(po_path.c_str(), "rb");
    tables::enter("c:\\games\\zund7\\xfiles\\text");
    ready::Writer ready;
    ready::Problems problems;
    ready::Counts counts;
    bool whole = true;
    bool read = ready::po_texts(
        td, list_path, pf, po_path, problems,
        [&](const tables::Text&, ready::Outcome o, std::string_view line, bool masked) {
            counts.add(o);
            ready.line(line, masked);
        },
        &counts.stale, &whole);
    if (!whole) io::damaged(po_path, "it cannot be read to its end");
    if (!read) problems.refuse_if_any();
    std::fclose(td);
    std::fclose(pf);
    ready.finish(problems, counts);
}
