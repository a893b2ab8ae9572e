// The Windows file system as the jobs see it, on Windows itself.
//
// Paths are Windows-1251 bytes for the jobs, whatever code page the system
// runs with: they go to the runtime's and the system's wide-character
// functions converted from Windows-1251, and names read back are converted to
// it (a name that Windows-1251 cannot spell is seen by no search). The system
// already matches names without regard to case, refuses to open folders as
// files and never lets a rename replace a file. What it does differently from
// what the jobs are promised is made good here:
//  - a search returns matches in whatever order the file system keeps (none
//    on FAT or exFAT) and matches wildcards against short 8.3 names too
//    ("*.txt" finds "a.txtx"): a folder's names are collected, filtered with
//    the same matcher as on every system, and sorted with name_less;
//  - a text-mode read stops at the first Ctrl-Z: a text file that holds one
//    is decoded here instead, so that Ctrl-Z is a byte like any other, as on
//    every system (a table or translation cut short at a stray Ctrl-Z would
//    lose the rest of its texts without a word);
//  - Windows run as an administrator (and Wine run as root) may open a
//    read-only file for writing: the attribute is checked first.
#include "platform/win_detail.hpp"

#include <windows.h>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

namespace win {
namespace {

using detail::fail_with;

// The runtime error number that stands for a system error code.
int errno_of(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EACCES;
    }
}

void fail_with_last_error() { fail_with(errno_of(GetLastError())); }

// Windows-1251 to UTF-16 and back.
std::wstring wide(std::string_view s) {
    std::wstring w;
    w.reserve(s.size());
    for (char c : s) w += wchar_t(cp1251_char(static_cast<unsigned char>(c)));
    return w;
}

// False when the name holds a character that Windows-1251 cannot hold.
bool narrow(const wchar_t* w, std::string* out) {
    out->clear();
    for (; *w; ++w) {
        int b = cp1251_byte(char32_t(*w)); // a surrogate has no byte either
        if (b <= 0) return false;
        *out += char(b);
    }
    return true;
}

DWORD attributes(const std::string& p) { return GetFileAttributesW(wide(p).c_str()); }

bool is_dir(const std::string& p) {
    DWORD a = attributes(p);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A file time (100-nanosecond steps since 1601) in nanoseconds since 1970.
int64_t unix_ns(const FILETIME& t) {
    int64_t steps = int64_t((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    return (steps - 116444736000000000LL) * 100;
}


// A text file opened for reading. The runtime's text mode turns CR LF into
// "\n" and keeps every other byte, as promised, up to the first Ctrl-Z, where
// it ends the file. A file that holds a Ctrl-Z is therefore decoded here into
// a temporary file (gone when the stream is closed) that is read instead.
bool holds_ctrl_z(const std::string& p) {
    FILE* f = ::_wfopen(wide(p).c_str(), L"rb");
    if (!f) return false;
    std::vector<char> buf(1 << 16);
    bool found = false;
    for (size_t got; !found && (got = std::fread(buf.data(), 1, buf.size(), f)) > 0;)
        found = std::memchr(buf.data(), 0x1A, got) != nullptr;
    std::fclose(f);
    return found;
}

FILE* open_text_for_reading(const std::string& p) {
    FILE* in = ::_wfopen(wide(p).c_str(), L"rb");
    if (!in) {
        fail_with(errno);
        return nullptr;
    }
    wchar_t dir[MAX_PATH + 1], name[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, dir);
    if (n == 0 || n > MAX_PATH || GetTempFileNameW(dir, L"lbt", 0, name) == 0) {
        fail_with_last_error();
        std::fclose(in);
        return nullptr;
    }
    int fd = ::_wopen(name, _O_RDWR | _O_BINARY | _O_TRUNC | _O_TEMPORARY | _O_SHORT_LIVED, _S_IREAD | _S_IWRITE);
    FILE* out = fd < 0 ? nullptr : ::_fdopen(fd, "w+b");
    if (!out) {
        fail_with(errno);
        if (fd >= 0) ::_close(fd);
        DeleteFileW(name);
        std::fclose(in);
        return nullptr;
    }
    std::vector<char> raw(1 << 16), text;
    text.reserve(raw.size());
    bool pending_cr = false; // a CR was the last byte of the chunk before
    bool ok = true;
    size_t got;
    while (ok && (got = std::fread(raw.data(), 1, raw.size(), in)) > 0) {
        text.clear();
        for (size_t i = 0; i < got; ++i) {
            char c = raw[i];
            if (pending_cr) {
                pending_cr = false;
                if (c != '\n') text.push_back('\r');
            }
            if (c == '\r') pending_cr = true;
            else text.push_back(c);
        }
        ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    }
    if (pending_cr) ok = ok && std::fputc('\r', out) != EOF;
    ok = ok && !std::ferror(in) && std::fflush(out) == 0;
    std::fclose(in);
    if (!ok) {
        fail_with(errno ? errno : EIO);
        std::fclose(out);
        return nullptr;
    }
    std::rewind(out);
    return out;
}

} // namespace

bool can_take_file_native(const std::string& p) {
    DWORD a = attributes(p);
    if (a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        fail_with(EACCES);
        return false;
    }
    return true;
}

FILE* fopen(const char* path, const char* mode) { return fopen_native(path, mode); }

FILE* fopen_native(const std::string& p, const char* mode) {
    char kind = mode[0];
    if (kind != 'r' && kind != 'w' && kind != 'a') {
        fail_with(EINVAL);
        return nullptr;
    }
    bool binary = std::strchr(mode, 'b') != nullptr;
    bool update = std::strchr(mode, '+') != nullptr;
    // Never a folder; for writing, never a read-only file either: one look.
    DWORD a = attributes(p);
    DWORD refused = FILE_ATTRIBUTE_DIRECTORY | (kind != 'r' || update ? FILE_ATTRIBUTE_READONLY : 0);
    if (a != INVALID_FILE_ATTRIBUTES && (a & refused)) {
        fail_with(EACCES);
        return nullptr;
    }
    if (kind == 'r' && !binary && !update && holds_ctrl_z(p)) return open_text_for_reading(p);
    wchar_t m[4] = {wchar_t(kind), update ? L'+' : (binary ? L'b' : L't'), update ? (binary ? L'b' : L't') : L'\0',
                    L'\0'};
    FILE* f = ::_wfopen(wide(p).c_str(), m);
    if (!f) fail_with(errno);
    return f;
}

int chdir(const char* path) {
    if (::_wchdir(wide(path).c_str()) != 0) {
        fail_with(errno);
        return -1;
    }
    return 0;
}

int mkdir(const char* path) {
    if (::_wmkdir(wide(path).c_str()) != 0) {
        fail_with(errno);
        return -1;
    }
    return 0;
}

int remove(const char* path) { return remove_native(path); }

int remove_native(const std::string& p) {
    if (is_dir(p)) {
        fail_with(EACCES);
        return -1;
    }
    if (!DeleteFileW(wide(p).c_str())) {
        fail_with_last_error();
        return -1;
    }
    return 0;
}

int rename(const char* from, const char* to) {
    if (!MoveFileW(wide(from).c_str(), wide(to).c_str())) { // never replaces an existing file
        fail_with_last_error();
        return -1;
    }
    return 0;
}

int replace_native(const std::string& from, const std::string& to) {
    if (is_dir(to)) {
        fail_with(EACCES);
        return -1;
    }
    if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        fail_with_last_error();
        return -1;
    }
    return 0;
}

int replace(const char* from, const char* to) { return replace_native(from, to); }

bool can_take_file(const char* path) { return can_take_file_native(path); }

uint64_t copy_fast(FILE*, FILE*, uint64_t) { return 0; }

std::string native_path(const char* path) {
    // The full path, each component that exists spelled as it is on disk.
    wchar_t full[4 * MAX_PATH];
    DWORD n = GetFullPathNameW(wide(path).c_str(), 4 * MAX_PATH, full, nullptr);
    std::string p;
    if (n == 0 || n >= 4 * MAX_PATH || !narrow(full, &p)) return path;
    size_t at = p.size() >= 3 && p[1] == ':' && p[2] == '\\' ? 3 : 0; // past "x:\"
    if (at == 0) return p; // a network path: as given
    std::string out = p.substr(0, at);
    bool present = true;
    while (at < p.size()) {
        size_t end = p.find('\\', at);
        if (end == std::string::npos) end = p.size();
        std::string comp = p.substr(at, end - at);
        if (present && !comp.empty() && comp.find_first_of("*?") == std::string::npos) {
            WIN32_FIND_DATAW w;
            HANDLE h = FindFirstFileW(wide(out + comp).c_str(), &w);
            if (h != INVALID_HANDLE_VALUE) {
                FindClose(h);
                std::string found;
                if (narrow(w.cFileName, &found) && fold_case(found) == fold_case(comp)) comp = found;
            } else {
                present = false;
            }
        }
        out += comp;
        if (end < p.size()) out += '\\';
        at = end + 1;
    }
    return out;
}

NativeEntry look_native(const std::string& p) {
    NativeEntry e;
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(wide(p).c_str(), GetFileExInfoStandard, &d)) return e;
    e.there = true;
    e.folder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.size = e.folder ? 0 : (uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    e.modified = unix_ns(d.ftLastWriteTime);
    return e;
}

std::string absolute_native(const std::string& p) {
    wchar_t full[4 * MAX_PATH];
    DWORD n = GetFullPathNameW(wide(p).c_str(), 4 * MAX_PATH, full, nullptr);
    std::string out;
    if (n == 0 || n >= 4 * MAX_PATH || !narrow(full, &out)) return p;
    return out;
}

bool same_file(const char* a, const char* b) {
    auto identity = [](const char* p, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE h = CreateFileW(wide(p).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        bool ok = GetFileInformationByHandle(h, info) != 0;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION x, y;
    return identity(a, &x) && identity(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool terminal(FILE* f) { return ::_isatty(::_fileno(f)) != 0; }

// ---------------------------------------------------------------------------
// Directory search


intptr_t findfirst(const char* pattern, FindData* fd) {
    std::string pat(pattern);
    size_t cut = pat.find_last_of("\\/");
    std::string dir, name_pat;
    if (cut == std::string::npos) {
        if (pat.size() >= 2 && pat[1] == ':') { // "x:*.txt": the drive's current folder
            dir = pat.substr(0, 2);
            name_pat = pat.substr(2);
        } else {
            name_pat = pat;
        }
    } else {
        dir = pat.substr(0, cut + 1);
        name_pat = pat.substr(cut + 1);
    }
    // An exact name (the test whether a file exists) asks for that name
    // alone; a pattern lists the whole folder, so that short names never
    // match and every name the matcher takes is seen.
    bool exact = name_pat.find_first_of("*?") == std::string::npos;
    std::vector<FindData> matches;
    WIN32_FIND_DATAW w;
    HANDLE h = FindFirstFileW(wide(dir + (exact ? name_pat : "*")).c_str(), &w);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n;
            if (!narrow(w.cFileName, &n) || n == "." || n == "..") continue;
            if (exact ? fold_case(n) != fold_case(name_pat) : !wildcard_match(name_pat, n)) continue;
            bool folder = (w.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            matches.push_back({n, folder ? 0u : uint32_t(w.nFileSizeLow), folder, unix_ns(w.ftLastWriteTime)}); // 32-bit sizes
        } while (FindNextFileW(h, &w));
        FindClose(h);
    }
    return detail::start_search(std::move(matches), fd);
}

} // namespace win
