#include "formats/po.hpp"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace po {

namespace {

// The escapes gettext writes; every other byte goes into the file as it is.
void append_escaped(std::string* out, std::string_view s) {
    for (char c : s) {
        switch (c) {
        case '\\': *out += "\\\\"; break;
        case '"': *out += "\\\""; break;
        case '\a': *out += "\\a"; break;
        case '\b': *out += "\\b"; break;
        case '\f': *out += "\\f"; break;
        case '\n': *out += "\\n"; break;
        case '\r': *out += "\\r"; break;
        case '\t': *out += "\\t"; break;
        case '\v': *out += "\\v"; break;
        default: *out += c;
        }
    }
}

} // namespace

void append_string(std::string* out, const char* keyword, std::string_view s) {
    *out += keyword;
    size_t nl = s.find('\n');
    if (nl == std::string_view::npos || nl + 1 == s.size()) {
        *out += " \"";
        append_escaped(out, s);
        *out += "\"\n";
        return;
    }
    *out += " \"\"\n";
    while (!s.empty()) {
        size_t cut = s.find('\n');
        cut = cut == std::string_view::npos ? s.size() : cut + 1;
        *out += '"';
        append_escaped(out, s.substr(0, cut));
        *out += "\"\n";
        s.remove_prefix(cut);
    }
}

void append_comment(std::string* out, char kind, std::string_view s) {
    for (;;) {
        size_t cut = s.find('\n');
        *out += '#';
        *out += kind;
        *out += ' ';
        *out += s.substr(0, cut);
        *out += '\n';
        if (cut == std::string_view::npos) break;
        s.remove_prefix(cut + 1);
    }
}

std::string reference(std::string_view file, uint64_t number) {
    std::string r;
    bool isolate = file.find_first_of(" \t") != std::string_view::npos;
    if (isolate) r += "\xE2\x81\xA8"; // U+2068 FIRST STRONG ISOLATE
    r += file;
    if (isolate) r += "\xE2\x81\xA9"; // U+2069 POP DIRECTIONAL ISOLATE
    return r + ":" + std::to_string(number);
}

void append_references(std::string* out, const std::vector<std::string>& refs) {
    size_t width = 0;
    for (const std::string& r : refs) {
        if (width > 0 && width + 1 + r.size() > 79) {
            *out += '\n';
            width = 0;
        }
        if (width == 0) {
            *out += "#:";
            width = 2;
        }
        *out += ' ';
        *out += r;
        width += 1 + r.size();
    }
    if (width > 0) *out += '\n';
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// What a line holds after its keyword: one quoted string, escapes decoded.
// False, with *what said, when it is no such string.
bool unquote(std::string_view s, std::string* out, std::string* what) {
    size_t i = 0;
    while (i < s.size() && is_blank(s[i])) ++i;
    if (i == s.size() || s[i] != '"') {
        *what = "a quoted string is expected here";
        return false;
    }
    ++i;
    for (;;) {
        // The text up to the next quote or escape, in one piece.
        size_t run = i;
        while (run < s.size() && s[run] != '"' && s[run] != '\\') ++run;
        out->append(s.data() + i, run - i);
        i = run;
        if (i >= s.size()) {
            *what = "the string has no closing quote";
            return false;
        }
        char c = s[i++];
        if (c == '"') break;
        if (i >= s.size()) {
            *what = "the string has no closing quote";
            return false;
        }
        char e = s[i++];
        switch (e) {
        case 'n': *out += '\n'; break;
        case 't': *out += '\t'; break;
        case 'r': *out += '\r'; break;
        case 'a': *out += '\a'; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'v': *out += '\v'; break;
        case '\\': case '"': case '\'': case '?': *out += e; break;
        case 'x': {
            int v = 0, digits = 0;
            while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) {
                char h = s[i++];
                v = (v * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10)) & 0xFF;
                ++digits;
            }
            if (digits == 0) {
                *what = "\\x without hexadecimal digits";
                return false;
            }
            *out += char(v);
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                int v = e - '0';
                for (int k = 0; k < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k) v = v * 8 + (s[i++] - '0');
                *out += char(v & 0xFF);
                break;
            }
            *what = std::string("unknown escape \\") + e;
            return false;
        }
    }
    while (i < s.size() && is_blank(s[i])) ++i;
    if (i != s.size()) {
        *what = "more follows the closing quote of the string";
        return false;
    }
    return true;
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

} // namespace

Reader::Reader(FILE* f) : lines_(f) {}

void Reader::seek(uint64_t offset, size_t first_line) {
    lines_.seek(offset);
    lineno_ = first_line - 1;
}

bool Reader::read(const std::function<bool(const Entry&)>& entry,
                  const std::function<void(size_t, const std::string&)>& problem) {
    // Where the entry being read stands: what came last decides what may
    // follow, and which string a quoted line goes on.
    enum State { Start, Context, Id, IdPlural, Str, Broken } state = Start;
    Entry e;
    bool started = false;        // its first line has been read
    std::string* open = nullptr; // the string that quoted lines continue
    std::string scratch;         // what the quoted lines of a string not kept go to

    auto reset = [&] {
        e = Entry();
        started = false;
        open = nullptr;
        state = Start;
    };
    // Ends the entry read so far; false when entry() asks to stop.
    auto finish = [&] {
        bool go = state != Str || entry(e);
        reset();
        return go;
    };
    auto fail = [&](const std::string& what) {
        problem(lineno_, what);
        state = Broken;
        open = nullptr;
    };

    std::string_view l;
    while (lines_.next(&l)) {
        ++lineno_;
        const uint64_t offset = lines_.offset();
        if (offset == 0 && starts_with(l, "\xEF\xBB\xBF")) l.remove_prefix(3);
        while (!l.empty() && is_blank(l.back())) l.remove_suffix(1);
        while (!l.empty() && is_blank(l.front())) l.remove_prefix(1);
        if (l.empty()) continue; // blank lines may stand anywhere

        // After a msgstr (or a fault) every line but one that goes on with
        // the msgstr begins the next entry.
        size_t kw_end = 0;
        while (kw_end < l.size() && !is_blank(l[kw_end]) && l[kw_end] != '"') ++kw_end;
        std::string_view kw = l.substr(0, kw_end);
        bool goes_on = l[0] == '"' || kw == "msgid_plural" || kw == "msgstr" || starts_with(kw, "msgstr[");
        if ((state == Str || state == Broken) && !goes_on && !finish()) return !lines_.failed();
        if (state == Broken) continue; // the rest of a faulty entry
        if (l[0] == '#' && state != Start) {
            fail("a comment in the middle of an entry, before its msgstr");
            reset();
        }
        if (state == Start && !started && l[0] != '"') {
            started = true;
            e.offset = offset;
            e.first_line = lineno_;
        }

        if (l[0] == '#') {
            if (starts_with(l, "#~")) {
                e.fuzzy = false; // the comments read so far were the obsolete entry's
            } else if (starts_with(l, "#,")) {
                std::string_view flags = l.substr(2);
                while (!flags.empty()) {
                    size_t comma = flags.find(',');
                    std::string_view flag = flags.substr(0, comma);
                    while (!flag.empty() && is_blank(flag.front())) flag.remove_prefix(1);
                    while (!flag.empty() && is_blank(flag.back())) flag.remove_suffix(1);
                    if (flag == "fuzzy") e.fuzzy = true;
                    if (comma == std::string_view::npos) break;
                    flags.remove_prefix(comma + 1);
                }
            }
            continue;
        }
        if (l[0] == '"') {
            if (!open) {
                fail("a string that belongs to no keyword");
                continue;
            }
            std::string what;
            if (!unquote(l, open, &what)) fail(what);
            continue;
        }

        std::string_view rest = l.substr(kw_end);
        std::string* target = &scratch;
        if (kw == "msgctxt") {
            if (state != Start) {
                fail("msgctxt where the msgstr of the entry before is expected");
                continue;
            }
            e.line = lineno_;
            e.has_context = true;
            state = Context;
            target = &e.context;
        } else if (kw == "msgid") {
            if (state != Start && state != Context) {
                fail("msgid where the msgstr of the entry before is expected");
                continue;
            }
            if (state == Start) e.line = lineno_;
            state = Id;
            target = &e.id;
        } else if (kw == "msgid_plural") {
            if (state != Id) {
                fail("msgid_plural without a msgid before it");
                continue;
            }
            e.plural = true;
            state = IdPlural;
        } else if (kw == "msgstr") {
            if (state != Id) {
                fail(state == IdPlural ? "msgstr in a plural entry, which needs msgstr[0], msgstr[1]..."
                                       : "msgstr without a msgid before it");
                continue;
            }
            state = Str;
            target = &e.str;
        } else if (starts_with(kw, "msgstr[")) {
            if (state != IdPlural && !(state == Str && e.plural)) {
                fail("msgstr[] without a msgid_plural before it");
                continue;
            }
            state = Str;
            if (kw == "msgstr[0]") target = &e.str;
        } else {
            fail("not a PO line: it begins with no keyword, quote or '#'");
            continue;
        }
        if (target == &scratch) scratch.clear(); // msgid_plural, msgstr[1]...: not kept
        std::string what;
        if (!unquote(rest, target, &what)) {
            fail(what);
            continue;
        }
        open = target;
    }
    if (state == Str || state == Broken) finish();
    else if (state != Start) problem(lineno_ + 1, "the file ends in the middle of an entry, before its msgstr");
    return !lines_.failed();
}

std::string charset(const std::string& header) {
    size_t at = 0;
    while (at < header.size()) {
        size_t end = header.find('\n', at);
        if (end == std::string::npos) end = header.size();
        std::string_view field(header.data() + at, end - at);
        at = end + 1;
        std::string name(field.substr(0, field.find(':')));
        for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (name != "content-type") continue;
        std::string value(field);
        for (char& c : value) c = char(std::tolower(static_cast<unsigned char>(c)));
        size_t cs = value.find("charset=");
        if (cs == std::string::npos) return "";
        size_t from = cs + 8, to = from;
        while (to < field.size() && !is_blank(field[to]) && field[to] != ';') ++to;
        return std::string(field.substr(from, to - from));
    }
    return "";
}

} // namespace po
