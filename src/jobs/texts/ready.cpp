#include "jobs/texts/ready.hpp"

#include <cstdio>

namespace ready {

const char* translation_fault(const tables::Text& t, std::string_view tr) {
    if (tr.find('\0') != std::string_view::npos) return "the translation holds a NUL byte";
    if (tr.find('\r') != std::string_view::npos) return "the translation holds a carriage return";
    if (t.in_table() && tr.find('\t') != std::string_view::npos)
        return "the translation holds a tab, which would split its cell";
    if (!tables::masked(*t.source) && tr.find('\n') != std::string_view::npos)
        return "the translation holds a line break, which only the texts of .txt files can hold";
    return nullptr;
}

const char* own_text_fault(const tables::Text& t) {
    if (t.text.find('\n') != std::string_view::npos)
        return "its text holds a line feed, which would split its line of the ready list: translate it without one";
    if (t.text.find('\0') != std::string_view::npos)
        return "its text holds a NUL byte, which applytodo_ready cannot take";
    return nullptr;
}

std::string record_name(const tables::Text& t) {
    return io::format("%s:%llu: {%05u}", t.source->c_str(), (unsigned long long)t.place, t.n);
}

Writer::Writer() : out_("zund7_ready_rus_str.txt", "wt") {
    if (!out_.ok()) io::cant_open();
}

void Writer::line(std::string_view text, bool masked) {
    size_t from = buf_.size();
    buf_ += text;
    if (masked)
        for (size_t i = from; i < buf_.size(); ++i)
            if (buf_[i] == '\n') buf_[i] = '@';
    buf_ += '\n';
    if (buf_.size() >= (1 << 20)) {
        out_.write(buf_.data(), buf_.size());
        buf_.clear();
    }
}

void Writer::finish(const Problems& problems, const Counts& c) {
    problems.refuse_if_any();
    out_.write(buf_.data(), buf_.size());
    out_.commit();
    std::printf("%s\n", summary(c).c_str());
}

std::string summary(const Counts& c) {
    return io::format("%u texts: %u translated, %u fuzzy, %u untranslated, %u empty; "
                      "entries for texts no longer in the tables: %u",
                      c.translated + c.fuzzy + c.untranslated + c.empty, c.translated, c.fuzzy, c.untranslated, c.empty,
                      c.stale);
}

} // namespace ready
