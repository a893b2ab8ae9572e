#include "jobs/texts/tables.hpp"

#include "platform/io.hpp"
#include "platform/win.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tables {

void enter(const char* folder) {
    if (win::chdir(folder) != 0) io::cant_open();
}

bool read_line(FILE* f, std::string* line) {
    // Byte by byte, unlike fgets, so that NUL bytes are kept as read.
    line->clear();
    for (int c; (c = std::getc(f)) != EOF;) {
        line->push_back(char(c));
        if (c == '\n') break;
    }
    return !line->empty();
}

std::string list_line(FILE* td) {
    std::string s;
    if (!read_line(td, &s)) return ".";
    if (s.back() == '\n') s.pop_back();
    // The list's lines are names and numbers: they end at a NUL byte.
    s.resize(std::strlen(s.c_str()));
    return s;
}

uint32_t column_number(const std::string& s) {
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    return uint32_t(int32_t(v));
}

void for_each_pass(FILE* td, const std::function<void(const std::string&, uint32_t, bool)>& pass) {
    for (std::string name = list_line(td); name != "."; name = list_line(td)) {
        bool first = true;
        for (std::string str = list_line(td); str != "."; str = list_line(td)) {
            pass(name, column_number(str), first);
            first = false;
        }
    }
}

void for_each_string_file(FILE* td, const std::function<void(const std::string&)>& file) {
    for (std::string name = list_line(td); name != "."; name = list_line(td)) file(name);
}

bool cut_column(const std::string& line, uint32_t k, FirstTab from, Field* field) {
    if (k == 0) return false;
    size_t len = std::min(line.size(), kLineCut);
    std::string_view view(line.data(), len);
    // The field of the last column stops before the line's last byte (its
    // line feed, or the byte before the cut); a last line without line feed
    // has no such byte to spare.
    size_t last = len;
    if (line.size() > kLineCut || (len > 0 && line.back() == '\n')) last = len - 1;

    size_t pos = from == FirstTab::SecondByte ? std::min<size_t>(1, len) : 0;
    size_t start = 0;
    for (uint32_t i = 1; i < k; ++i) {
        size_t tab = view.find('\t', pos);
        if (tab == std::string_view::npos) return false;
        start = pos = tab + 1;
    }
    size_t tab = view.find('\t', pos);
    size_t end = tab != std::string_view::npos ? tab : last;
    field->start = start;
    field->end = std::max(start, end); // a last tab right before the cut opens an empty field
    field->at_tab = tab != std::string_view::npos;
    return true;
}

bool runs_into_cut(const std::string& line, const Field& field) {
    return line.size() > kLineCut && !field.at_tab;
}

bool for_each_line(FILE* in, const std::string& name, uint32_t k, FirstTab from,
                   const std::function<void(const std::string&, const Field*)>& each) {
    std::string line;
    bool found_nothing = false;
    while (!std::feof(in)) {
        if (!read_line(in, &line)) {
            found_nothing = true;
            break;
        }
        Field field;
        each(line, cut_column(line, k, from, &field) ? &field : nullptr);
    }
    if (std::ferror(in)) io::damaged(name, "it cannot be read to its end");
    return found_nothing;
}

void for_each_string(const std::vector<uint8_t>& data, const std::function<void(std::string_view)>& each) {
    const char* p = reinterpret_cast<const char*>(data.data());
    size_t size = data.size();
    for (size_t i = 0; i < size;) {
        const void* nul = std::memchr(p + i, 0, size - i);
        size_t len = nul ? size_t(static_cast<const char*>(nul) - (p + i)) : size - i;
        each(std::string_view(p + i, len));
        i += len + 1;
    }
}

std::vector<uint8_t> read_file(FILE* f, const std::string& name) {
    std::vector<uint8_t> data = io::read_all(f);
    if (std::ferror(f)) io::damaged(name, "it cannot be read to its end");
    return data;
}

void put(FILE* out, std::string_view s, const std::string& path) { io::write(out, s.data(), s.size(), path); }

} // namespace tables
