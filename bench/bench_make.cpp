// Benchmark of locbench make on the data of every chain at once (the data of
// bench_status: the PAK archive with its translated replacements, the icons
// archive with zlib payloads, the sound and video archives, the tables with
// zund7.po translated), from the game files and the work by hand, as a team
// lead runs it every evening.
//
// make from scratch is compared with the same jobs run by hand one after
// another, each on a fresh copy of the tree (target: at most 5 % + 0.5 s
// over them); make with nothing to do with status on the finished tree
// (target: at most status + 0.2 s). Peak memory of make's own process (make
// with nothing to do starts no job) at most 32 MiB. Wall clock, medians of
// rounds that alternate the two sides.
//
//   bench_make <bin folder> [work folder]
#include "data.hpp"
#include "harness.hpp"

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The jobs that make ran, in order, from its output.
std::vector<std::string> jobs_of(const std::string& out) {
    std::vector<std::string> jobs;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.size() > 2 && line[0] == '[' && line.find("] ") != std::string::npos) {
            std::string rest = line.substr(line.find("] ") + 2);
            jobs.push_back(rest.substr(0, rest.find(':')));
        }
    return jobs;
}

void fresh(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    bench::release_memory();
}

} // namespace

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_make", "/tmp/locbench-bench-make");
    const std::string& bin = args.bin;
    const fs::path& work = args.work;
    const fs::path base = work / "base", prefix = work / "prefix";
    const fs::path c = base / "dosdevices" / "c:", zund7 = c / "games" / "zund7";
    const fs::path xfiles = zund7 / "xfiles";
    fs::create_directories(base / "dosdevices" / "d:");
    fs::create_directories(base / "dosdevices" / "e:");
    uint32_t largest = 0, vid_largest = 0;
    uint64_t unpacked = 0;
    const double pak = bench::make_pak(base, &largest);
    const double lod = bench::make_packed_icons(base, &unpacked, &largest);
    const double snd = bench::make_snd(zund7);
    const double vid = bench::make_vid(base, zund7, vid_largest);
    const uint64_t tables = bench::make_tables(xfiles, 40, 4750, 20000);
    bench::release_memory();
    // The work by hand: zund7.po translated from the template (made here once
    // and removed again, so that make makes it), the folders the jobs write into.
    if (bench::run({bin + "/exportpo"}, work.string(), base.string()).exit_code != 0) return 1;
    bench::write_all(xfiles / "zund7.po", bench::translated_po(bench::read_all(xfiles / "zund7.pot")));
    fs::remove(xfiles / "zund7.pot");
    for (const char* f : {"icons_all", "icons_ready", "sound_ready", "smk", "text_!"}) fs::create_directories(xfiles / f);
    fs::create_directories(c / "games" / "Brassjaw" / "bin");
    fs::create_directories(c / "games" / "Brassjaw" / "xfiles" / "pak");
    fs::create_directories(zund7 / "Anims");
    std::printf("make on every chain at once: archives of %.0f (PAK), %.0f (LOD, %llu bytes unpacked), %.0f (SND) "
                "and %.0f (VID) bytes, %.1f MB of tables, zund7.po %.1f MB\n",
                pak, lod, static_cast<unsigned long long>(unpacked), snd, vid, tables / 1e6,
                fs::file_size(xfiles / "zund7.po") / 1e6);

    // Which jobs make runs: once, its output kept.
    fresh(base, prefix);
    const fs::path log = work / "make.out";
    std::string command = "cd '" + work.string() + "' && WINEPREFIX='" + prefix.string() + "' '" + bin +
                          "/locbench' make > '" + log.string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "locbench make failed: see %s\n", log.string().c_str());
        return 1;
    }
    const std::vector<std::string> jobs = jobs_of(bench::read_all(log));
    std::string names;
    for (const std::string& j : jobs) names += (names.empty() ? "" : " ") + j;
    std::printf("the jobs it runs: %s\n", names.c_str());
    const std::string patch_cwd = (prefix / "dosdevices" / "c:" / "games" / "Brassjaw" / "bin").string();

    const int rounds = 5;
    std::vector<double> by_hand, scratch, idle, status;
    long scratch_peak = 0, idle_peak = 0, status_peak = 0;
    for (int r = 0; r < rounds; ++r) {
        fresh(base, prefix);
        double t = 0;
        for (const std::string& j : jobs) {
            bench::Sample s = bench::run({bin + "/" + j}, j == "patchpak" ? patch_cwd : work.string(), prefix.string());
            if (s.exit_code != 0) {
                std::fprintf(stderr, "%s failed\n", j.c_str());
                return 1;
            }
            t += s.seconds;
        }
        by_hand.push_back(t);
        fresh(base, prefix);
        bench::Sample m = bench::run({bin + "/locbench", "make"}, work.string(), prefix.string());
        if (m.exit_code != 0) return 1;
        scratch.push_back(m.seconds);
        scratch_peak = std::max(scratch_peak, m.peak_kib);
        // Nothing to do: make and status on the finished tree.
        for (int k = 0; k < 2; ++k) {
            bench::Sample st = bench::run({bin + "/locbench", "status"}, work.string(), prefix.string());
            bench::Sample mk = bench::run({bin + "/locbench", "make"}, work.string(), prefix.string());
            if (mk.exit_code != 0) return 1;
            status.push_back(st.seconds);
            idle.push_back(mk.seconds);
            status_peak = std::max(status_peak, st.peak_kib);
            idle_peak = std::max(idle_peak, mk.peak_kib);
        }
    }
    const double hand = bench::median(by_hand), from_scratch = bench::median(scratch);
    const double limit = hand * 1.05 + 0.5;
    std::printf("%-22s %8.3f s  jobs by hand %8.3f s  (target %.3f s)  %s\n", "make from scratch", from_scratch, hand,
                limit, from_scratch <= limit ? "ok" : "MISSED");
    std::printf("%-22s peak %6.1f MiB (make and the jobs it waited for)\n", "", scratch_peak / 1024.0);
    const double st = bench::median(status), mk = bench::median(idle);
    std::printf("%-22s %8.3f s  status %8.3f s  (target %.3f s)  peak %6.1f MiB (limit 32 MiB)  %s\n",
                "make, nothing to do", mk, st, st + 0.2, idle_peak / 1024.0,
                mk <= st + 0.2 && idle_peak <= 32 * 1024 ? "ok" : "MISSED");
    std::printf("(status peak %.1f MiB; a process that does nothing, started the same way: %.1f MiB)\n",
                status_peak / 1024.0, bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
