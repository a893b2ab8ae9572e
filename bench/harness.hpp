// Timing and memory measurement for the benchmarks: runs a command as a child
// process, takes its wall time and its peak resident memory.
#pragma once

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Sample {
    double seconds = 0;
    long peak_kib = 0;
    int exit_code = -1;
};

// Runs argv[0] with `argv` in `cwd`, with WINEPREFIX set to `prefix` (when not
// empty) and standard output thrown away.
inline Sample run(const std::vector<std::string>& argv, const std::string& cwd, const std::string& prefix) {
    ::sync(); // start every run with the page cache written back
    std::fflush(nullptr);
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0) _exit(127);
        if (!prefix.empty()) setenv("WINEPREFIX", prefix.c_str(), 1);
        if (FILE* null = std::freopen("/dev/null", "w", stdout)) (void)null;
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    Sample s;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    s.peak_kib = ru.ru_maxrss;
    s.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return s;
}

// Peak memory as the kernel reports it for a child counts what the child had
// before it started the program, inherited from this process: benchmarks free
// their buffers (release_memory) before they measure, and the figure of
// `true` shows what is left of that.
inline void release_memory() { malloc_trim(0); }
inline long baseline_kib() { return run({"true"}, ".", "").peak_kib; }

// The command line every benchmark takes: <bin folder> [work folder]. The
// work folder starts empty; finish() removes it (unless BENCH_KEEP is set).
struct Setup {
    std::string bin;
    std::filesystem::path work;
    void finish() const {
        if (!std::getenv("BENCH_KEEP")) std::filesystem::remove_all(work);
    }
};

inline Setup setup(int argc, char** argv, const char* name, const char* default_work) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <bin folder> [work folder]\n", name);
        std::exit(2);
    }
    Setup s{std::filesystem::absolute(argv[1]).string(), std::filesystem::absolute(argc > 2 ? argv[2] : default_work)};
    std::filesystem::remove_all(s.work);
    return s;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Deterministic filler bytes.
inline void fill(std::vector<uint8_t>& buf, uint32_t seed) {
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    size_t i = 0;
    for (; i + 8 <= buf.size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        for (int k = 0; k < 8; ++k) buf[i + k] = uint8_t(x >> (8 * k));
    }
    for (; i < buf.size(); ++i) buf[i] = uint8_t(i * 31 + seed);
}

inline void put_u32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

inline void write_file(const std::filesystem::path& p, const std::vector<uint8_t>& data) {
    std::filesystem::create_directories(p.parent_path());
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", p.c_str());
        std::exit(1);
    }
}

// The median wall time of `rounds` runs of a job (after one warm-up run)
// and its largest peak memory; a run that fails ends the benchmark.
struct Timing {
    double seconds;
    long peak_kib;
};

inline Timing time_job(const std::string& bin, const std::string& job, const std::filesystem::path& work,
                       const std::filesystem::path& prefix, int rounds) {
    std::vector<double> t;
    long peak = 0;
    for (int r = 0; r <= rounds; ++r) {
        Sample s = run({bin + "/" + job}, work.string(), prefix.string());
        if (s.exit_code != 0) {
            std::fprintf(stderr, "%s failed with exit code %d\n", job.c_str(), s.exit_code);
            std::exit(1);
        }
        if (r == 0) continue; // warm-up
        t.push_back(s.seconds);
        peak = std::max(peak, s.peak_kib);
    }
    return {median(t), peak};
}

// Times `job` against `copy` over `rounds` alternating runs (after one
// warm-up run of each) and prints one result line.
struct Result {
    std::string name;
    double job_s, copy_s;
    long peak_kib;
    double bytes;
};

// `before_job` and `before_copy` (when given) run before each timed run, to
// clear away what the previous one wrote: both then write new files. The
// copy runs with WINEPREFIX set to `copy_prefix` when one is given (another
// build of a job).
inline Result compare(const std::string& name, const std::vector<std::string>& job, const std::string& job_cwd,
                      const std::string& prefix, const std::vector<std::string>& copy, double bytes_moved,
                      int rounds, const std::function<void()>& before_job = {},
                      const std::function<void()>& before_copy = {}, const std::string& copy_prefix = "") {
    std::vector<double> jt, ct;
    long peak = 0;
    for (int r = 0; r <= rounds; ++r) {
        if (before_job) before_job();
        Sample j = run(job, job_cwd, prefix);
        if (j.exit_code != 0) {
            std::fprintf(stderr, "%s failed with exit code %d\n", name.c_str(), j.exit_code);
            std::exit(1);
        }
        if (before_copy) before_copy();
        Sample c = run(copy, job_cwd, copy_prefix);
        if (r == 0) continue; // warm-up
        jt.push_back(j.seconds);
        ct.push_back(c.seconds);
        peak = std::max(peak, j.peak_kib);
    }
    return {name, median(jt), median(ct), peak, bytes_moved};
}

// `target`: the largest ratio of job to copy that meets the benchmark's aim;
// `other`: what the job was compared with.
inline void print(const Result& r, double largest_member, double target = 1.5, const char* other = "copy") {
    double limit_mib = largest_member / 1048576.0 + 16;
    std::printf("%-18s %8.3f s  %s %8.3f s  ratio %5.2f (target %.2f)  peak %7.1f MiB (limit %7.1f MiB)  %s\n",
                r.name.c_str(), r.job_s, other, r.copy_s, r.job_s / r.copy_s, target, r.peak_kib / 1024.0, limit_mib,
                (r.job_s / r.copy_s <= target && r.peak_kib / 1024.0 <= limit_mib) ? "ok" : "MISSED");
}

} // namespace bench
