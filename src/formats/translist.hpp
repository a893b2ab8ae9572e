// A translation list as a translator hands it back: a list that a job wrote
// with a placeholder line under each text (dumptodo's "!out!.txt",
// dumptextbin's "text.txt"), each placeholder the translator has translated
// replaced by the translation.
//
// The jobs write these lists in Windows-1251. An editor may have saved one
// as UTF-8: with a byte-order mark, as Windows editors write it, or without
// one; a list that is valid UTF-8 throughout and holds bytes above 0x7F is
// taken for UTF-8 too, which a Windows-1251 list with its Cyrillic
// placeholders never is. A UTF-8 list is converted line by line; a character
// that Windows-1251 cannot hold, or bytes that are not UTF-8, are problems of
// the run.
#pragma once

#include "platform/io.hpp"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace translist {

// "Пиши здесь" (write here) in Windows-1251: the line under each text that
// the translator replaces with the translation.
inline constexpr const char* kPrompt = "\xCF\xE8\xF8\xE8 \xE7\xE4\xE5\xF1\xFC";

// The lines of a list opened in binary mode, in Windows-1251, CR LF and LF
// line ends alike, with one line of look-ahead. `path` names the list in
// problems ("PATH:LINE: ...") and in "Damaged file" when it cannot be read
// to its end.
class Lines {
public:
    // Reads the list once to tell its encoding, then from its start.
    Lines(FILE* f, std::string path, io::Problems* problems);

    // The next line, without its line end; false at the end of the list.
    bool get(std::string* line);
    // The line just read is read again by the next get().
    void unget() { held_ = true; }
    // The number of the line last read, from 1.
    size_t number() const { return number_ - (held_ ? 1 : 0); }
    // "PATH:LINE": where line `line` is, as problems name it.
    std::string at(size_t line) const { return path_ + ":" + std::to_string(line); }
    bool utf8() const { return utf8_; }

    // What is wrong with the characters of a UTF-8 line (bytes that are not
    // UTF-8, a character that Windows-1251 cannot hold) is a problem told as
    // "PATH:LINE: what" as the line is read. A reader of records calls
    // hold_faults() first: the problems of each line are then kept with it,
    // and the reader tells those of each line it takes, once it knows the
    // record the line belongs to.
    void hold_faults() { hold_ = true; }
    // Tells the held problems of the line last read as "PATH:LINE: KEY: what"
    // (or "PATH:LINE: what" when `key` is empty), once.
    void tell_faults(const std::string& key);

private:
    void decode(std::string_view s);

    io::LineReader in_;
    std::string path_;
    io::Problems* problems_;
    bool utf8_ = false;
    std::string last_;
    size_t number_ = 0;
    bool held_ = false;
    bool hold_ = false;
    std::vector<std::string> faults_; // of the line last read, while held
};

} // namespace translist
