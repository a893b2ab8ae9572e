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
//    read-only file for writing: the attribute is checked first;
//  - a path longer than MAX_PATH (260 characters) fails in the system's
//    functions unless it has the "\\?\" form, and the system's current folder
//    can be no longer than MAX_PATH - 2 characters: the layer keeps the
//    current folder itself, makes every path absolute from it and hands a
//    long one to the system in its "\\?\" form (see "Paths" below).
//
// And a program started in a console window of its own (a double-click in
// Explorer) waits for Enter before that window closes with it (see the end).
#include "platform/win_detail.hpp"

#include <windows.h>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
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

// ---------------------------------------------------------------------------
// Paths
//
// The system's functions refuse a path longer than MAX_PATH (260 characters)
// unless it has the "\\?\" form, which they take up to 32767 characters long
// but only absolute, with "." and ".." already resolved. And the system's own
// current folder can be no longer than MAX_PATH - 2 characters (a longer one
// SetCurrentDirectory refuses unless the long-path setting of Windows is on,
// and a program is never started in one). So the layer keeps the current
// folder itself: every path is made absolute from it, as the system would
// make it, and one too long for the plain form goes in the "\\?\" form.

bool separator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t drive_letter(wchar_t c) { return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c; }

// The folder relative paths start at: the system's current folder when the
// program starts, then each folder that chdir enters.
std::wstring& current_folder() {
    static std::wstring cwd = [] {
        std::wstring s(GetCurrentDirectoryW(0, nullptr), L'\0');
        s.resize(s.empty() ? 0 : GetCurrentDirectoryW(DWORD(s.size()), s.data()));
        return s;
    }();
    return cwd;
}

std::wstring joined(const std::wstring& folder, const std::wstring& rest) {
    return folder.empty() || separator(folder.back()) ? folder + rest : folder + L"\\" + rest;
}

// The root of a full path: "X:", or "\\server\share".
std::wstring root_of(const std::wstring& full) {
    if (full.size() >= 2 && full[1] == L':') return full.substr(0, 2);
    size_t server_end = full.find_first_of(L"\\/", 2);
    if (server_end == std::wstring::npos) return full;
    return full.substr(0, full.find_first_of(L"\\/", server_end + 1));
}

// The full path of a path as the jobs name it: absolute, from the current
// folder kept here, "." and ".." resolved and separators made backslashes by
// the system's own rules.
std::wstring full_path(std::string_view path) {
    std::wstring w = wide(path);
    if (w.empty()) return w;
    const std::wstring& cwd = current_folder();
    std::wstring whole;
    bool drive = w.size() >= 2 && w[1] == L':';
    if (drive && w.size() >= 3 && separator(w[2])) {
        whole = w; // "x:\rest"
    } else if (drive) { // "x:rest": from the current folder of that drive
        bool current = cwd.size() >= 2 && cwd[1] == L':' && drive_letter(cwd[0]) == drive_letter(w[0]);
        whole = current ? joined(cwd, w.substr(2)) : w; // another drive's is the system's
    } else if (w.size() >= 2 && separator(w[0]) && separator(w[1])) {
        whole = w; // "\\server\share\rest", "\\?\x:\rest"
    } else if (separator(w[0])) {
        whole = root_of(cwd) + w; // "\rest": on the current drive
    } else {
        whole = joined(cwd, w);
    }
    std::wstring full(GetFullPathNameW(whole.c_str(), 0, nullptr, nullptr), L'\0');
    DWORD n = full.empty() ? 0 : GetFullPathNameW(whole.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return whole;
    full.resize(n);
    return full;
}

// A full path as the system's functions take it: in the "\\?\" form once it
// is longer than the shortest of their limits (CreateDirectory's, MAX_PATH -
// 12 characters); a shorter one as it is.
std::wstring long_form(const std::wstring& full) {
    if (full.size() < MAX_PATH - 12 || full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// What the system's functions get for a path as the jobs name it.
std::wstring system_path(std::string_view path) { return long_form(full_path(path)); }

DWORD attributes(const std::string& p) { return GetFileAttributesW(system_path(p).c_str()); }

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
bool holds_ctrl_z(const std::wstring& p) {
    FILE* f = ::_wfopen(p.c_str(), L"rb");
    if (!f) return false;
    std::vector<char> buf(1 << 16);
    bool found = false;
    for (size_t got; !found && (got = std::fread(buf.data(), 1, buf.size(), f)) > 0;)
        found = std::memchr(buf.data(), 0x1A, got) != nullptr;
    std::fclose(f);
    return found;
}

FILE* open_text_for_reading(const std::wstring& p) {
    FILE* in = ::_wfopen(p.c_str(), L"rb");
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
    const std::wstring sp = system_path(p);
    DWORD a = GetFileAttributesW(sp.c_str());
    DWORD refused = FILE_ATTRIBUTE_DIRECTORY | (kind != 'r' || update ? FILE_ATTRIBUTE_READONLY : 0);
    if (a != INVALID_FILE_ATTRIBUTES && (a & refused)) {
        fail_with(EACCES);
        return nullptr;
    }
    if (kind == 'r' && !binary && !update && holds_ctrl_z(sp)) return open_text_for_reading(sp);
    wchar_t m[4] = {wchar_t(kind), update ? L'+' : (binary ? L'b' : L't'), update ? (binary ? L'b' : L't') : L'\0',
                    L'\0'};
    FILE* f = ::_wfopen(sp.c_str(), m);
    if (!f) fail_with(errno);
    return f;
}

int chdir(const char* path) {
    std::wstring full = full_path(path);
    DWORD a = full.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(long_form(full).c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
        fail_with(full.empty() || a != INVALID_FILE_ATTRIBUTES ? ENOENT : errno_of(GetLastError()));
        return -1;
    }
    current_folder() = full;
    // The system's own follows where it can (up to MAX_PATH - 2 characters),
    // for whatever else may read it; the paths here start at the one kept.
    SetCurrentDirectoryW(full.c_str());
    return 0;
}

int mkdir(const char* path) {
    if (::_wmkdir(system_path(path).c_str()) != 0) {
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
    if (!DeleteFileW(system_path(p).c_str())) {
        fail_with_last_error();
        return -1;
    }
    return 0;
}

int rename(const char* from, const char* to) {
    if (!MoveFileW(system_path(from).c_str(), system_path(to).c_str())) { // never replaces an existing file
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
    if (!MoveFileExW(system_path(from).c_str(), system_path(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
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
    std::string p;
    if (!narrow(full_path(path).c_str(), &p) || p.empty()) return path;
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
            HANDLE h = FindFirstFileW(system_path(out + comp).c_str(), &w);
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
    if (!GetFileAttributesExW(system_path(p).c_str(), GetFileExInfoStandard, &d)) return e;
    e.there = true;
    e.folder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.size = e.folder ? 0 : (uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    e.modified = unix_ns(d.ftLastWriteTime);
    return e;
}

std::string absolute_native(const std::string& p) {
    std::string out;
    if (!narrow(full_path(p).c_str(), &out) || out.empty()) return p;
    return out;
}

bool same_file(const char* a, const char* b) {
    auto identity = [](const char* p, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE h = CreateFileW(system_path(p).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
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
    HANDLE h = FindFirstFileW(system_path(dir + (exact ? name_pat : "*")).c_str(), &w);
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

// ---------------------------------------------------------------------------
// A console window of its own

namespace {

bool is_console(DWORD which) {
    HANDLE h = GetStdHandle(which);
    DWORD mode;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

// Wine started from a Unix terminal gives the program a console of its own
// that has a window never shown: the terminal is what shows it, and stays.
// (user32 is loaded only here, so that no .exe needs it at its start.)
bool wine_terminal() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return false;
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    FARPROC p = user32 ? GetProcAddress(user32, "IsWindowVisible") : nullptr;
    auto visible = reinterpret_cast<BOOL(WINAPI*)(HWND)>(reinterpret_cast<void (*)()>(p));
    return visible && !visible(GetConsoleWindow());
}

void wait_for_enter() {
    std::printf("Press Enter to close this window.\n");
    std::fflush(stdout);
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(in); // keys pressed while the job ran do not count
    wchar_t buf[64];
    DWORD got = 0;
    while (ReadConsoleW(in, buf, 64, &got, nullptr) && got > 0)
        if (std::wmemchr(buf, L'\r', got) || std::wmemchr(buf, L'\n', got)) break;
}

} // namespace

void keep_own_window_open() {
    ConsoleFacts f;
    DWORD ids[2];
    f.processes = unsigned(GetConsoleProcessList(ids, 2)); // all of them, however few fit
    f.input_is_console = is_console(STD_INPUT_HANDLE);
    f.output_is_console = is_console(STD_OUTPUT_HANDLE);
    if (!waits_for_enter(f)) return;
    f.host_terminal = wine_terminal();
    // At exit: after the job's own handlers (registered later, run earlier),
    // before the streams are closed; exit keeps its code.
    if (waits_for_enter(f)) std::atexit(wait_for_enter);
}

int seek(FILE* f, uint64_t offset) {
    if (offset > uint64_t(INT64_MAX)) return -1;
    return _fseeki64(f, int64_t(offset), SEEK_SET);
}

int64_t file_size(FILE* f) {
    if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
    int64_t end = _ftelli64(f);
    if (_fseeki64(f, 0, SEEK_SET) != 0) return -1;
    return end;
}

std::string program_beside(const std::string& name) {
    std::wstring self(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, self.data(), DWORD(self.size()));
    if (n == 0 || n >= self.size()) return "";
    self.resize(n);
    std::wstring at = self.substr(0, self.find_last_of(L"\\/") + 1) + wide(name) + L".exe";
    // Wine names a program outside every drive "unix\PATH": the system's
    // own functions take it in its "\\?\" form.
    if (at.compare(0, 5, L"unix\\") == 0) at = L"\\\\?\\" + at;
    std::string out;
    return narrow(at.c_str(), &out) ? out : "";
}

int run_program(const std::string& exe, const std::string& cwd, const std::function<void(const char*, size_t)>& out) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return -1;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                              nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = null;
    si.hStdOutput = write_end;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::wstring program = wide(exe);
    std::wstring line = L"\"" + program + L"\"";
    std::wstring folder = full_path(cwd);
    std::fflush(stdout);
    std::fflush(stderr);
    BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                  &si, &pi);
    CloseHandle(write_end);
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    if (!started) {
        CloseHandle(read_end);
        return -1;
    }
    CloseHandle(pi.hThread);
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(read_end, buf, sizeof buf, &got, nullptr) && got > 0) out(buf, size_t(got));
    CloseHandle(read_end);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return int(code);
}

} // namespace win
