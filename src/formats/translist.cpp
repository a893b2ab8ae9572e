#include "formats/translist.hpp"

#include "platform/win.hpp"

namespace translist {

namespace {

const std::string kBom = "\xEF\xBB\xBF";

size_t utf8_length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Whether the list was saved as UTF-8 (see translist.hpp).
bool saved_as_utf8(FILE* f) {
    std::string chunk(1 << 16, '\0'), in, converted;
    bool beyond_ascii = false;
    for (bool first = true;; first = false) {
        size_t got = io::read(f, chunk.data(), chunk.size());
        bool end = got < chunk.size();
        if (first && got >= 3 && chunk.compare(0, 3, kBom) == 0) return true;
        for (size_t i = 0; i < got; ++i) beyond_ascii |= static_cast<unsigned char>(chunk[i]) >= 0x80;
        in.append(chunk, 0, got);
        // A character that Windows-1251 cannot hold is UTF-8 all the same; a
        // sequence cut by the end of a read is finished by the next one.
        size_t pos = 0, keep_from = in.size();
        win::Utf8Fault fault;
        while (!win::from_utf8(std::string_view(in).substr(pos), &converted, &fault)) {
            size_t bad = pos + fault.at;
            if (fault.not_utf8) {
                if (end || in.size() - bad >= 4) return false;
                keep_from = bad;
                break;
            }
            pos = bad + utf8_length(fault.ch);
        }
        if (end) return beyond_ascii;
        in.erase(0, keep_from);
    }
}

} // namespace

Lines::Lines(FILE* f, std::string path, io::Problems* problems)
    : in_(f), path_(std::move(path)), problems_(problems) {
    utf8_ = saved_as_utf8(f);
    std::rewind(f);
}

bool Lines::get(std::string* line) {
    if (held_) {
        held_ = false;
        *line = last_;
        return true;
    }
    std::string_view s;
    if (!in_.next(&s)) {
        if (in_.failed()) io::damaged(path_, "it cannot be read to its end");
        return false;
    }
    ++number_;
    faults_.clear();
    if (!utf8_) {
        last_ = s;
    } else {
        if (number_ == 1 && s.substr(0, 3) == kBom) s.remove_prefix(3);
        decode(s);
    }
    *line = last_;
    return true;
}

void Lines::tell_faults(const std::string& key) {
    for (const std::string& what : faults_) problems_->add(key.empty() ? at(number()) : at(number()) + ": " + key, what);
    faults_.clear();
}

// UTF-8 to Windows-1251; what cannot be converted becomes '?' and is a
// problem.
void Lines::decode(std::string_view s) {
    last_.clear();
    std::string part;
    win::Utf8Fault fault;
    while (!win::from_utf8(s, &part, &fault)) {
        win::from_utf8(s.substr(0, fault.at), &part);
        last_ += part;
        last_ += '?';
        std::string what = fault.not_utf8 ? std::string("bytes that are not UTF-8")
                                          : io::format("U+%04X, which Windows-1251 cannot hold", unsigned(fault.ch));
        s.remove_prefix(fault.at + (fault.not_utf8 ? 1 : utf8_length(fault.ch)));
        if (hold_) faults_.push_back(std::move(what));
        else problems_->add(at(number_), what);
    }
    last_ += part;
}

} // namespace translist
