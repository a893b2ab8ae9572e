// The Windows file system as the jobs see it, on a POSIX file system.
#include "platform/win_detail.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace win {
namespace {

using detail::fail_with;

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string prefix_dir() {
    const char* w = std::getenv("WINEPREFIX");
    if (w && *w) return w;
    const char* h = std::getenv("HOME");
    return std::string(h ? h : "") + "/.wine";
}

bool is_dir(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_folder(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

bool ascii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// A name as the jobs spell it (Windows-1251) and as it is stored on disk
// (UTF-8, as Wine stores it); an ASCII name is the same in both.
std::string disk_name(const std::string& name) { return ascii(name) ? name : to_utf8(name); }
// The jobs' spelling of a name on disk: false when it has none (not UTF-8,
// or a character that Windows-1251 cannot hold).
bool job_name(const std::string& disk, std::string* name) {
    if (ascii(disk)) {
        *name = disk;
        return true;
    }
    return from_utf8(disk, name);
}

// The names of a directory that the jobs can see, grouped by their folded
// spelling (fold_case). A directory is read once and kept for as long as its
// time stamps stay the same; the calls of this layer that add or remove
// entries keep the copy up to date, so that a job writing thousands of files
// into one folder does not read the folder again for each of them, and a
// lookup takes one look at the folder.
struct Entry {
    std::string name; // as the jobs spell it
    std::string disk; // as it is stored
};
struct Listing {
    std::unordered_map<std::string, std::vector<Entry>> names;
    struct stat stamp {};
};
std::map<std::string, Listing> g_listings;

bool same_stamp(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec && a.st_size == b.st_size;
}

bool entry_less(const Entry& a, const Entry& b) { return name_less(a.name, b.name); }

const Listing* listing_of(const std::string& dir) {
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    auto it = g_listings.find(dir);
    if (it != g_listings.end() && same_stamp(it->second.stamp, st)) return &it->second;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return nullptr;
    Listing l;
    l.stamp = st;
    while (dirent* e = ::readdir(d)) {
        std::string disk = e->d_name, name;
        if (disk == "." || disk == ".." || !job_name(disk, &name)) continue;
        l.names[fold_case(name)].push_back({std::move(name), std::move(disk)});
    }
    ::closedir(d);
    for (auto& [key, entries] : l.names) std::sort(entries.begin(), entries.end(), entry_less);
    Listing& kept = g_listings[dir];
    kept = std::move(l);
    return &kept;
}

void split_native(const std::string& p, std::string* dir, std::string* name) {
    size_t slash = p.rfind('/');
    *dir = slash == 0 ? "/" : p.substr(0, slash);
    *name = p.substr(slash + 1);
}

// Brings the kept copy of a folder up to date after this layer changed it.
// `restamp`: take the folder's new time stamps, so that the copy stays in use;
// without, the old stamps stay and the folder is read again when next looked
// at (unless a later change takes them).
void note_change(const std::string& p, bool added, bool restamp = true) {
    std::string dir, disk, name;
    split_native(p, &dir, &disk);
    auto it = g_listings.find(dir);
    if (it == g_listings.end()) return;
    Listing& l = it->second;
    if (job_name(disk, &name)) {
        std::string key = fold_case(name);
        auto& entries = l.names[key];
        entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.disk == disk; }),
                      entries.end());
        if (added) {
            entries.push_back({name, disk});
            std::sort(entries.begin(), entries.end(), entry_less);
        } else if (entries.empty()) {
            l.names.erase(key);
        }
    }
    if (restamp && ::stat(dir.c_str(), &l.stamp) != 0) g_listings.erase(it);
}

void note_added(const std::string& p) { note_change(p, true); }
void note_removed(const std::string& p) { note_change(p, false); }

// Folder parts of Windows paths (after their drive or working directory) and
// the folders they name. A new folder or a rename may change what a folder
// part names, so both forget them all.
std::unordered_map<std::string, std::string> g_folders;

// The current folder, as the system gives it; read again only after a change
// of folder.
std::string g_cwd;
const std::string& current_folder() {
    if (g_cwd.empty()) {
        char buf[4096];
        g_cwd = ::getcwd(buf, sizeof buf) ? buf : ".";
    }
    return g_cwd;
}

// The stored name of the existing entry of `dir` that `comp` names: the
// exact spelling when it exists, else the first (name_less) that differs only
// in case.
bool find_entry(const std::string& dir, const std::string& comp, std::string* found) {
    const Listing* l = listing_of(dir);
    if (!l) { // not a folder, or one that cannot be listed: the exact spelling alone
        *found = disk_name(comp);
        return exists(dir + "/" + *found);
    }
    auto it = l->names.find(fold_case(comp));
    if (it == l->names.end() || it->second.empty()) return false;
    const Entry* pick = &it->second.front();
    for (const Entry& e : it->second)
        if (e.name == comp) pick = &e;
    *found = pick->disk;
    return true;
}

std::vector<std::string> split_components(std::string_view p) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : p) {
        if (c == '\\' || c == '/') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

// The file system's path of a Windows path; `*found` tells whether it names
// an existing entry.
std::string resolve(const char* path, bool* found) {
    std::string_view p(path);
    std::string cur;
    size_t floor = 0; // ".." never climbs above this length
    if (p.size() >= 2 && p[1] == ':' &&
        ((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z'))) {
        cur = prefix_dir() + "/dosdevices/" + lower(p[0]) + ":";
        floor = cur.size();
        p.remove_prefix(2);
    } else if (!p.empty() && (p[0] == '\\' || p[0] == '/')) {
        // The root of the current drive; the jobs only ever name drive c: so.
        cur = prefix_dir() + "/dosdevices/c:";
        floor = cur.size();
    } else {
        cur = current_folder();
        floor = 1;
    }
    std::vector<std::string> comps = split_components(p);
    // Whether `cur` exists, as far as known: the first look into the start
    // folder tells whether it is there.
    bool present = true, looked = false;
    auto walk = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const std::string& comp = comps[i];
            if (comp.empty() || comp == ".") continue;
            looked = true;
            if (comp == "..") {
                size_t slash = cur.rfind('/');
                if (slash != std::string::npos && slash >= floor) cur.resize(slash);
                else if (slash == 0 && floor <= 1) cur = "/";
                present = exists(cur);
                continue;
            }
            std::string found;
            if (present && find_entry(cur, comp, &found)) {
                cur += (cur == "/" ? "" : "/") + found;
            } else {
                cur += (cur == "/" ? "" : "/") + disk_name(comp);
                present = false;
            }
        }
    };
    // The folder part of a path is resolved once and kept: jobs open
    // thousands of files in the same few folders.
    const std::string& last = comps.back();
    if (comps.size() < 2 || last.empty() || last == "." || last == "..") {
        walk(0, comps.size());
        *found = looked ? present : is_dir(cur);
        return cur;
    }
    std::string key = cur;
    for (size_t i = 0; i + 1 < comps.size(); ++i) key += '\\' + comps[i];
    auto kept = g_folders.find(key);
    if (kept != g_folders.end()) {
        cur = kept->second;
        present = true;
    } else {
        walk(0, comps.size() - 1);
        present = looked ? present && is_dir(cur) : is_dir(cur);
        if (present) g_folders.emplace(key, cur);
    }
    walk(comps.size() - 1, comps.size());
    *found = present;
    return cur;
}

} // namespace

std::string native_path(const char* path) {
    bool found = false;
    return resolve(path, &found);
}

// ---------------------------------------------------------------------------
// Text-mode streams: a FILE* whose hooks turn "\n" into CR LF on the way out
// and CR LF into "\n" on the way in, so that fgets, fscanf and fprintf work
// unchanged on them.

namespace {

struct TextFile {
    int fd = -1;
    unsigned char raw[65536];
    size_t pos = 0, len = 0; // unread raw bytes are raw[pos..len)
    bool pending_cr = false;  // a CR was read as the last byte of a chunk
    TextFile *prev = nullptr, *next = nullptr;
};

// The text files still open. exit() flushes every stream but closes none, so
// a job that stops on a failure leaves its text files open; they stay
// reachable from here rather than counting as leaked memory.
TextFile* g_open_text = nullptr;

void link_text(TextFile* t) {
    t->next = g_open_text;
    if (g_open_text) g_open_text->prev = t;
    g_open_text = t;
}

void unlink_text(TextFile* t) {
    if (t->prev) t->prev->next = t->next;
    else g_open_text = t->next;
    if (t->next) t->next->prev = t->prev;
}

ssize_t text_read(void* cookie, char* buf, size_t size) {
    auto* t = static_cast<TextFile*>(cookie);
    size_t out = 0;
    while (out < size) {
        if (t->pos == t->len) {
            if (out > 0 && !t->pending_cr) break;
            ssize_t n = ::read(t->fd, t->raw, sizeof t->raw);
            if (n < 0) {
                if (errno == EINTR) continue;
                fail_with(errno);
                return out > 0 ? ssize_t(out) : -1;
            }
            if (n == 0) { // end of file: a CR at the very end stays a CR
                if (t->pending_cr) {
                    t->pending_cr = false;
                    buf[out++] = '\r';
                }
                break;
            }
            t->pos = 0;
            t->len = size_t(n);
        }
        unsigned char c = t->raw[t->pos];
        if (t->pending_cr) {
            t->pending_cr = false;
            if (c == '\n') {
                ++t->pos;
                buf[out++] = '\n';
            } else {
                buf[out++] = '\r';
            }
            continue;
        }
        ++t->pos;
        if (c == '\r') t->pending_cr = true;
        else buf[out++] = char(c);
    }
    return ssize_t(out);
}

bool write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            fail_with(errno);
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

ssize_t text_write(void* cookie, const char* buf, size_t size) {
    auto* t = static_cast<TextFile*>(cookie);
    std::string out;
    out.reserve(size + size / 8 + 2);
    for (size_t i = 0; i < size; ++i) {
        if (buf[i] == '\n') out += '\r';
        out += buf[i];
    }
    if (!write_all(t->fd, out.data(), out.size())) return -1;
    return ssize_t(size);
}

int text_seek(void* cookie, off64_t* offset, int whence) {
    auto* t = static_cast<TextFile*>(cookie);
    if (whence == SEEK_CUR && *offset == 0) { // a position query (ftell)
        off64_t at = ::lseek(t->fd, 0, SEEK_CUR);
        if (at < 0) {
            fail_with(errno);
            return -1;
        }
        *offset = at - off64_t(t->len - t->pos) - (t->pending_cr ? 1 : 0);
        return 0;
    }
    if (whence == SEEK_CUR) *offset -= off64_t(t->len - t->pos) + (t->pending_cr ? 1 : 0);
    off64_t at = ::lseek(t->fd, *offset, whence);
    if (at < 0) {
        fail_with(errno);
        return -1;
    }
    t->pos = t->len = 0;
    t->pending_cr = false;
    *offset = at;
    return 0;
}

int text_close(void* cookie) {
    auto* t = static_cast<TextFile*>(cookie);
    int r = ::close(t->fd);
    if (r != 0) fail_with(errno);
    unlink_text(t);
    delete t;
    return r == 0 ? 0 : -1;
}

FILE* open_text(const std::string& p, char kind) {
    int flags = kind == 'r' ? O_RDONLY : kind == 'w' ? (O_WRONLY | O_CREAT | O_TRUNC)
                                                     : (O_WRONLY | O_CREAT | O_APPEND);
    int fd = ::open(p.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail_with(errno);
        return nullptr;
    }
    if (kind == 'r' && is_folder(fd)) {
        ::close(fd);
        fail_with(EACCES); // as Windows answers for a folder opened as a file
        return nullptr;
    }
    auto* t = new TextFile;
    t->fd = fd;
    cookie_io_functions_t io{text_read, text_write, text_seek, text_close};
    const char* m = kind == 'r' ? "r" : kind == 'w' ? "w" : "a";
    FILE* f = ::fopencookie(t, m, io);
    if (!f) {
        fail_with(errno);
        ::close(fd);
        delete t;
        return nullptr;
    }
    link_text(t);
    return f;
}

} // namespace

FILE* fopen(const char* path, const char* mode) {
    bool found = false;
    std::string p = resolve(path, &found);
    if (mode[0] == 'r' && !found) { // known absent: no need to ask the file system again
        fail_with(ENOENT);
        return nullptr;
    }
    return fopen_native(p, mode);
}

// Windows opens neither a folder nor a read-only file for writing (the
// write-permission bits tell it even where root may write).
bool refuses_writing(const struct stat& st) { return S_ISDIR(st.st_mode) || (st.st_mode & 0222) == 0; }

FILE* fopen_native(const std::string& p, const char* mode) {
    char kind = mode[0];
    if (kind != 'r' && kind != 'w' && kind != 'a') {
        fail_with(EINVAL);
        return nullptr;
    }
    bool binary = std::strchr(mode, 'b') != nullptr;
    bool update = std::strchr(mode, '+') != nullptr;
    bool writes = kind != 'r' || update;
    bool was_there = false;
    if (writes) {
        struct stat st;
        was_there = ::stat(p.c_str(), &st) == 0;
        if (was_there && refuses_writing(st)) {
            fail_with(EACCES);
            return nullptr;
        }
    }
    FILE* f;
    if (binary || update) {
        char m[4] = {kind, update ? '+' : '\0', '\0', '\0'};
        f = ::fopen(p.c_str(), m);
        if (!f) fail_with(errno);
        else if (!writes && is_folder(fileno(f))) {
            std::fclose(f);
            fail_with(EACCES); // as Windows answers for a folder opened as a file
            return nullptr;
        }
    } else {
        f = open_text(p, kind);
    }
    if (f && writes && !was_there) note_added(p);
    return f;
}

// A terminal outlives the programs run in it.
void keep_own_window_open() {}

int chdir(const char* path) {
    std::string p = native_path(path);
    if (::chdir(p.c_str()) != 0) {
        fail_with(errno);
        return -1;
    }
    g_cwd.clear();
    return 0;
}

int mkdir(const char* path) {
    std::string p = native_path(path);
    if (::mkdir(p.c_str(), 0777) != 0) {
        fail_with(errno);
        return -1;
    }
    g_folders.clear();
    note_added(p);
    return 0;
}

int remove(const char* path) {
    std::string p = native_path(path);
    if (is_dir(p)) {
        fail_with(EACCES);
        return -1;
    }
    if (::unlink(p.c_str()) != 0) {
        fail_with(errno);
        return -1;
    }
    note_removed(p);
    return 0;
}

int replace_native(const std::string& from, const std::string& to) {
    // rename() puts the new file in the old one's place in one step; never a
    // folder's (EISDIR), as Windows refuses.
    if (::rename(from.c_str(), to.c_str()) != 0) {
        fail_with(errno == EISDIR ? EACCES : errno);
        return -1;
    }
    // Both names are as a rule in one folder: its time stamps are taken once.
    note_change(from, false, false);
    note_change(to, true);
    return 0;
}

int replace(const char* from, const char* to) {
    bool found = false;
    std::string a = resolve(from, &found);
    if (!found) {
        fail_with(ENOENT);
        return -1;
    }
    return replace_native(a, native_path(to));
}

bool can_take_file_native(const std::string& p) {
    struct stat st;
    if (::stat(p.c_str(), &st) == 0 && refuses_writing(st)) {
        fail_with(EACCES);
        return false;
    }
    return true;
}

bool can_take_file(const char* path) { return can_take_file_native(native_path(path)); }

int remove_native(const std::string& p) {
    if (::unlink(p.c_str()) != 0) {
        fail_with(errno);
        return -1;
    }
    note_removed(p);
    return 0;
}

int rename(const char* from, const char* to) {
    std::string a = native_path(from);
    std::string b = native_path(to);
    if (!exists(a)) {
        fail_with(ENOENT);
        return -1;
    }
    if (exists(b)) { // also when `to` differs from an existing name only in case
        fail_with(EEXIST);
        return -1;
    }
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            fail_with(errno);
            return -1;
        }
        // The file system cannot rename without replacing; the test above
        // already made sure that nothing is in the way.
        if (::rename(a.c_str(), b.c_str()) != 0) {
            fail_with(errno);
            return -1;
        }
    }
    g_folders.clear();
    note_removed(a);
    note_added(b);
    return 0;
}

// Copies between two plain files without a trip through a buffer of this
// process. Where both positions lie at the same place within a memory page,
// the kernel copies page by page, from the next page boundary on, where a
// file system that can share data (XFS, Btrfs) shares it instead. Where they
// do not (every member after a replacement whose length is no multiple of the
// page size), the kernel's copy would write each page into two pages of the
// new file: the source is mapped a window of 1 MiB at a time, its pages taken
// in at once, and written from. Larger windows took twice as long now and
// then; a buffer read and written copies every byte once more, which shows
// on the clock when many files are copied. Stops at the end of `in` or at
// anything the system cannot do.
uint64_t copy_fast(FILE* in, FILE* out, uint64_t n) {
    int fi = fileno(in), fo = fileno(out);
    if (fi < 0 || fo < 0 || std::fflush(out) != 0) return 0;
    off64_t ip = ftello(in), op = ftello(out);
    struct stat st;
    const off64_t page = ::sysconf(_SC_PAGESIZE);
    if (ip < 0 || op < 0 || page <= 0 || ::fstat(fi, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    uint64_t done = 0;
    if ((ip - op) % page != 0 && !(::fcntl(fo, F_GETFL) & O_APPEND)) {
        // Never past the end of the file: a mapping has nothing there.
        n = std::min<uint64_t>(n, st.st_size > ip ? uint64_t(st.st_size - ip) : 0);
        const uint64_t kWindow = 1u << 20;
        while (done < n) {
            off64_t from = ip + off64_t(done), base = from - from % page;
            size_t want = size_t(std::min<uint64_t>(n - done, kWindow)), len = size_t(from - base) + want;
            void* m = ::mmap(nullptr, len, PROT_READ, MAP_SHARED | MAP_POPULATE, fi, base);
            if (m == MAP_FAILED) break;
            const char* p = static_cast<const char*>(m) + (from - base);
            size_t put = 0;
            while (put < want) {
                ssize_t w = ::pwrite(fo, p + put, want - put, op + off64_t(done + put));
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) break;
                put += size_t(w);
            }
            ::munmap(m, len);
            done += put;
            if (put < want) break;
        }
    } else {
        off64_t a = ip, b = op;
        // The bytes up to the next page boundary first: from there on both
        // positions lie on block boundaries, where data can be shared.
        uint64_t head = uint64_t((page - ip % page) % page);
        while (done < n) {
            uint64_t want = std::min<uint64_t>(n - done, done < head ? head - done : 1u << 30);
            ssize_t got = copy_file_range(fi, &a, fo, &b, size_t(want), 0);
            if (got <= 0) break;
            done += uint64_t(got);
        }
    }
    fseeko(in, ip + off64_t(done), SEEK_SET);
    fseeko(out, op + off64_t(done), SEEK_SET);
    return done;
}

// ---------------------------------------------------------------------------
// Directory search


intptr_t findfirst(const char* pattern, FindData* fd) {
    std::string_view pat(pattern);
    size_t cut = pat.find_last_of("\\/");
    std::string dir;
    std::string_view name_pat;
    if (cut == std::string_view::npos) {
        if (pat.size() >= 2 && pat[1] == ':') { // "x:*.txt": the drive's root
            dir = std::string(pat.substr(0, 2)) + "\\";
            name_pat = pat.substr(2);
        } else {
            dir = ".";
            name_pat = pat;
        }
    } else {
        dir = std::string(pat.substr(0, cut + 1));
        name_pat = pat.substr(cut + 1);
    }
    std::string native_dir = native_path(dir.c_str());
    std::vector<FindData> matches;
    auto add = [&](const Entry& e) {
        NativeEntry n = look_native(native_dir + "/" + e.disk);
        matches.push_back({e.name, uint32_t(n.size), n.folder, n.modified}); // the search reports 32-bit sizes
    };
    if (const Listing* l = listing_of(native_dir)) {
        if (name_pat.find_first_of("*?") == std::string_view::npos) {
            // An exact name, the usual test whether a file exists: no need
            // to look at the other names of the folder.
            auto it = l->names.find(fold_case(name_pat));
            if (it != l->names.end())
                for (const Entry& e : it->second) add(e);
        } else {
            for (const auto& [key, entries] : l->names)
                for (const Entry& e : entries)
                    if (wildcard_match(name_pat, e.name)) add(e);
        }
    }
    return detail::start_search(std::move(matches), fd);
}

NativeEntry look_native(const std::string& native) {
    NativeEntry e;
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return e;
    e.there = true;
    e.folder = S_ISDIR(st.st_mode);
    e.size = e.folder ? 0 : uint64_t(st.st_size);
    e.modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return e;
}

std::string absolute_native(const std::string& native) {
    if (!native.empty() && native[0] == '/') return native;
    return current_folder() + (native.empty() ? "" : "/" + native);
}

bool same_file(const char* a, const char* b) {
    struct stat x, y;
    return ::stat(native_path(a).c_str(), &x) == 0 && ::stat(native_path(b).c_str(), &y) == 0 &&
           x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool terminal(FILE* f) { return ::isatty(fileno(f)) == 1; }

int seek(FILE* f, uint64_t offset) {
    if (offset > uint64_t(INT64_MAX)) return -1;
    return fseeko(f, off_t(offset), SEEK_SET);
}

int64_t file_size(FILE* f) {
    if (fseeko(f, 0, SEEK_END) != 0) return -1;
    off_t end = ftello(f);
    if (fseeko(f, 0, SEEK_SET) != 0) return -1;
    return int64_t(end);
}

std::string program_beside(const std::string& name) {
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    std::string dir(self, size_t(n));
    dir.erase(dir.rfind('/'));
    for (const std::string& at : {dir + "/" + name, dir + "/../lib/locbench/bin/" + name}) {
        if (::access(at.c_str(), X_OK) == 0) return at;
    }
    return dir + "/" + name;
}

int run_program(const std::string& exe, const std::string& cwd, const std::function<void(const char*, size_t)>& out) {
    const std::string folder = native_path(cwd.c_str());
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return -1;
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        return -1;
    }
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::dup2(pipe_fds[1], 1);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
        ::execv(exe.c_str(), argv);
        ::_exit(127);
    }
    ::close(pipe_fds[1]);
    char buf[4096];
    for (;;) {
        ssize_t got = ::read(pipe_fds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        out(buf, size_t(got));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace win
