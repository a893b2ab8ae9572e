// VCDIFF (RFC 3284) delta files as Debian's xdelta3 reads and writes them: a
// patch of windows, each a target range rebuilt from added bytes, runs and
// copies out of a source segment (a range of the source file or of the target
// written before) and out of the window's own earlier bytes. xdelta3 adds an
// application header to the file header (skipped here) and an Adler-32 of
// each window's target (bit 0x04 of the window indicator, four bytes after the
// section lengths), which is written and checked.
//
// Memory stays bounded whatever the files' sizes: the source is read at
// random access, the patch front to back, one window at a time (a window's
// target is at most 16 MiB, xdelta3's own limit), and the target goes out
// window by window.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vcdiff {

// Random access to a file's bytes: the source of a patch, a target, or a patch
// read front to back.
class Input {
public:
    virtual ~Input() = default;
    virtual uint64_t size() const = 0;
    // Reads n bytes at `at`; false when they are not all there or cannot be read.
    virtual bool read(uint64_t at, void* to, size_t n) = 0;
};

// An open binary FILE*, read through a small buffer of its own (many short
// reads close together cost one read of the file). The stream stays open.
class FileInput : public Input {
public:
    explicit FileInput(FILE* f);
    uint64_t size() const override { return size_; }
    bool read(uint64_t at, void* to, size_t n) override;
    // False when the file's size could not be told (size() is then 0).
    bool ok() const { return ok_; }

private:
    FILE* f_;
    uint64_t size_ = 0;
    bool ok_ = false;
    uint64_t file_pos_ = UINT64_MAX; // where the stream stands; unknown at first
    std::vector<uint8_t> buf_;
    uint64_t buf_at_ = 0; // what buf_ holds: the file's bytes from buf_at_
    size_t buf_len_ = 0;
};

class MemoryInput : public Input {
public:
    MemoryInput(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    uint64_t size() const override { return n_; }
    bool read(uint64_t at, void* to, size_t n) override;

private:
    const uint8_t* p_;
    size_t n_;
};

// Where a decoded target or an encoded patch goes; the sink reports its own
// write failures.
class Output {
public:
    virtual ~Output() = default;
    virtual void write(const void* data, size_t n) = 0;
    // Bytes written earlier, read back (for windows whose source segment is the
    // target written before); false where it cannot.
    virtual bool read_back(uint64_t at, void* to, size_t n) {
        (void)at;
        (void)to;
        (void)n;
        return false;
    }
};

// Everything kept in memory (small files, tests).
class MemoryOutput : public Output {
public:
    std::vector<uint8_t> bytes;
    void write(const void* data, size_t n) override;
    bool read_back(uint64_t at, void* to, size_t n) override;
};

// A range of the target known to equal a range of the source.
struct Copy {
    uint64_t target_at, source_at, length;
    bool operator==(const Copy&) const = default;
};

struct EncodeOptions {
    // Find matches of the target's other bytes in the source (bounded memory);
    // false: the bytes outside `known` are stored as added bytes and runs.
    bool search = true;
};

// Writes a patch that turns `source` into `target`: the default code table, no
// secondary compression, an Adler-32 of each target window (as xdelta3 writes
// it, so that `xdelta3 -d` checks it), windows of at most 4 MiB of target.
// `known`: sorted by target_at, non-overlapping, the caller having checked that
// these bytes are equal; a copy out of that order or past the end of either
// file is not taken (its bytes are treated as unknown). False when the source
// or the target could not be read (the patch is then incomplete).
bool encode(Input& source, Input& target, const std::vector<Copy>& known, Output& patch,
            const EncodeOptions& options = {});

struct DecodeResult {
    bool ok = false;
    std::string why; // what is wrong, for "Damaged file PATH: WHY"
    uint64_t target_size = 0;
};

// Applies the patch, read front to back from `patch`, to `source`; the target
// goes to `target`, window by window (a damaged window is refused before any
// of its bytes go out; the windows before it have gone out). `copies`
// (optional): the source copies the patch made, adjacent ones merged, those
// shorter than `min_copy` left out (so that a reverse patch can be made from
// them).
DecodeResult decode(Input& source, Input& patch, Output& target, std::vector<Copy>* copies = nullptr,
                    uint64_t min_copy = 256);

// The Adler-32 of n bytes, as zlib computes it: what each window's target is
// checked with.
uint32_t adler32(const uint8_t* p, size_t n);

} // namespace vcdiff
