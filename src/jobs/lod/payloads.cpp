// The payload jobs: the unpacking and packing of entry payloads between the
// extraction jobs and the merge jobs, so that a chain needs no other tool.
//
// unpackpayloads  every header-last entry file X.zl in the folders where the
//                 extraction jobs and the header-last converters leave them:
//                 its payload unpacked into X beside it. The trailing entry
//                 header gives the payload's stored size and its unpacked
//                 size, and every unpack is held to both. An X that is there
//                 already is never overwritten: it may hold the team's edits.
//                 A damaged entry file is named and passed by; the job ends
//                 with exit code 1 once the others are done.
// packpayloads    every unpacked file in the folders where the merge jobs and
//                 comptgas take packed payloads from: packed into X.zl, zlib
//                 at its best compression, so that stored size and unpacked
//                 size are the lengths of X.zl and X.
//
// A folder that is not there is passed by with a line that says so: a
// translation uses some of these folders, seldom all.
#include "formats/lod.hpp"
#include "formats/zl.hpp"
#include "jobs/lod/lodjobs.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

// The files of the folder `dir` (with its trailing backslash), in the order
// of a search; false, after a line that says so, when there is no such
// folder. Leftovers of a stopped run (a file beside its target) are no files
// of the job's.
bool list_files(const std::string& dir, std::vector<win::FindData>* files) {
    win::FindData fd;
    std::string folder = dir.substr(0, dir.size() - 1);
    intptr_t h = win::findfirst(folder.c_str(), &fd);
    if (h != -1) win::findclose(h);
    if (h == -1 || !fd.folder) {
        std::printf("skipping %s: no such folder\n", dir.c_str());
        return false;
    }
    files->clear();
    h = win::findfirst((dir + "*").c_str(), &fd);
    if (h == -1) return true;
    const std::string leftover = std::string("*") + io::Replacement::kSuffix;
    do {
        if (!fd.folder && !win::wildcard_match(leftover, fd.name)) files->push_back(fd);
    } while (win::findnext(h, &fd) == 0);
    win::findclose(h);
    return true;
}

std::vector<uint8_t> read_file(const std::string& path) {
    FILE* f = io::open_or_die(path.c_str(), "rb");
    std::vector<uint8_t> data = io::read_all(f);
    std::fclose(f);
    return data;
}

// Writes a file that takes the place of any earlier one only once complete.
void write_file(const std::string& path, const std::vector<uint8_t>& data) {
    std::printf("%s\n", path.c_str());
    io::Replacement out(path, "wb");
    if (!out.ok()) io::cant_create(path);
    out.write(data.data(), data.size());
    out.commit();
}

struct Unpacked {
    size_t written = 0, same = 0, damaged = 0;
    std::vector<std::string> kept; // differ from what their payload gives
};

// Whether the file at `path` holds exactly `data`.
bool holds(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = io::open_or_die(path.c_str(), "rb");
    bool same = io::size_of(f) == data.size();
    if (same) {
        std::vector<uint8_t> old(data.size());
        same = io::read(f, old.data(), old.size()) == old.size() && old == data;
    }
    std::fclose(f);
    return same;
}

// The payload of the header-last entry file `name` in `dir`, unpacked into
// the file of its name without ".zl". `there` holds the folder's files, by
// their folded names.
void unpack_entry_file(const std::string& dir, const std::string& name,
                       const std::unordered_set<std::string>& there, Unpacked* tally) {
    std::string path = dir + name;
    std::string x = name.substr(0, name.size() - 3);
    std::vector<uint8_t> file = read_file(path);
    auto damaged = [&](const std::string& what) {
        io::report_damaged(path, what);
        ++tally->damaged;
    };
    if (x.empty()) return damaged("its name is \".zl\" alone, which leaves no name for the unpacked file");
    if (file.size() < lod::kHeaderSize) return damaged("shorter than its 48-byte entry header");
    size_t header_at = file.size() - lod::kHeaderSize;
    uint32_t stored = lod::field32(file, header_at + lod::kStoredSizeField);
    uint32_t unpacked = lod::field32(file, header_at + lod::kUnpackedSizeField);
    if (stored > header_at)
        return damaged(io::format("its entry header gives a payload of %u bytes, but only %zu come before the header",
                                  stored, header_at));
    std::vector<uint8_t> data;
    std::string fault;
    if (!zl::unpack(file.data(), stored, unpacked, &data, &fault)) return damaged(fault);

    std::string x_path = dir + x;
    if (there.count(win::fold_case(x))) {
        if (holds(x_path, data)) ++tally->same;
        else tally->kept.push_back(x_path);
        return;
    }
    write_file(x_path, data);
    ++tally->written;
}

void unpack_folder(const std::string& dir, Unpacked* tally) {
    std::vector<win::FindData> files;
    if (!list_files(dir, &files)) return;
    std::unordered_set<std::string> there;
    for (const win::FindData& fd : files) there.insert(win::fold_case(fd.name));
    for (const win::FindData& fd : files)
        if (win::wildcard_match("*.zl", fd.name)) unpack_entry_file(dir, fd.name, there, tally);
}

// Packs the unpacked file `in_path` into `out_path`.
void pack_file(const std::string& in_path, const std::string& out_path) {
    std::vector<uint8_t> data = read_file(in_path);
    lodjobs::recordable_size(data.size(), in_path); // the merge jobs record its length
    write_file(out_path, zl::pack(data.data(), data.size()));
}

// Packs every file of `dir` that is an unpacked payload into X.zl in
// `out_dir`: all but the packed files and entry files (".zl") and the
// palettes (".act") that lie beside them.
size_t pack_folder(const std::string& dir, const std::string& out_dir) {
    std::vector<win::FindData> files;
    if (!list_files(dir, &files)) return 0;
    size_t packed = 0;
    for (const win::FindData& fd : files) {
        if (win::wildcard_match("*.zl", fd.name) || win::wildcard_match("*.act", fd.name)) continue;
        pack_file(dir + fd.name, out_dir + fd.name + ".zl");
        ++packed;
    }
    return packed;
}

} // namespace

void unpackpayloads() {
    Unpacked tally;
    for (const char* dir : {"c:\\games\\zund7\\xfiles\\icons_all\\", "c:\\games\\zund6\\xfiles\\icons_txt_str\\",
                            "c:\\games\\zundfiles\\strs\\", "c:\\games\\zundfiles\\icons1\\",
                            "c:\\games\\zundfiles\\menu\\"})
        unpack_folder(dir, &tally);
    for (const std::string& path : tally.kept)
        std::printf("kept %s: it differs from what its payload gives (remove it to unpack again)\n", path.c_str());
    std::printf("%zu unpacked, %zu already unpacked, %zu kept, %zu damaged\n", tally.written, tally.same,
                tally.kept.size(), tally.damaged);
    if (tally.damaged > 0) std::exit(1);
}

void packpayloads() {
    const std::string readytga = "c:\\games\\zund7\\xfiles\\readytga\\";
    size_t packed = pack_folder(readytga + "pack\\", readytga);
    for (const char* dir : {"c:\\games\\zundfiles\\ready\\", "c:\\games\\zundfiles\\texts\\",
                            "c:\\games\\zundfiles\\ready str\\", "c:\\games\\zundfiles\\menu\\ready\\"})
        packed += pack_folder(dir, dir);
    // The event texts and string files, as headfirst_events takes them.
    const std::string events = "c:\\games\\zund7\\xfiles\\text_!_events\\";
    std::vector<win::FindData> files;
    if (list_files(events, &files)) {
        for (const char* pattern : {"*.txt", "*.str"})
            for (const win::FindData& fd : files)
                if (win::wildcard_match(pattern, fd.name)) {
                    pack_file(events + fd.name, events + fd.name + ".zl");
                    ++packed;
                }
    }
    std::printf("%zu packed\n", packed);
}
