// Procedures that several LOD jobs share, each told once and parameterised by
// the paths (and counts) of the job that calls it.
#pragma once

#include "platform/win.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lodjobs {

// An archive rebuilt in directory order from its source archive and a folder
// of ready header-first entry files (updatelod_icons, updatelod_events).
struct Update {
    std::string source;    // the archive read
    std::string output;    // the archive written
    std::string ready_dir; // with its trailing backslash
    size_t count;          // entries of the archive (fixed)
};
void update_archive(const Update& u);

// How a header-first merge finds the header-first entry file in the icons
// folder whose entry header it takes for a payload file N.
enum class HeaderSource {
    AnyIndex, // "*_N": the entry file of the entry named N without ".zl", whatever its index
    SameName, // "N": the entry file of the same name
};
// Merges every packed payload "*.zl" in `payload_dir` (trailing backslash)
// with its unpacked file and the entry header of its icons entry file, into
// a header-first entry file in `payload_dir` named like the icons file
// (headfirst_ready, headfirst_texts, headfirst_readystr).
void merge_headfirst(const std::string& payload_dir, HeaderSource source);

// Turns every header-first entry file that `pattern` finds in `dir` into a
// header-last one of the same name in `out_dir` (both with trailing
// backslashes; `out_dir` may be `dir`: the file is then replaced).
void convert_headlast(const std::string& dir, const std::string& pattern, const std::string& out_dir);

// The folder walk of the merge jobs: calls each(match) for every match of
// `pattern`, in the order of the search; ends the job with exit code 5 and
// no message when nothing matches.
template <class Each>
void walk_or_exit5(const std::string& pattern, Each each);

[[noreturn]] void exit5();

// The entry header at the start of a header-first entry file: "Can't open\n"
// and exit code 1 when the file cannot be opened, a message naming it when
// it is shorter than 48 bytes.
std::vector<uint8_t> read_entry_header(const std::string& path);

// A file length as an entry header records it (u32); a file of 4 GiB or more
// stops the job with a message naming `path`.
uint32_t recordable_size(uint64_t size, const std::string& path);

template <class Each>
void walk_or_exit5(const std::string& pattern, Each each) {
    win::FindData fd;
    intptr_t h = win::findfirst(pattern.c_str(), &fd);
    if (h == -1) exit5();
    do {
        each(fd);
    } while (win::findnext(h, &fd) == 0);
    win::findclose(h);
}

} // namespace lodjobs
