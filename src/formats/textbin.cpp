#include "formats/textbin.hpp"

#include <algorithm>
#include <cctype>

namespace textbin {

bool printable(uint8_t b) { return int8_t(b) > 31 || b == 0x0A; }

void for_each_text(std::string_view data, const std::function<void(uint64_t offset, std::string_view text)>& each) {
    const size_t size = data.size();
    size_t nul = 0; // the first NUL byte at or after the run at hand; `size` when none
    bool nul_known = false;
    for (size_t p = 0; p < size;) {
        size_t s = p;
        while (p < size && printable(uint8_t(data[p]))) ++p;
        if (p == s) {
            ++p;
            continue;
        }
        if (!nul_known || nul < s) {
            nul = std::min(data.find('\0', p), size);
            nul_known = true;
        }
        each(s, data.substr(s, nul - s));
        ++p; // past the byte that ended the run
    }
}

bool text_at(std::string_view data, uint64_t offset) {
    return offset < data.size() && printable(uint8_t(data[offset])) &&
           (offset == 0 || !printable(uint8_t(data[offset - 1])));
}

std::string key(uint64_t offset) { return io::format("{%04llX}", (unsigned long long)offset); }

std::string shown(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c == '\n') c = '~';
    return s;
}

std::string unshown(std::string_view line) {
    std::string s(line);
    for (char& c : s)
        if (c == '~') c = '\n';
    return s;
}

void put_record(std::string* out, uint64_t offset, std::string_view text) {
    *out += io::format("{%04llX}{%05llu}{", (unsigned long long)offset, (unsigned long long)text.size());
    size_t from = out->size();
    *out += text;
    for (size_t i = from; i < out->size(); ++i)
        if ((*out)[i] == '\n') (*out)[i] = '~';
    *out += "}\n\n";
    out->append(text.size(), '-');
    *out += '\n';
    *out += translist::kPrompt;
    *out += "\n\\\\\n";
}

namespace {

// The first line of a record, "{offset}{length}{text}": false when `line`
// does not begin so. Offsets have at most 16 hex digits, lengths at most 19
// decimal ones. `from` is where the text begins.
bool parse_head(const std::string& line, uint64_t* offset, uint64_t* length, size_t* from) {
    size_t p = 1;
    if (line.empty() || line[0] != '{') return false;
    *offset = 0;
    while (p < line.size() && p <= 16 && std::isxdigit(static_cast<unsigned char>(line[p]))) {
        char c = line[p++];
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10;
        *offset = *offset * 16 + uint64_t(digit);
    }
    if (p == 1 || line.compare(p, 2, "}{") != 0) return false;
    size_t d = p += 2;
    *length = 0;
    while (p < line.size() && p - d < 19 && std::isdigit(static_cast<unsigned char>(line[p])))
        *length = *length * 10 + uint64_t(line[p++] - '0');
    if (p == d || line.compare(p, 2, "}{") != 0) return false;
    *from = p + 2;
    return true;
}

bool closes(const std::string& line) { return line == "\\\\"; }

} // namespace

bool Reader::next(Listed* r) {
    std::string line;
    uint64_t offset = 0, length = 0;
    size_t from = 0;
    lines_->hold_faults();
    for (;;) {
        if (!lines_->get(&line)) return false;
        if (line.empty()) continue;
        if (parse_head(line, &offset, &length, &from)) break;
        lines_->tell_faults("");
        problems_->add(lines_->at(lines_->number()),
                       "a line outside any record (a translation goes in place of the placeholder, on one line)");
    }
    *r = Listed();
    r->line = lines_->number();
    r->offset = offset;
    r->length = length;
    lines_->tell_faults(key(offset));
    if (line.size() - from != length + 1 || line.back() != '}')
        return damaged(r, "its text does not end with '}' after the length its first line gives");
    r->text = line.substr(from, size_t(length));
    return body(r);
}

// The lines under the text: an empty line, the ruler, the placeholder or
// the translation, and "\\".
bool Reader::body(Listed* r) {
    std::string line;
    size_t under = 0; // lines read under the text
    bool closed = false;
    while (lines_->get(&line)) {
        if (closes(line)) {
            closed = true;
            break;
        }
        uint64_t offset, length;
        size_t from;
        if (parse_head(line, &offset, &length, &from)) {
            lines_->unget();
            break;
        }
        lines_->tell_faults(key(r->offset));
        if (under == 0 && !line.empty()) r->damage = "the empty line under its text is missing or no longer empty";
        if (under == 1 && (line.size() != r->length || line.find_first_not_of('-') != std::string::npos) &&
            r->damage.empty())
            r->damage = io::format("its ruler is no longer a line of %llu dashes", (unsigned long long)r->length);
        if (under == 2) r->translation = line;
        ++under;
    }
    if (!closed) r->damage = "the line \\\\ that closes it is missing";
    else if (r->damage.empty() && under < 3) r->damage = "its translation line is missing";
    r->translation_lines = under < 3 ? 0 : under - 2;
    return true;
}

// A record whose first line is damaged: its other lines are passed by.
bool Reader::damaged(Listed* r, const char* what) {
    r->damage = what;
    std::string line;
    uint64_t offset, length;
    size_t from;
    while (lines_->get(&line)) {
        if (closes(line)) break;
        if (parse_head(line, &offset, &length, &from)) {
            lines_->unget();
            break;
        }
        lines_->tell_faults(key(r->offset));
    }
    return true;
}

} // namespace textbin
