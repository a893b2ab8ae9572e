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
//                 size are the lengths of X.zl and X. The packing is nearly
//                 all of its work: the files are packed on every processor
//                 of the machine, and written in turn.
//
// A folder that is not there is passed by with a line that says so: a
// translation uses some of these folders, seldom all.
#include "formats/lod.hpp"
#include "formats/zl.hpp"
#include "jobs/lod/lodjobs.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
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
    std::vector<uint8_t> data;
    std::string fault;
    if (!lod::unpack_payload(file.data() + header_at, file.data(), header_at, &data, &fault, "come before the header"))
        return damaged(fault);

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

// A file to pack: an unpacked payload and the X.zl it goes into.
struct PackTask {
    std::string in, out;
};

// The files of `dir` that are unpacked payloads, to be packed into X.zl in
// `out_dir`: all but the packed files and entry files (".zl") and the
// palettes (".act") that lie beside them.
void add_folder(const std::string& dir, const std::string& out_dir, std::vector<PackTask>* tasks) {
    std::vector<win::FindData> files;
    if (!list_files(dir, &files)) return;
    for (const win::FindData& fd : files) {
        if (win::wildcard_match("*.zl", fd.name) || win::wildcard_match("*.act", fd.name)) continue;
        tasks->push_back({dir + fd.name, out_dir + fd.name + ".zl"});
    }
}

// Packs the files of `tasks` in their order: each is read, its length
// checked, its path printed and its X.zl written in turn, as if one came
// after the other. Packing at zlib's best compression is nearly all of the
// work, so the files ahead are read and packed meanwhile on the machine's
// other processors; what goes wrong with one of them (it cannot be opened, it
// is too long to record) is told when its turn comes, on this thread.
void pack_in_order(const std::vector<PackTask>& tasks) {
    struct Slot {
        std::vector<uint8_t> data, packed;
        bool read = false; // read ahead, for a packer to take
        bool done = false; // packed, or failed with `error`
        std::exception_ptr error;
    };
    std::vector<Slot> slots(tasks.size());
    const unsigned packers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    const size_t ahead = 2 * size_t(packers); // files held at a time, besides the one being written
    std::mutex m;
    std::condition_variable cv;
    size_t published = 0, taken = 0; // slots read ahead so far; slots taken by a packer
    bool stop = false;
    auto pack_ahead = [&] {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [&] { return stop || taken < published; });
            if (stop) return;
            Slot& s = slots[taken++];
            if (!s.read) continue;
            lock.unlock();
            std::vector<uint8_t> packed;
            std::exception_ptr error;
            try {
                packed = zl::pack(s.data.data(), s.data.size());
            } catch (...) { // a lack of memory: told in turn
                error = std::current_exception();
            }
            lock.lock();
            s.packed = std::move(packed);
            s.error = error;
            s.done = true;
            cv.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < packers; ++i) threads.emplace_back(pack_ahead);
    // The packers end however this thread leaves (a failure ends the
    // process itself).
    struct Join {
        std::vector<std::thread>& threads;
        std::mutex& m;
        std::condition_variable& cv;
        bool& stop;
        ~Join() {
            {
                std::lock_guard<std::mutex> lock(m);
                stop = true;
            }
            cv.notify_all();
            for (std::thread& t : threads) t.join();
        }
    } join{threads, m, cv, stop};

    for (size_t k = 0; k < tasks.size(); ++k) {
        // Read the files ahead that open and can be recorded; the others are
        // left to their turn.
        for (size_t i = published; i < tasks.size() && i <= k + ahead; ++i) {
            Slot& s = slots[i];
            if (FILE* f = win::fopen(tasks[i].in.c_str(), "rb")) {
                s.data = io::read_all(f);
                std::fclose(f);
                s.read = s.data.size() <= UINT32_MAX;
                if (!s.read) std::vector<uint8_t>().swap(s.data);
            }
            std::lock_guard<std::mutex> lock(m);
            published = i + 1;
            cv.notify_all();
        }
        Slot& s = slots[k];
        std::vector<uint8_t> packed;
        if (s.read) {
            std::unique_lock<std::mutex> lock(m);
            cv.wait(lock, [&] { return s.done; });
            if (s.error) std::rethrow_exception(s.error);
            packed = std::move(s.packed);
        } else {
            s.data = read_file(tasks[k].in);
            lodjobs::recordable_size(s.data.size(), tasks[k].in); // the merge jobs record its length
            packed = zl::pack(s.data.data(), s.data.size());
        }
        std::vector<uint8_t>().swap(s.data);
        write_file(tasks[k].out, packed);
    }
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
    size_t packed = 0;
    auto pack_folder = [&](const std::string& dir, const std::string& out_dir) {
        std::vector<PackTask> tasks;
        add_folder(dir, out_dir, &tasks);
        pack_in_order(tasks);
        packed += tasks.size();
    };
    const std::string readytga = "c:\\games\\zund7\\xfiles\\readytga\\";
    pack_folder(readytga + "pack\\", readytga);
    for (const char* dir : {"c:\\games\\zundfiles\\ready\\", "c:\\games\\zundfiles\\texts\\",
                            "c:\\games\\zundfiles\\ready str\\", "c:\\games\\zundfiles\\menu\\ready\\"})
        pack_folder(dir, dir);
    // The event texts and string files, as headfirst_events takes them.
    const std::string events = "c:\\games\\zund7\\xfiles\\text_!_events\\";
    std::vector<win::FindData> files;
    if (list_files(events, &files)) {
        std::vector<PackTask> tasks;
        for (const char* pattern : {"*.txt", "*.str"})
            for (const win::FindData& fd : files)
                if (win::wildcard_match(pattern, fd.name)) tasks.push_back({events + fd.name, events + fd.name + ".zl"});
        pack_in_order(tasks);
        packed += tasks.size();
    }
    std::printf("%zu packed\n", packed);
}
