// The host file system on Windows: paths are UTF-8 here and UTF-16 for the
// system, long ones in their "\\?\" form.
#include "platform/host.hpp"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cwchar>

namespace host {
namespace {

std::wstring wide(const std::string& s) {
    if (s.empty()) return L"";
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

std::string utf8(const wchar_t* w, size_t len) {
    if (len == 0) return "";
    int n = WideCharToMultiByte(CP_UTF8, 0, w, int(len), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, int(len), s.data(), n, nullptr, nullptr);
    return s;
}
std::string utf8(const std::wstring& w) { return utf8(w.data(), w.size()); }

bool separator(char c) { return c == '\\' || c == '/'; }

// The path as the system's wide functions take it: absolute, and in the
// "\\?\" form when it is too long for the plain one.
std::wstring system_path(const std::string& path) {
    std::wstring full = wide(absolute(path));
    if (full.size() < 248) return full;
    if (full.rfind(L"\\\\?\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

Entry entry_of(const std::string& name, DWORD attributes, uint64_t size) {
    Entry e;
    e.name = name;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) e.kind = Kind::Link; // a link or a junction
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY) e.kind = Kind::Folder;
    else {
        e.kind = Kind::File;
        e.size = size;
    }
    return e;
}

} // namespace

std::vector<std::string> arguments(int, char**) {
    // The UTF-16 command line split as the C runtime splits it (so that the
    // program needs no DLL beyond the runtime's): the program's name up to
    // its closing quote or the first blank; then 2n backslashes before a
    // quote are n and the quote opens or closes, 2n+1 are n and a quote, and
    // other backslashes are themselves.
    const wchar_t* p = GetCommandLineW();
    std::vector<std::string> args;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {}
        if (*p) ++p;
    } else {
        for (; *p && *p != L' ' && *p != L'\t'; ++p) {}
    }
    while (true) {
        while (*p == L' ' || *p == L'\t') ++p;
        if (!*p) break;
        std::wstring arg;
        bool quoted = false;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            size_t slashes = 0;
            while (*p == L'\\') {
                ++slashes;
                ++p;
            }
            if (*p == L'"') {
                arg.append(slashes / 2, L'\\');
                if (slashes % 2) {
                    arg += L'"';
                } else if (quoted && p[1] == L'"') {
                    arg += L'"'; // "" inside quotes: a quote
                    ++p;
                } else {
                    quoted = !quoted;
                }
                ++p;
            } else {
                arg.append(slashes, L'\\');
                if (*p && (quoted || (*p != L' ' && *p != L'\t'))) arg += *p++;
            }
        }
        args.push_back(utf8(arg));
    }
    return args;
}

std::string program_folder() {
    std::wstring buf(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
    return parent(utf8(buf.data(), n));
}

std::string join(const std::string& folder, const std::string& relative) {
    std::string rel = relative;
    for (char& c : rel)
        if (c == '/') c = '\\';
    if (folder.empty()) return rel;
    if (separator(folder.back())) return folder + rel;
    return folder + "\\" + rel;
}

std::string parent(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return "";
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

std::string absolute(const std::string& path) {
    std::wstring w = wide(path);
    DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    full.resize(n);
    return utf8(full);
}

Entry look(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    Entry e;
    size_t slash = path.find_last_of("\\/");
    e.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!GetFileAttributesExW(system_path(path).c_str(), GetFileExInfoStandard, &d)) return e;
    return entry_of(e.name, d.dwFileAttributes, (uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow);
}

bool list(const std::string& folder, std::vector<Entry>* out) {
    out->clear();
    WIN32_FIND_DATAW fd;
    std::wstring pattern = system_path(folder);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        out->push_back(entry_of(utf8(name), fd.dwFileAttributes,
                                (uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow));
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return true;
}

FILE* open(const std::string& path, const char* mode) {
    return _wfopen(system_path(path).c_str(), wide(mode).c_str());
}

bool seek(FILE* f, uint64_t at) { return _fseeki64(f, int64_t(at), SEEK_SET) == 0; }
bool seek_end(FILE* f) { return _fseeki64(f, 0, SEEK_END) == 0; }

bool sync(FILE* f) {
    if (std::fflush(f) != 0) return false;
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

bool make_folder(const std::string& path) {
    std::wstring p = system_path(path);
    if (CreateDirectoryW(p.c_str(), nullptr)) return true;
    DWORD a = GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool remove_file(const std::string& path) { return DeleteFileW(system_path(path).c_str()) != 0; }
bool remove_folder(const std::string& path) { return RemoveDirectoryW(system_path(path).c_str()) != 0; }

bool replace(const std::string& from, const std::string& to) {
    return MoveFileExW(system_path(from).c_str(), system_path(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

uint64_t free_space(const std::string& path) {
    ULARGE_INTEGER free_to_user;
    if (!GetDiskFreeSpaceExW(system_path(path).c_str(), &free_to_user, nullptr, nullptr)) return UINT64_MAX;
    return free_to_user.QuadPart;
}

std::string last_error() {
    DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s = text ? utf8(text, std::wcslen(text)) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s;
}

void print(FILE* out, const std::string& text) {
    // On a console the characters go through the console's own wide output,
    // whatever its code page; piped, the bytes of the name.
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    DWORD mode;
    if (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
        std::fflush(out);
        std::wstring w = wide(text);
        DWORD written;
        WriteConsoleW(h, w.data(), DWORD(w.size()), &written, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), out);
}

} // namespace host
