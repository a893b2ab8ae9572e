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
#include <string>
#include <vector>

namespace {

enum class State : uint8_t { Untranslated, Fuzzy, Translated };

struct Translation {
    uint32_t line = 0;       // of the entry in the PO
    uint32_t off = 0, len = 0; // in the translations, when translated
    char32_t unheld = 0;     // a character of it that Windows-1251 cannot hold
    State state = State::Untranslated;
    bool used = false;
    bool checked = false;
};

std::string cp1251_or_raw(const std::string& utf8) {
    std::string s;
    return win::from_utf8(utf8, &s) ? s : utf8;
}

} // namespace

void importpo() {
    const std::string list_path = "c:\\games\\zund7\\xfiles\\todo.txt";
    FILE* td = io::open_or_die(list_path.c_str(), "rt");
    const std::string po_path = "c:\\games\\zund7\\xfiles\\zund7.po";
    FILE* pf = io::open_or_die(po_path.c_str(), "rt");
    tables::enter("c:\\games\\zund7\\xfiles\\text");
    ready::Writer ready;
    ready::Problems problems;

    // The entries, by their key: context, 0x04, msgid, in Windows-1251.
    tables::TextSet keys;
    std::vector<Translation> entries;
    std::string translations;
    uint32_t keyless = 0;              // entries that no text can have: no context, or not Windows-1251
    bool wrong_charset = false;

    auto at = [&](size_t line) { return po_path + ":" + std::to_string(line); };
    // An entry, by its line and context (Windows-1251).
    auto entry_at = [&](size_t line, std::string_view context) {
        return at(line) + ": msgctxt \"" + std::string(context) + "\"";
    };

    po::read(
        pf,
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
                return;
            }
            if (wrong_charset) return;
            if (e.plural) {
                problems.add(entry_at(e.line, cp1251_or_raw(e.context)), "a plural entry (msgid_plural): no text of the tables has one");
                return;
            }
            std::string key, id;
            win::Utf8Fault f;
            if (!win::from_utf8(e.context, &key, &f) || !win::from_utf8(e.id, &id, &f)) {
                if (f.not_utf8) problems.add(entry_at(e.line, cp1251_or_raw(e.context)), "its msgctxt or msgid holds bytes that are not UTF-8");
                ++keyless;
                return;
            }
            if (!e.has_context) {
                ++keyless;
                return;
            }
            key += '\x04';
            key += id;
            bool added = false;
            uint32_t k = keys.add(key, &added);
            if (!added) {
                problems.add(entry_at(e.line, cp1251_or_raw(e.context)),
                             "a second entry for the same text; the first is at line " + std::to_string(entries[k].line));
                return;
            }
            Translation t;
            t.line = uint32_t(e.line);
            if (e.fuzzy) t.state = State::Fuzzy;
            else if (!e.str.empty()) t.state = State::Translated;
            if (t.state == State::Translated) {
                std::string s;
                if (win::from_utf8(e.str, &s, &f)) {
                    t.off = uint32_t(translations.size());
                    t.len = uint32_t(s.size());
                    translations += s;
                } else if (f.not_utf8) {
                    problems.add(entry_at(e.line, cp1251_or_raw(e.context)), "its msgstr holds bytes that are not UTF-8");
                } else {
                    t.unheld = f.ch;
                }
            }
            entries.push_back(t);
        },
        [&](size_t line, const std::string& what) { problems.add(at(line), what); });
    std::fclose(pf);
    if (wrong_charset) problems.refuse_if_any();

    ready::Counts counts;
    uint32_t pass = UINT32_MAX;
    bool masked = false;
    std::string context, key;
    tables::for_each_text(td, list_path, nullptr, [&](const tables::Text& t) {
        if (t.pass != pass) {
            pass = t.pass;
            masked = tables::masked(*t.source);
            context = t.in_table() ? *t.source + ":" + std::to_string(t.column) : *t.source;
            context += '\x04';
        }
        if (t.text.empty()) { // left out of the template: it stays empty
            ++counts.empty;
            ready.line(t.text, false);
            return;
        }
        key = context;
        key += t.text;
        if (masked)
            for (size_t i = context.size(); i < key.size(); ++i)
                if (key[i] == '@') key[i] = '\n';
        uint32_t k = keys.find(key);
        if (k != tables::TextSet::npos) {
            Translation& e = entries[k];
            e.used = true;
            if (e.state == State::Translated) {
                std::string_view tr(translations.data() + e.off, e.len);
                if (!e.checked) {
                    e.checked = true;
                    if (e.unheld)
                        problems.add(entry_at(e.line, keys.at(k).substr(0, keys.at(k).find('\x04'))),
                                     io::format("the translation holds U+%04X, which Windows-1251 cannot hold",
                                                unsigned(e.unheld)));
                    else if (const char* fault = ready::translation_fault(t, tr))
                        problems.add(entry_at(e.line, keys.at(k).substr(0, keys.at(k).find('\x04'))), fault);
                }
                ++counts.translated;
                ready.line(tr, masked);
                return;
            }
            if (e.state == State::Fuzzy) ++counts.fuzzy;
            else ++counts.untranslated;
        } else {
            ++counts.untranslated;
        }
        if (const char* fault = ready::own_text_fault(t)) problems.add(ready::record_name(t), fault);
        ready.line(t.text, false);
    });
    std::fclose(td);

    counts.stale = keyless;
    for (const Translation& e : entries) counts.stale += !e.used;
    ready.finish(problems, counts);
}
