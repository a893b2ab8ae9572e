// What status sees of a game tree: the files of the jobs' places with their
// sizes and times, and the directories of the game archives. Everything is
// looked at through the platform layer, read only, once per run.
#pragma once

#include "jobs/chains.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace status {

struct File {
    std::string name; // as on disk (Windows-1251)
    uint64_t size = 0;
    int64_t modified = 0; // nanoseconds since 1970
};

// The files of a place that count (see chains::Ref), in name order.
struct Set {
    const about::Place* place = nullptr;
    std::string folder;         // its Windows path, with the trailing backslash
    bool single = false;        // one file of a fixed name
    bool folder_there = false;
    std::string shown;          // how the text names it: the file, or the folder with the names
    std::vector<File> files;
    std::vector<std::string> unlisted; // kListed: names the list gives that are not there
    mutable std::unordered_map<std::string, size_t> index; // folded name -> files[i]; made by find()

    bool there() const { return !files.empty(); }
    std::string path(const File& f) const { return folder + f.name; }
    const File* find(const std::string& name) const; // without regard to letter case (an index made at once)
    const File* newest() const;
    const File* oldest() const;
};

// A game archive's header and directory, as the jobs read them.
enum class Format { None, Pak, Lod, Snd, Vid, Font };
Format format_of(const std::string& path);

struct Member {
    std::string name;        // its name (PAK: the flat member name)
    uint64_t offset = 0;     // in the file (LOD: from byte 288 on)
    uint64_t size = 0;
};

struct Archive {
    Format format = Format::None;
    std::string path;        // Windows path
    bool there = false;
    uint64_t file_size = 0;
    std::string fault;       // what is wrong with it; empty when nothing
    std::vector<Member> members;
};

class Tree {
public:
    // The files of a reference. A missing place is an empty set.
    const Set& set(const chains::Ref& r);
    // The folder's files (not its subfolders, not the leftovers of a stopped
    // rewrite); nullptr when there is no such folder.
    const std::vector<File>* folder(const std::string& winfolder);
    // The archive at a Windows path: its directory read (with `fixed`
    // entries for a LOD archive, 0 for the count it gives), or with `deep`
    // every member read and checked as well.
    const Archive& archive(const std::string& path, uint32_t fixed, bool deep);
    // The archives at `paths` (each with its fixed count, as archive() takes
    // it) read on a thread of their own while `meanwhile` runs: the thread
    // reads from streams opened before it starts, and asks the platform
    // layer for nothing.
    void read_archives(const std::vector<std::pair<std::string, uint32_t>>& paths, bool deep,
                       const std::function<void()>& meanwhile);

private:
    std::map<std::string, std::unique_ptr<std::vector<File>>> folders_;
    std::map<std::string, bool> folder_there_;
    std::map<std::string, Set> sets_;
    std::map<std::string, Archive> archives_;
    std::map<std::string, std::vector<std::string>> lists_;
};

// The files a table list names (tables, then string files), by its Windows
// path; empty when it cannot be opened.
std::vector<std::string> listed_files(const std::string& list_path);

// The fixed entry count the jobs take for the LOD archive at `path` (0: the
// count it gives).
uint32_t lod_entries(const std::string& path);

// Names of the jobs' shape: "Windows path as the job names it", for output.
std::string folder_of(const std::string& path);
std::string name_of(const std::string& path);
std::string plural(uint64_t n, const char* one, const char* many);

} // namespace status
