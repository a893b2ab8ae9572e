// The manifest of a release: every game file the translation changes, with
// the size and SHA-256 of the original and of the translated file, and the
// patch (or the whole file) in the release that makes one from the other.
// It is text (UTF-8, "\n" line ends) that a person can read:
//
//   locbench release 1
//   title: Zund 7, Russian translation
//   files: 2
//
//   patch: data/icons.lod
//     original: 1234567 bytes, sha256 3fa4...
//     translated: 1240001 bytes, sha256 91cc...
//     patch: patches/data/icons.lod.vcdiff, 40211 bytes, sha256 77e0...
//
//   add: data/readme.rus
//     translated: 1200 bytes, sha256 0b1d...
//     file: added/data/readme.rus, 1200 bytes, sha256 0b1d...
//
//   checksum: sha256 5e2f...
//
// Paths are relative to the game's folder (or to the release's), their
// components separated by "/". The last line is the SHA-256 of every line
// before it, so that a manifest damaged on the way is told from one written
// so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace manifest {

constexpr const char* kFirstLine = "locbench release 1";

struct Digest {
    uint64_t size = 0;
    std::string sha256; // 64 lower-case hex digits
    bool operator==(const Digest& o) const { return size == o.size && sha256 == o.sha256; }
};

struct Item {
    std::string path;   // in the game's folder
    bool added = false; // a file the original game does not have
    Digest original;    // not for an added file
    Digest translated;
    std::string data;   // in the release: the patch, or the added file whole
    Digest data_digest;
};

struct Manifest {
    std::string title;
    std::vector<Item> items;
    // Folders made for the files added (in the records an install keeps):
    // "folder: PATH" lines after the count of files.
    std::vector<std::string> folders = {};
};

std::string write(const Manifest& m);
// False, with the reason in *why, when the text is not such a manifest or
// was damaged (its checksum does not match its lines).
bool read(const std::string& text, Manifest* m, std::string* why);

// Whether a relative path stays inside the folder it is relative to: no
// absolute path, drive or device, no "." or ".." component, no empty one,
// no backslash, colon or control character, no component a Windows folder
// cannot hold (a trailing dot or space). *why tells what is wrong.
bool safe_path(const std::string& path, std::string* why);

} // namespace manifest
