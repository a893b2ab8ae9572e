#include "release/common.hpp"

#include "platform/host.hpp"
#include "platform/win.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

namespace release {
namespace {
constexpr size_t kChunk = size_t(1) << 20;
constexpr uint64_t kBigFile = uint64_t(16) << 20; // files this big get a progress bar
} // namespace

std::string hex(const sha256::Digest& d) { return sha256::hex(d); }

bool digest_of(const std::string& path, manifest::Digest* d, bool progress, const std::string& label) {
    FILE* f = host::open(path, "rb");
    if (!f) return false;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk]);
    sha256::Hasher h;
    uint64_t total = host::look(path).size, n = 0;
    int shown = -1;
    size_t got;
    while ((got = std::fread(buf.get(), 1, kChunk, f)) > 0) {
        h.update(buf.get(), got);
        n += got;
        if (progress) show_progress(label, n, total, &shown);
    }
    bool ok = !std::ferror(f);
    std::fclose(f);
    end_progress(&shown);
    d->size = n;
    d->sha256 = hex(h.finish());
    return ok;
}

Sink::Sink(FILE* f, uint64_t expected, const std::string& label) : f_(f), expected_(expected), label_(label) {}
Sink::~Sink() { end_progress(&shown_); }

void Sink::write(const void* data, size_t n) {
    if (n == 0) return;
    hash_.update(data, n);
    written_ += n;
    if (f_ && !failed_ && std::fwrite(data, 1, n, f_) != n) failed_ = true;
    if (expected_ >= kBigFile) show_progress(label_, written_, expected_, &shown_);
}

bool Sink::read_back(uint64_t at, void* to, size_t n) {
    if (!f_ || at > written_ || n > written_ - at) return false;
    if (std::fflush(f_) != 0 || !host::seek(f_, at)) return false;
    bool ok = std::fread(to, 1, n, f_) == n;
    return host::seek_end(f_) && ok;
}

manifest::Digest Sink::finish() {
    end_progress(&shown_);
    return {written_, hex(hash_.finish())};
}

void show_progress(const std::string& label, uint64_t done, uint64_t total, int* shown) {
    if (total < kBigFile || !win::terminal(stdout)) return;
    int pct = int(done * 100 / total);
    if (pct == *shown) return;
    *shown = pct;
    std::string bar(size_t(pct / 5), '#');
    bar.resize(20, ' ');
    std::printf("\r  [%s] %3d%% ", bar.c_str(), pct);
    host::print(stdout, label);
    std::fflush(stdout);
}

void end_progress(int* shown) {
    if (*shown < 0) return;
    std::printf("\r%*s\r", 79, "");
    std::fflush(stdout);
    *shown = -1;
}

namespace {
bool walk_into(const std::string& root, const std::string& rel, std::vector<std::string>* files,
               std::vector<std::string>* links, std::string* failed) {
    std::vector<host::Entry> entries;
    std::string folder = rel.empty() ? root : host::join(root, rel);
    if (!host::list(folder, &entries)) {
        *failed = folder;
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const host::Entry& a, const host::Entry& b) {
        std::string ka = host::name_key(a.name), kb = host::name_key(b.name);
        return ka != kb ? ka < kb : a.name < b.name;
    });
    for (const host::Entry& e : entries) {
        std::string path = rel.empty() ? e.name : rel + "/" + e.name;
        if (e.kind == host::Kind::Folder) {
            if (!walk_into(root, path, files, links, failed)) return false;
        } else if (e.kind == host::Kind::File) {
            files->push_back(path);
        } else {
            links->push_back(path);
        }
    }
    return true;
}
} // namespace

bool walk(const std::string& root, std::vector<std::string>* files, std::vector<std::string>* links,
          std::string* failed) {
    return walk_into(root, "", files, links, failed);
}

void say(const std::string& before, const std::string& path, const std::string& after) {
    std::fputs(before.c_str(), stdout);
    host::print(stdout, path);
    std::fputs(after.c_str(), stdout);
    std::fputc('\n', stdout);
}

std::string size_text(uint64_t n) {
    char buf[64];
    if (n >= (uint64_t(1) << 30)) std::snprintf(buf, sizeof buf, "%.1f GiB", double(n) / double(1 << 30));
    else if (n >= (uint64_t(1) << 20)) std::snprintf(buf, sizeof buf, "%.1f MiB", double(n) / double(1 << 20));
    else if (n >= 1024) std::snprintf(buf, sizeof buf, "%.1f KiB", double(n) / 1024.0);
    else std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(n));
    return buf;
}

bool copy_file(const std::string& from, const std::string& to) {
    FILE* in = host::open(from, "rb");
    if (!in) return false;
    FILE* out = host::open(to, "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk]);
    size_t got;
    bool ok = true;
    while (ok && (got = std::fread(buf.get(), 1, kChunk, in)) > 0) ok = std::fwrite(buf.get(), 1, got, out) == got;
    ok = ok && !std::ferror(in) && std::fflush(out) == 0;
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    return ok;
}

} // namespace release
