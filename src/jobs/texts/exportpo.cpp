// exportpo: writes the texts of the numbered list as a gettext PO template,
// "zund7.pot", for translation tools.
//
// The texts are the ones dumptodo lists, cut by the same rule. Each distinct
// text of a table column, or of a string file, is one entry:
//
//   #. sword                         <- column 1 of the first row it is in
//   #: items.txt:2 items.txt:9       <- every line (string: index) it is in
//   msgctxt "items.txt:2"            <- the file as listed, and the column
//   msgid "A blade.\n"
//   "Sharp."
//   msgstr ""
//
// A string of a string file has the file alone as its context. The key of
// an entry (context and text) holds no line number, so that a row inserted
// above moves no key and msgmerge keeps every translation. Equal texts of a
// column share one entry; a table column listed twice adds nothing. In the
// ".txt" files that maskbreaks masks, '@' stands for a line break and is
// shown as one. Empty texts are left out: they stay empty. The template
// holds nothing that changes from run to run: the same tables give the same
// bytes. It is UTF-8 with LF line ends, as gettext's tools write it.
#include "formats/po.hpp"
#include "jobs/texts/tables.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kHeader =
    "# The texts of zund7 that todo.txt lists, for translation.\n"
    "# Made by exportpo. Translate a copy named zund7.po; importpo makes the ready list of it.\n"
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Project-Id-Version: zund7\\n\"\n"
    "\"Report-Msgid-Bugs-To: \\n\"\n"
    "\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"\n"
    "\"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n\"\n"
    "\"Language-Team: LANGUAGE <LL@li.org>\\n\"\n"
    "\"Language: \\n\"\n"
    "\"MIME-Version: 1.0\\n\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"Content-Transfer-Encoding: 8bit\\n\"\n";

// Of a row's identifier, at most this many bytes are shown.
constexpr size_t kCommentCut = 80;

// The entries of one column pass or string file, in the order in which
// their texts first appear.
struct Pass {
    uint32_t number = UINT32_MAX;
    bool skip = false;    // its context has been written already
    bool masked = false;
    std::string context;  // UTF-8
    std::string file;     // UTF-8, for the references
    tables::TextSet texts;
    std::vector<uint32_t> first_ref, last_ref; // per entry, into the references
    std::vector<uint64_t> ref_place;
    std::vector<uint32_t> ref_next;
    std::vector<std::string> comment; // per entry; empty for none

    void clear() {
        texts.clear();
        first_ref.clear();
        last_ref.clear();
        ref_place.clear();
        ref_next.clear();
        comment.clear();
    }
};

// A row's identifier as a one-line comment.
std::string comment_of(std::string_view id) {
    std::string s(id.substr(0, kCommentCut));
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    if (id.size() > kCommentCut) s += "...";
    return win::to_utf8(s);
}

} // namespace

void exportpo() {
    const std::string list_path = "c:\\games\\zund7\\xfiles\\todo.txt";
    FILE* td = io::open_or_die(list_path.c_str(), "rt");
    tables::enter("c:\\games\\zund7\\xfiles\\text");
    const std::string out_path = "c:\\games\\zund7\\xfiles\\zund7.pot";
    io::Replacement out(out_path, "wb");
    if (!out.ok()) io::cant_open();

    std::string buf = kHeader;
    std::set<std::string> written; // contexts
    Pass p;
    uint32_t entries = 0, texts = 0, empty = 0;

    auto flush = [&] {
        std::vector<std::string> refs;
        for (uint32_t i = 0; i < p.texts.size(); ++i) {
            buf += '\n';
            if (!p.comment[i].empty()) po::append_comment(&buf, '.', p.comment[i]);
            refs.clear();
            for (uint32_t r = p.first_ref[i]; r != UINT32_MAX; r = p.ref_next[r])
                refs.push_back(po::reference(p.file, p.ref_place[r]));
            po::append_references(&buf, refs);
            po::append_string(&buf, "msgctxt", p.context);
            po::append_string(&buf, "msgid", win::to_utf8(tables::po_msgid(p.texts.at(i), p.masked)));
            buf += "msgstr \"\"\n";
            if (buf.size() >= (1 << 20)) {
                out.write(buf.data(), buf.size());
                buf.clear();
            }
        }
        entries += p.texts.size();
        p.clear();
    };

    tables::for_each_text(td, list_path, nullptr, [&](const tables::Text& t) {
        if (t.pass != p.number) {
            flush();
            p.number = t.pass;
            p.masked = tables::masked(*t.source);
            p.file = win::to_utf8(*t.source);
            p.context = win::to_utf8(tables::po_context(t));
            p.skip = !written.insert(p.context).second;
        }
        ++texts;
        if (t.text.empty()) ++empty;
        if (p.skip || t.text.empty()) return;
        // gettext ends a text at a NUL byte: such a text cannot be exchanged.
        if (t.text.find('\0') != std::string_view::npos)
            io::damaged(*t.source,
                        io::format("line %llu holds a NUL byte in column %u", (unsigned long long)t.place, t.column));
        bool added = false;
        uint32_t i = p.texts.add(t.text, &added);
        uint32_t r = uint32_t(p.ref_place.size());
        p.ref_place.push_back(t.place);
        p.ref_next.push_back(UINT32_MAX);
        if (added) {
            p.first_ref.push_back(r);
            p.last_ref.push_back(r);
            std::string_view id = t.column > 1 ? t.first_column() : std::string_view();
            p.comment.push_back(id.empty() ? std::string() : comment_of(id));
        } else {
            p.ref_next[p.last_ref[i]] = r;
            p.last_ref[i] = r;
        }
    });
    flush();
    std::fclose(td);
    out.write(buf.data(), buf.size());
    out.commit();
    std::printf("%u entries for the %u texts of the list (%u of them empty, left out)\n", entries, texts, empty);
}
