#include "platform/io.hpp"

#include "platform/win.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace io {

void cant_open() {
    std::printf("Can't open\n");
    std::exit(1);
}

void cant_create(const std::string& path) {
    std::printf("Can't create file %s\n", path.c_str());
    std::exit(1);
}

void cant_write(const std::string& path) {
    std::printf("Can't write %s\n", path.c_str());
    std::exit(1);
}

void cant_replace(const std::string& path) {
    std::printf("Can't replace %s\n", path.c_str());
    std::exit(1);
}

void report_damaged(const std::string& path, const std::string& what) {
    std::printf("Damaged file %s: %s\n", path.c_str(), what.c_str());
}

void damaged(const std::string& path, const std::string& what) {
    report_damaged(path, what);
    std::exit(1);
}

void Problems::add(const std::string& where, const std::string& what) {
    if (print_ && count_ < kShown) std::printf("%s: %s\n", where.c_str(), what.c_str());
    if (count_ == 0) first_ = where + ": " + what;
    ++count_;
}

void Problems::refuse_if_any() const {
    if (count_ == 0) return;
    if (count_ > kShown)
        std::printf("Refused: %u problems, the first %u listed above; %s\n", count_, kShown, not_written_.c_str());
    else
        std::printf("Refused: %u problem%s listed above; %s\n", count_, count_ == 1 ? "" : "s",
                    not_written_.c_str());
    std::exit(1);
}

std::string format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list again;
    va_copy(again, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string s(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0) std::vsnprintf(s.data(), s.size() + 1, fmt, again);
    va_end(again);
    return s;
}

void report_error(FILE* stream) {
    if (int e = win::error_number()) {
        std::printf("%s\n", std::strerror(e));
        if (stream) std::clearerr(stream);
    }
}

bool plain_name(const std::string& name) { return name.find_first_of("\\/:") == std::string::npos; }

FILE* open_or_die(const char* path, const char* mode) {
    FILE* f = win::fopen(path, mode);
    if (!f) cant_open();
    return f;
}

void write(FILE* f, const void* data, size_t n, const std::string& path) {
    if (n > 0 && std::fwrite(data, 1, n, f) != n) cant_write(path);
}

namespace {
// The buffer of copies the kernel does not make: as quick on the clock as
// larger ones, and a quarter of the memory of 1 MiB.
constexpr size_t kChunk = 256 << 10;
// Below this size a member is copied through the buffer: fewer calls.
constexpr size_t kKernelCopyFrom = 64 << 10;
}

void write_zeros(FILE* f, uint64_t n, const std::string& path) {
    std::vector<uint8_t> zeros(size_t(std::min<uint64_t>(n, kChunk)));
    while (n > 0) {
        size_t part = size_t(std::min<uint64_t>(n, zeros.size()));
        write(f, zeros.data(), part, path);
        n -= part;
    }
}

void close(FILE* f, const std::string& path) {
    bool lost = std::ferror(f) != 0;
    if (std::fclose(f) != 0) lost = true;
    if (lost) cant_write(path);
}

uint64_t size_of(FILE* f) {
    std::fseek(f, 0, SEEK_END);
    long end = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    return end < 0 ? 0 : uint64_t(end);
}

size_t read(FILE* f, void* data, size_t n) { return n == 0 ? 0 : std::fread(data, 1, n, f); }

std::vector<uint8_t> read_all(FILE* f) {
    std::vector<uint8_t> buf(size_t(size_of(f)));
    buf.resize(read(f, buf.data(), buf.size()));
    return buf;
}

uint64_t copy(FILE* in, FILE* out, uint64_t n, const std::string& out_path) {
    uint64_t done = n >= kKernelCopyFrom ? win::copy_fast(in, out, n) : 0;
    // One buffer for the whole run: copying never needs more than this.
    static std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk]);
    while (done < n) {
        size_t want = size_t(std::min<uint64_t>(n - done, kChunk));
        size_t got = read(in, buf.get(), want);
        write(out, buf.get(), got, out_path);
        done += got;
        if (got < want) break;
    }
    return done;
}

void LineReader::seek(uint64_t offset) {
    if (offset >= base_ && offset <= base_ + end_) { // still in the buffer
        pos_ = size_t(offset - base_);
        return;
    }
    std::fseek(f_, long(offset), SEEK_SET);
    base_ = offset;
    pos_ = end_ = 0;
}

bool LineReader::next(std::string_view* line) {
    offset_ = base_ + pos_;
    joined_.clear();
    bool joining = false;
    for (;;) {
        if (pos_ == end_) {
            base_ += end_;
            pos_ = 0;
            end_ = std::fread(buf_.data(), 1, buf_.size(), f_);
            if (end_ == 0) {
                if (std::ferror(f_)) failed_ = true;
                *line = joined_; // a last line without line feed
                return joining;
            }
        }
        const char* p = buf_.data() + pos_;
        const void* nl = std::memchr(p, '\n', end_ - pos_);
        if (!nl) {
            joined_.append(p, end_ - pos_);
            joining = true;
            pos_ = end_;
            continue;
        }
        size_t n = size_t(static_cast<const char*>(nl) - p);
        pos_ += n + 1;
        if (joining) {
            joined_.append(p, n);
            *line = joined_;
        } else {
            *line = std::string_view(p, n);
        }
        if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
        return true;
    }
}

namespace {

// New contents not yet swapped in. A job that stops on a failure ends through
// exit(), which runs no destructors: the files are closed (a file still open
// cannot be removed on Windows) and removed at exit instead, so that a failed
// run leaves the old files and nothing beside them.
struct Pending {
    std::string path;
    FILE* file;
};

std::vector<Pending>& pending() {
    static auto* files = new std::vector<Pending>; // outlives the handler at exit
    return *files;
}

void remove_pending() {
    for (const Pending& p : pending()) {
        std::fclose(p.file);
        win::remove_native(p.path);
    }
    pending().clear();
}

void forget_pending(const std::string& f) {
    auto& p = pending();
    p.erase(std::remove_if(p.begin(), p.end(), [&](const Pending& x) { return x.path == f; }), p.end());
}

} // namespace

Replacement::Replacement(const std::string& path, const char* mode)
    : path_(path), target_(win::native_path(path.c_str())) {
    static const bool cleanup_registered = std::atexit(remove_pending) == 0;
    (void)cleanup_registered;
    // Fails where opening `path` itself for writing would. The new content
    // is written under a name that no job's search pattern takes for one of
    // its own files; a leftover of a run that was stopped is overwritten.
    if (!win::can_take_file_native(target_)) return;
    temp_ = target_ + kSuffix;
    file_ = win::fopen_native(temp_, mode);
    if (file_) pending().push_back({temp_, file_});
}

Replacement::~Replacement() {
    if (file_) { // never committed: the old file stays, the new one goes
        std::fclose(file_);
        win::remove_native(temp_);
        forget_pending(temp_);
    }
}

void Replacement::commit() {
    FILE* f = file_;
    file_ = nullptr;
    bool lost = std::ferror(f) != 0;
    if (std::fclose(f) != 0) lost = true;
    forget_pending(temp_);
    if (lost) {
        win::remove_native(temp_);
        cant_write(path_);
    }
    if (win::replace_native(temp_, target_) != 0) {
        win::remove_native(temp_);
        cant_replace(path_);
    }
}

} // namespace io
