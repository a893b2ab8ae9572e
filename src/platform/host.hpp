// The system's own file system, for the commands that take folders as
// arguments (release, install, uninstall): a path here is a host path as the
// user gave it, UTF-8 on Windows (the command line is read as UTF-16, so any
// character of a name comes through) and the bytes as given on Linux.
// Relative paths within a game folder are always written with "/" here and
// joined with the system's own separator.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace host {

// The program's arguments after its name, whole: on Windows read from the
// UTF-16 command line, not through a code page.
std::vector<std::string> arguments(int argc, char** argv);

// The folder of the running program's own file.
std::string program_folder();

// `folder` and `relative` ("a/b.lod") joined with the system's separator.
std::string join(const std::string& folder, const std::string& relative);
// The folder a path lies in ("" for a bare name).
std::string parent(const std::string& path);
// A path made absolute from the current folder, without "." and "..".
std::string absolute(const std::string& path);

enum class Kind { None, File, Folder, Link, Other };
struct Entry {
    std::string name; // as stored (UTF-8 on Windows)
    Kind kind = Kind::None;
    uint64_t size = 0;
};
// What a path is, links not followed: a symbolic link or a junction is Link.
Entry look(const std::string& path);
// The entries of a folder, "." and ".." left out, in no fixed order. False
// when it cannot be read.
bool list(const std::string& folder, std::vector<Entry>* out);

// Opens a file in binary mode ("rb", "wb", "r+b"); nullptr on failure.
FILE* open(const std::string& path, const char* mode);
// Moves a stream to byte `at` (any size of file); false on failure.
bool seek(FILE* f, uint64_t at);
bool seek_end(FILE* f);
// Writes what the stream holds through to the disk; false on failure.
bool sync(FILE* f);
// Makes one folder; true when it is there (made now or before).
bool make_folder(const std::string& path);
bool remove_file(const std::string& path);
bool remove_folder(const std::string& path); // an empty one
// Puts `from` in the place of `to` in one step (creating `to` when it does
// not exist): at every instant `to` is its old content or the whole of `from`.
bool replace(const std::string& from, const std::string& to);
// The bytes free for the user on the disk of `path` (an existing folder);
// UINT64_MAX when the system cannot tell.
uint64_t free_space(const std::string& path);

// The last system error, as words.
std::string last_error();

// A name as it prints: on a console (a terminal) as characters, piped as
// the bytes of the name.
void print(FILE* out, const std::string& text);

// Whether two relative names stand for the same file: compared as the
// system's file names are (without regard to case, as Windows compares).
std::string name_key(const std::string& relative);

} // namespace host
