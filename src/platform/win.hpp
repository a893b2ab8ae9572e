// The Windows file system as the jobs see it.
//
// Jobs name their files with Windows paths ("c:\\games\\ZUND7\\data\\icons.lod",
// "..\\main", "pak0.pak") and rely on the Windows C runtime's behaviour: names
// matched without regard to letter case, text-mode streams with CR LF line
// ends, a rename that never replaces a file, and a wildcard directory search.
// The header is the same on every system; win_posix.cpp maps the behaviour
// onto a POSIX file system, win_win32.cpp is the Windows runtime itself with
// the few places where it differs from what the jobs are promised made good.
// On POSIX systems:
//
//  - "x:\\rest" lives in $WINEPREFIX/dosdevices/x:/rest (drive letter in lower
//    case; $HOME/.wine when WINEPREFIX is unset or empty), the layout that
//    Windows-compatibility prefixes already use;
//  - backslashes (and slashes) separate components; relative paths start at the
//    current directory;
//  - every component that names an existing entry is matched without regard to
//    letter case (fold_case; the exact spelling wins when several entries
//    differ only in case); a new file keeps the spelling the job gives;
//  - a name is Windows-1251 bytes for the jobs and UTF-8 on disk, as Wine
//    stores it; a name on disk that is not UTF-8, or holds a character that
//    Windows-1251 cannot hold, is seen by no search and no lookup.
//
// Jobs call these functions instead of the POSIX ones and use the ordinary
// stdio calls (fread, fwrite, fseek, ftell, fgets, fscanf, fprintf, fputs,
// clearerr, fclose) on the streams they get back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace win {

// Opens a file. Modes: "rb", "wb" (binary) and "rt", "wt" (text: "\n" is
// stored as CR LF and CR LF reads as "\n"; a lone CR is kept). A mode without
// 'b' or 't' is text, as in the Windows runtime. Opening a directory fails.
// Returns nullptr on failure.
FILE* fopen(const char* path, const char* mode);

int chdir(const char* path);                  // 0, or -1
int mkdir(const char* path);                  // 0, or -1 (also when it exists)
int remove(const char* path);                 // 0, or -1 (files only)
int rename(const char* from, const char* to); // never replaces an existing entry

// Replaces the file `to` with `from` in one step: at every instant `to` holds
// either its old content or the whole of `from`. Creates `to` when it does
// not exist. 0, or -1 (and `from` is left as it was).
int replace(const char* from, const char* to);

// Whether a file can be written under `path`: false (with the error number
// set) when a folder or a read-only file of that name is in the way.
bool can_take_file(const char* path);

// Wildcard directory search: the last component of the pattern may hold '*'
// (any run of characters) and '?' (one character), matched without regard to
// case. Files and directories both match, "." and ".." never; matches come in
// ascending order of their names (name_less). Each match gives its name as
// stored on disk, its size (0 for a directory), whether it is a directory and
// when it was last written.
struct FindData {
    std::string name;
    uint32_t size = 0;
    bool folder = false;
    int64_t modified = 0; // nanoseconds since 1970-01-01 00:00 UTC
};
intptr_t findfirst(const char* pattern, FindData* fd); // -1 when nothing matches
int findnext(intptr_t handle, FindData* fd);           // 0, or -1 at the end
int findclose(intptr_t handle);

// The runtime error number: set by the failing calls above (and by failing
// reads, writes and seeks of text-mode streams), never reset by them.
int error_number();

// The Linux path a Windows path stands for, with existing components matched
// without regard to case. Used by the calls above; exposed for tests and for
// messages that must name the real file.
std::string native_path(const char* path);

// What a path of the file system's own names (links followed): nothing, a
// folder, or a file and its size. For telling what is there (--check).
struct NativeEntry {
    bool there = false;
    bool folder = false;
    uint64_t size = 0;    // 0 for a folder
    int64_t modified = 0; // last written, nanoseconds since 1970-01-01 00:00 UTC
};
NativeEntry look_native(const std::string& native);
// A path of the file system's own made absolute, a relative one taken from
// the current folder.
std::string absolute_native(const std::string& native);

// Whether two paths name the same existing file.
bool same_file(const char* a, const char* b);

// Whether a stream is a terminal (a console on Windows) rather than a file or
// a pipe.
bool terminal(FILE* f);

// For the helpers of this layer (io.hpp): the same calls on a path that is
// already the file system's own. replace_native replaces `to` in one step.
FILE* fopen_native(const std::string& native, const char* mode);
int replace_native(const std::string& from, const std::string& to);
int remove_native(const std::string& native);
bool can_take_file_native(const std::string& native);

// Copies up to n bytes from the current position of `in` to the current
// position of `out` the fastest way the system has between two plain files,
// moving both positions on. Returns the bytes copied; 0 (or fewer than n)
// where it cannot, and the caller copies the rest through a buffer.
uint64_t copy_fast(FILE* in, FILE* out, uint64_t n);

// Positions of an open binary stream past 2 GiB as well: seek moves it to
// `offset` bytes from the start (0, or -1); file_size tells how many bytes
// the file holds (-1 where it cannot) and leaves the position at the start.
int seek(FILE* f, uint64_t offset);
int64_t file_size(FILE* f);

// A console program that Windows starts in a console window of its own (a
// double-click in Explorer opens one) takes that window, and everything it
// printed, with it when it ends. What tells that case from a start in a
// console that stays (cmd, PowerShell, Windows Terminal, a batch file or
// script), or with standard input or output redirected:
struct ConsoleFacts {
    unsigned processes = 0;         // the processes attached to its console; 0: it has none
    bool input_is_console = false;  // standard input is that console
    bool output_is_console = false; // standard output is that console
    // The console is a terminal of the host system, open before the program
    // and after it (Wine started from a Unix terminal).
    bool host_terminal = false;
};
// Whether the program waits for Enter before it ends: only when it is the one
// process of its console window and standard input and output are both that
// console. Standard input that is no console never waits.
bool waits_for_enter(const ConsoleFacts& facts);
// The entry point calls this first. Where waits_for_enter holds (the Windows
// build alone can find it so), every way the process ends, main returning or
// a failing job's exit(), first prints "Press Enter to close this window."
// and waits for Enter; the exit code stays the job's. Elsewhere it does
// nothing.
void keep_own_window_open();

// The executable of the program `name` beside the one running (the job's own
// executable: a link named after it in the same folder, or in the install's
// lib/locbench/bin, on Linux; NAME.exe in the same folder on Windows), as a
// path of the file system's own (where it would be, when it is not there); ""
// when the running program's own path cannot be had.
std::string program_beside(const std::string& name);
// Starts the program at `exe` (a path of the file system's own, as
// program_beside gives it) without arguments, as a user would, in the folder
// at the Windows path `cwd`: standard input the null device, standard error
// the caller's, standard output handed to `out` piece by piece as it comes.
// Waits for it and returns its exit code; -1 when it cannot be started;
// 128 + N when signal N ended it. A caller killed while it waits leaves the
// program to run to its end: a job cut off part-way could leave a file it
// writes in place cut short.
int run_program(const std::string& exe, const std::string& cwd, const std::function<void(const char*, size_t)>& out);

// Windows-1251: the code page of every name and text of this system. Every
// byte stands for one character (0x98, which the code page leaves undefined,
// for U+0098), so bytes to Unicode and back is exact.
char32_t cp1251_char(unsigned char byte);
int cp1251_byte(char32_t c); // -1 when Windows-1251 has no byte for c
std::string to_utf8(std::string_view cp1251);
// UTF-8 to Windows-1251. False when the text is not UTF-8 or holds a
// character that Windows-1251 cannot hold; then *fault tells where (the byte
// offset in `utf8`) and, for a character, which.
struct Utf8Fault {
    size_t at = 0;
    char32_t ch = 0;       // the character Windows-1251 cannot hold
    bool not_utf8 = false; // no character: the bytes there are not UTF-8
};
bool from_utf8(std::string_view utf8, std::string* cp1251, Utf8Fault* fault = nullptr);

// The one comparison of names, as Windows compares them: every letter whose
// other case Windows-1251 also holds (ASCII, Cyrillic with Ё, Ў, Ґ, Є, І, Ї,
// Ђ...) is upper-cased. fold_case gives the key: two names stand for the same
// file when their keys are equal. name_less orders as NTFS orders a folder:
// by the keys' UTF-16 code units ("_" and "`" after the Latin letters, "№"
// after the Cyrillic ones), names of equal keys in byte order.
std::string fold_case(std::string_view name);
bool name_less(std::string_view a, std::string_view b);

// '*' and '?' matching without regard to letter case, as fold_case folds it.
bool wildcard_match(std::string_view pattern, std::string_view name);

} // namespace win
