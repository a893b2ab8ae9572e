// What release, install and uninstall share: the layout of a release and of
// the records an install leaves, files read whole with their checksum, and
// the lines they print.
#pragma once

#include "release/manifest.hpp"
#include "formats/vcdiff.hpp"
#include "platform/sha256.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace release {

// In a release: the manifest, the patches and the files added whole.
constexpr const char* kManifest = "manifest.txt";
constexpr const char* kPatches = "patches";
constexpr const char* kAdded = "added";
constexpr const char* kReadme = "README.txt";
// In a game's folder, while a translation is installed: what uninstall
// needs (the install's journal and a reverse patch of each patched file).
constexpr const char* kRecords = "locbench-uninstall";
constexpr const char* kJournal = "journal.txt";
// What a file being written beside its final name ends with.
constexpr const char* kNew = ".locbench-new";

// Size and SHA-256 of a whole file; false when it cannot be read.
bool digest_of(const std::string& path, manifest::Digest* d, bool progress = false, const std::string& label = "");
std::string hex(const sha256::Digest& d);

// Where a decoded file or a patch goes: a file (or nowhere), with the size and
// SHA-256 of what was written, and a progress bar on a terminal.
class Sink : public vcdiff::Output {
public:
    Sink(FILE* f, uint64_t expected = 0, const std::string& label = "");
    ~Sink() override;
    void write(const void* data, size_t n) override;
    bool read_back(uint64_t at, void* to, size_t n) override;
    bool failed() const { return failed_; }
    manifest::Digest finish(); // size and SHA-256 of everything written

private:
    FILE* f_;
    sha256::Hasher hash_;
    uint64_t written_ = 0, expected_;
    bool failed_ = false;
    std::string label_;
    int shown_ = -1;
};

// A progress bar for big files, on a terminal only: "  [#####     ] 50%".
void show_progress(const std::string& label, uint64_t done, uint64_t total, int* shown);
void end_progress(int* shown);

// The files of a folder and its subfolders, as relative paths ("a/b.lod"),
// in the order the system compares names; links are listed in *links and
// not followed.
bool walk(const std::string& root, std::vector<std::string>* files, std::vector<std::string>* links,
          std::string* failed);

// Prints a line that holds a path: the path as host::print shows it.
void say(const std::string& before, const std::string& path, const std::string& after = "");

// "1.5 MiB", "830 KiB", "912 bytes".
std::string size_text(uint64_t n);

// Copies a whole file; false on failure.
bool copy_file(const std::string& from, const std::string& to);

} // namespace release
