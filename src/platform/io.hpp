// Small stream helpers shared by the jobs: the common failure messages, writes
// that never report a failed write as success, chunked copies, and the safe
// replacement of a file's content.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace io {

// The common failures. Each prints its message on standard output and ends
// the process with exit code 1; streams still open are flushed by exit.
[[noreturn]] void cant_open();                                // "Can't open\n"
[[noreturn]] void cant_create(const std::string& path);       // "Can't create file %s\n"
[[noreturn]] void cant_write(const std::string& path);        // "Can't write %s\n"
[[noreturn]] void cant_replace(const std::string& path);     // "Can't replace %s\n"
[[noreturn]] void damaged(const std::string& path, const std::string& what); // "Damaged file %s: %s\n"
// The same message for a job that skips the damaged file and goes on; it
// ends with exit code 1 itself once the others are done.
void report_damaged(const std::string& path, const std::string& what);

// The problems of a run that checks a translator's work before it writes
// anything: each printed as found ("WHERE: WHAT", where is "FILE:LINE: KEY"
// as a rule), the first kShown of them. With any problem the run is refused:
// nothing is written, and an earlier output stays as it was. A reader that
// only tells whether a run would be refused counts them without printing,
// and keeps the first.
class Problems {
public:
    static constexpr uint32_t kShown = 100;
    // `not_written` ends the refusal: "the ready list is not written".
    explicit Problems(std::string not_written, bool print = true)
        : not_written_(std::move(not_written)), print_(print) {}
    void add(const std::string& where, const std::string& what);
    uint32_t count() const { return count_; }
    const std::string& first() const { return first_; } // "WHERE: WHAT"
    // With any problem: "Refused: N problems listed above; NOT_WRITTEN" and
    // exit code 1.
    void refuse_if_any() const;

private:
    std::string not_written_;
    bool print_;
    uint32_t count_ = 0;
    std::string first_;
};

// printf into a string of any length: paths formed from names and counters.
std::string format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));

// The read-error report that the extraction jobs make after each directory
// read: when the runtime error number is set, print its text on a line of
// its own and clear the error state of `stream` (when one is given). The
// number itself stays set.
void report_error(FILE* stream);

// True when an archive member's name can serve as a file name inside the
// folder a job writes to: it holds no path separator ("\\" or "/") and no
// drive colon, so that a damaged or crafted archive cannot make a job write
// outside that folder.
bool plain_name(const std::string& name);

// win::fopen, or "Can't open\n" and exit code 1.
FILE* open_or_die(const char* path, const char* mode);

// Writes n bytes; a short write is "Can't write %s\n" with `path`, exit 1.
void write(FILE* f, const void* data, size_t n, const std::string& path);
void write_zeros(FILE* f, uint64_t n, const std::string& path);
// Closes an output; when anything written to it was lost (full disk, I/O
// error), "Can't write %s\n" with `path` and exit 1.
void close(FILE* f, const std::string& path);

// Size of an open file: seek to the end, take the position, seek back to 0.
uint64_t size_of(FILE* f);
// Reads up to n bytes at the current position; the number read.
size_t read(FILE* f, void* data, size_t n);
// The whole file from its start, as many bytes as it holds.
std::vector<uint8_t> read_all(FILE* f);

// A file opened in binary mode, read line by line through a buffer of its
// own (much faster than a character at a time). A line ends at a line feed;
// a CR right before it is dropped, as a text-mode stream drops it, so CR LF
// and LF line ends read alike.
class LineReader {
public:
    explicit LineReader(FILE* f) : f_(f), buf_(size_t(1) << 16, '\0') {}
    // The next line, without its line end; false at the end of the file. The
    // view holds until the next call.
    bool next(std::string_view* line);
    // Where the line last read begins in the file.
    uint64_t offset() const { return offset_; }
    // Reads on from `offset`, the beginning of a line read before.
    void seek(uint64_t offset);
    // Whether a read failed (the file could not be read to its end).
    bool failed() const { return failed_; }

private:
    FILE* f_;
    std::string buf_; // what was read last, from file offset base_
    uint64_t base_ = 0, offset_ = 0;
    size_t pos_ = 0, end_ = 0;
    std::string joined_; // a line longer than what the buffer holds
    bool failed_ = false;
};

// Copies up to n bytes from the current position of `in` to `out` in chunks
// of a fixed size, so that a member of any size needs no buffer of its own.
// Returns the number of bytes copied: fewer than n when `in` ends early.
uint64_t copy(FILE* in, FILE* out, uint64_t n, const std::string& out_path);

// Rewrites a file without ever leaving it half-written: the new content goes
// to a file beside it, which takes the old file's place in one step only once
// it has been written and closed completely. Until then the old file is
// untouched; at every instant the name holds the whole old file or the whole
// new one.
class Replacement {
public:
    // What the name of the file beside ends with: the target's name, then
    // this. A job that takes every file of a folder passes such a leftover
    // of a stopped run by.
    static constexpr const char* kSuffix = ".locbench-new";

    // `path` is the job's (Windows) path of the file to replace; mode "wb" or
    // "wt". Made where the job creates its output: ok() is false, as opening
    // `path` for writing would fail, when the name cannot take a file (a
    // folder or a read-only file of that name, a missing folder).
    Replacement(const std::string& path, const char* mode);
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    ~Replacement();

    bool ok() const { return file_ != nullptr; }
    FILE* file() const { return file_; }
    void write(const void* data, size_t n) { io::write(file_, data, n, path_); }
    // Closes the new file and puts it in the old one's place. When the new
    // content could not be written completely: "Can't write %s\n"; when it
    // cannot take the old one's place: "Can't replace %s\n"; both exit 1, and
    // the old file keeps its content.
    void commit();

private:
    std::string path_;   // as the job names it, for messages
    std::string target_; // the file system's path of the file replaced
    std::string temp_;
    FILE* file_ = nullptr;
};

} // namespace io
