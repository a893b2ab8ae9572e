#include "jobs/texts/tables.hpp"

#include "platform/io.hpp"
#include "platform/win.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace tables {

void enter(const char* folder) {
    if (win::chdir(folder) != 0) io::cant_open();
}

bool read_line(FILE* f, std::string* line) {
    // fgets copies a NUL byte of the line like any other and ends what it
    // read with one: in a buffer filled with line feeds beforehand, the last
    // NUL is that end, whatever NUL bytes the line holds.
    line->clear();
    char buf[512];
    for (;;) {
        std::memset(buf, '\n', sizeof buf);
        if (!std::fgets(buf, sizeof buf, f)) break;
        size_t n = sizeof buf; // one past the last NUL
        while (n > 0 && buf[n - 1] != '\0') --n;
        n = n > 0 ? n - 1 : 0;
        line->append(buf, n);
        if (n > 0 && buf[n - 1] == '\n') break;
        if (n + 1 < sizeof buf) break; // the end of the file, after a last line without line feed
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

std::string_view Text::first_column() const {
    if (!row) return {};
    Field f;
    return cut_column(*row, 1, FirstTab::FirstByte, &f) ? f.of(*row) : std::string_view();
}

void for_each_text(FILE* td, const std::string& list_path, const char* not_a_table,
                   const std::function<void(const Text&)>& each) {
    Text t;
    for_each_pass(td, [&](const std::string& name, uint32_t k, bool) {
        if (not_a_table && win::same_file(name.c_str(), not_a_table))
            io::damaged(list_path, "it lists the output " + name + " as a table");
        FILE* in = io::open_or_die(name.c_str(), "rt");
        t.source = &name;
        t.column = k;
        t.place = 0;
        for_each_line(in, name, k, FirstTab::FirstByte, [&](const std::string& line, const Field* field) {
            ++t.place;
            if (!field) return;
            t.text = field->of(line);
            t.row = &line;
            each(t);
            ++t.n;
        });
        std::fclose(in);
        ++t.pass;
    });
    for_each_string_file(td, [&](const std::string& name) {
        FILE* in = io::open_or_die(name.c_str(), "rb");
        std::vector<uint8_t> data = read_file(in, name);
        std::fclose(in);
        t.source = &name;
        t.column = 0;
        t.place = 0;
        t.row = nullptr;
        for_each_string(data, [&](std::string_view s) {
            ++t.place;
            t.text = s;
            each(t);
            ++t.n;
        });
        ++t.pass;
    });
}

bool masked(const std::string& name) { return io::plain_name(name) && win::wildcard_match("*.txt", name); }

std::string po_context(const Text& t) {
    return t.in_table() ? *t.source + ":" + std::to_string(t.column) : *t.source;
}

std::string po_msgid(std::string_view text, bool masked) {
    std::string s(text);
    if (masked)
        for (char& c : s)
            if (c == '@') c = '\n';
    return s;
}

void TextSet::clear() {
    bytes_.clear();
    spans_.clear();
    slots_.clear();
}

uint32_t TextSet::slot_of(std::string_view s, uint32_t hash) const {
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        uint32_t v = slots_[i];
        if (v == 0) return uint32_t(i);
        const Span& sp = spans_[v - 1];
        if (sp.hash == hash && at(v - 1) == s) return uint32_t(i);
    }
}

void TextSet::grow() {
    std::vector<uint32_t> old;
    old.swap(slots_);
    slots_.assign(std::max<size_t>(64, old.size() * 2), 0);
    size_t mask = slots_.size() - 1;
    for (uint32_t v : old) {
        if (v == 0) continue;
        size_t i = spans_[v - 1].hash & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = v;
    }
}

uint32_t TextSet::find(std::string_view s) const {
    if (slots_.empty()) return npos;
    uint32_t v = slots_[slot_of(s, uint32_t(std::hash<std::string_view>()(s)))];
    return v == 0 ? npos : v - 1;
}

uint32_t TextSet::add(std::string_view s, bool* added) {
    if ((spans_.size() + 1) * 2 > slots_.size()) grow(); // at most half full
    uint32_t hash = uint32_t(std::hash<std::string_view>()(s));
    uint32_t slot = slot_of(s, hash);
    bool is_new = slots_[slot] == 0;
    if (added) *added = is_new;
    if (!is_new) return slots_[slot] - 1;
    spans_.push_back({bytes_.size(), uint32_t(s.size()), hash});
    bytes_.append(s);
    slots_[slot] = uint32_t(spans_.size());
    return uint32_t(spans_.size() - 1);
}

} // namespace tables
