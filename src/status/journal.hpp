// The journal of the steps that `locbench make` ran: for each job step, the
// files it took and the files it left, each with its size, last write and a
// hash of its content, as they were when the step ended. make writes it after
// each step; status only reads it. A step is judged by it (stale only when the
// content of an input differs from what the journal holds) once it has a
// record; without one, by the files' times.
//
// The file is text, one record per step, and is replaced in one step:
//
//   locbench journal 1
//   step CHAIN JOB
//   in SIZE MODIFIED HASH PATH
//   out SIZE MODIFIED HASH PATH
//   running CHAIN JOB
//
// SIZE in bytes, MODIFIED in nanoseconds since 1970, HASH sixteen hex digits,
// PATH the Windows path as the jobs name it (Windows-1251), the rest of the
// line. "running" marks a step that make started and that has not ended
// well: its outputs may have changed without being edited by hand.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace journal {

// Where the journal lies: "c:\games\locbench.journal".
extern const char* const kPath;

// A hash of a file's content (64 bits, over 64-bit words in four lanes);
// false when the file cannot be read.
bool content_hash(const std::string& winpath, uint64_t* hash);
uint64_t content_hash(const void* data, size_t n);

struct Entry {
    std::string path; // Windows path
    uint64_t size = 0;
    int64_t modified = 0;
    uint64_t hash = 0;
};

struct Record {
    std::vector<Entry> ins, outs;
};

class Journal {
public:
    // Reads the journal; an absent or unreadable one is empty. A line it
    // cannot read is passed over (with the record it belongs to).
    void load();
    // Writes it anew in one step (creating c:\games when it is not there);
    // false when it cannot be written.
    bool save() const;

    const Record* find(const std::string& chain, const std::string& job) const;
    void put(const std::string& chain, const std::string& job, Record r);
    bool running(const std::string& chain, const std::string& job) const;
    void set_running(const std::string& chain, const std::string& job, bool on);
    bool empty() const { return records_.empty() && running_.empty(); }

    // The journal's own last write (0 when none): a file written within a
    // second of it may change again without its time telling.
    int64_t written() const { return written_; }

    // Whether the file at `path`, now of `size` and `modified`, still holds
    // the content of `e`: the hash is taken only when the size or the time
    // differ from the entry's, or the entry's time lies within a second of
    // the journal's own. Hashes taken are kept for the run.
    bool same(const Entry& e, uint64_t size, int64_t modified) const;
    // The hash of a file as it is now (kept for the run); false when it
    // cannot be read.
    bool hash_of(const std::string& path, uint64_t size, int64_t modified, uint64_t* hash) const;

private:
    std::map<std::string, Record> records_; // "CHAIN JOB"
    std::map<std::string, bool> running_;
    int64_t written_ = 0;
    mutable std::unordered_map<std::string, uint64_t> hashes_; // "PATH|SIZE|MODIFIED"
};

} // namespace journal
