// Benchmark of the VCDIFF writer and reader on a 256 MiB archive-like file:
// members of 20 KB to 2 MB, 1 % of the bytes in replaced members (each of a
// slightly different size, so that every member after it moves) and a new
// directory at the end. The kept members are the copies the writer is told
// of, as a release that matches the members of the two directories would.
//
//  - encode, the kept members known, no search: against reading both files
//    once (cat of the two into /dev/null);
//  - encode, the kept members known, the rest searched in the source (its
//    index reads the whole source once more): against the same;
//  - decode of that patch into a new file: against `xdelta3 -d` of the same
//    patch (when xdelta3 is installed) and cp of the target;
//  - encode and decode with no copies known, every byte searched, on a 64 MiB
//    file with random edits every 64 KiB on average: against `xdelta3 -e -S
//    none` and `xdelta3 -d` of the same files.
//
// Each program runs as a child of its own (this program again, with a
// subcommand), for its wall time and peak memory; medians of 5 rounds after a
// warm-up, alternating with what it is compared with.
//
//   bench_vcdiff <bin folder> [work folder]
#include "formats/vcdiff.hpp"
#include "harness.hpp"

#include <cstring>
#include <random>

namespace fs = std::filesystem;

namespace {

// Writes what it is given to a FILE through a large buffer.
struct FileOutput : vcdiff::Output {
    FILE* f;
    explicit FileOutput(FILE* file) : f(file) { std::setvbuf(f, nullptr, _IOFBF, 1 << 20); }
    void write(const void* d, size_t n) override {
        if (std::fwrite(d, 1, n, f) != n) {
            std::fprintf(stderr, "write failed\n");
            std::exit(1);
        }
    }
};

FILE* open(const std::string& p, const char* mode) {
    FILE* f = std::fopen(p.c_str(), mode);
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", p.c_str());
        std::exit(1);
    }
    return f;
}

// bench_vcdiff encode SOURCE TARGET KNOWN|- search|nosearch PATCH
int encode_main(char** a) {
    FILE* s = open(a[0], "rb");
    FILE* t = open(a[1], "rb");
    std::vector<vcdiff::Copy> known;
    if (std::strcmp(a[2], "-") != 0) {
        FILE* k = open(a[2], "rb");
        vcdiff::Copy c;
        while (std::fread(&c, sizeof c, 1, k) == 1) known.push_back(c);
        std::fclose(k);
    }
    FILE* p = open(a[4], "wb");
    vcdiff::FileInput si(s), ti(t);
    FileOutput out(p);
    bool ok = vcdiff::encode(si, ti, known, out, {std::strcmp(a[3], "search") == 0});
    return ok && std::fclose(p) == 0 ? 0 : 1;
}

// bench_vcdiff decode SOURCE PATCH OUT
int decode_main(char** a) {
    FILE* s = open(a[0], "rb");
    FILE* p = open(a[1], "rb");
    FILE* o = open(a[2], "wb");
    vcdiff::FileInput si(s), pi(p);
    FileOutput out(o);
    vcdiff::DecodeResult r = vcdiff::decode(si, pi, out);
    if (!r.ok) std::fprintf(stderr, "decode: %s\n", r.why.c_str());
    return r.ok && std::fclose(o) == 0 ? 0 : 1;
}

struct Pair {
    std::vector<vcdiff::Copy> known;
    uint64_t replaced = 0, size = 0;
};

// The archive and its translation, written to `dir`.
Pair make_archive(const fs::path& dir) {
    std::mt19937_64 rng(42);
    FILE* s = open((dir / "source").string(), "wb");
    FILE* t = open((dir / "target").string(), "wb");
    Pair p;
    uint64_t s_at = 0, t_at = 0;
    std::vector<uint8_t> buf;
    uint32_t seed = 1;
    while (s_at < (uint64_t(256) << 20)) {
        size_t n = size_t(20000 + rng() % 2000000);
        buf.resize(n);
        bench::fill(buf, seed++);
        std::fwrite(buf.data(), 1, n, s);
        if (rng() % 100 == 0) {
            buf.resize(n + rng() % 4000 - 2000);
            bench::fill(buf, seed++);
            std::fwrite(buf.data(), 1, buf.size(), t);
            p.replaced += buf.size();
            t_at += buf.size();
        } else {
            std::fwrite(buf.data(), 1, n, t);
            p.known.push_back({t_at, s_at, n});
            t_at += n;
        }
        s_at += n;
    }
    buf.resize(64 * 1024);
    bench::fill(buf, seed++);
    std::fwrite(buf.data(), 1, buf.size(), t);
    p.replaced += buf.size();
    p.size = t_at + buf.size();
    std::fclose(s);
    std::fclose(t);
    FILE* k = open((dir / "known").string(), "wb");
    std::fwrite(p.known.data(), sizeof(vcdiff::Copy), p.known.size(), k);
    std::fclose(k);
    return p;
}

// A 64 MiB file and a copy of it with bytes replaced, inserted and removed.
void make_edited(const fs::path& dir) {
    std::vector<uint8_t> src(64 << 20);
    bench::fill(src, 7);
    bench::write_file(dir / "esource", src);
    std::mt19937 rng(8);
    std::vector<uint8_t> t;
    t.reserve(src.size() + (1 << 20));
    size_t i = 0;
    while (i < src.size()) {
        size_t keep = std::min<size_t>(src.size() - i, rng() % 131072);
        t.insert(t.end(), src.begin() + long(i), src.begin() + long(i + keep));
        i += keep;
        for (int k = int(rng() % 200); k >= 0; --k) t.push_back(uint8_t(rng()));
        i += rng() % 200;
    }
    bench::write_file(dir / "etarget", t);
}

void line(const char* name, const bench::Result& r, const char* other, double bytes) {
    std::printf("%-34s %7.3f s  %-12s %7.3f s  ratio %5.2f  %7.1f MiB/s  peak %5.1f MiB\n", name, r.job_s, other, r.copy_s,
                r.job_s / r.copy_s, bytes / 1048576.0 / r.job_s, r.peak_kib / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "encode") == 0 && argc == 7) return encode_main(argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "decode") == 0 && argc == 5) return decode_main(argv + 2);
    bench::Setup setup = bench::setup(argc, argv, "bench_vcdiff", "/tmp/locbench-bench-vcdiff");
    fs::create_directories(setup.work);
    const fs::path& w = setup.work;
    std::string self = fs::canonical("/proc/self/exe").string();
    auto p = [&](const char* name) { return (w / name).string(); };
    bool xdelta = std::system("xdelta3 -V >/dev/null 2>&1") == 0;
    const int rounds = 5;

    Pair a = make_archive(w);
    std::printf("archive: %llu bytes, %zu members kept, %llu bytes replaced or new\n", (unsigned long long)a.size,
                a.known.size(), (unsigned long long)a.replaced);
    bench::release_memory();
    std::printf("baseline peak of a child: %.1f MiB\n", bench::baseline_kib() / 1024.0);
    std::vector<std::string> read_both = {"sh", "-c", "cat source target >/dev/null"};
    double both = double(fs::file_size(w / "source") + a.size);

    auto enc = bench::compare("encode", {self, "encode", p("source"), p("target"), p("known"), "nosearch", p("patch")},
                              w.string(), "", read_both, both, rounds);
    std::printf("patch: %llu bytes (%.4f of the replaced bytes)\n", (unsigned long long)fs::file_size(w / "patch"),
                double(fs::file_size(w / "patch")) / double(a.replaced));
    line("encode, copies known", enc, "cat both", both);
    auto enc_s = bench::compare("encode", {self, "encode", p("source"), p("target"), p("known"), "search", p("spatch")},
                                w.string(), "", read_both, both, rounds);
    std::printf("patch with search: %llu bytes\n", (unsigned long long)fs::file_size(w / "spatch"));
    line("encode, copies known, search", enc_s, "cat both", both);

    auto dec = bench::compare("decode", {self, "decode", p("source"), p("patch"), p("out")}, w.string(), "",
                              {"cp", p("target"), p("copy")}, double(a.size), rounds);
    line("decode", dec, "cp target", double(a.size));
    if (xdelta) {
        auto x = bench::compare("decode", {self, "decode", p("source"), p("patch"), p("out")}, w.string(), "",
                                {"xdelta3", "-f", "-d", "-s", p("source"), p("patch"), p("xout")}, double(a.size),
                                rounds);
        line("decode", x, "xdelta3 -d", double(a.size));
        if (std::system(("cmp -s " + p("xout") + " " + p("target")).c_str()) != 0) std::printf("xdelta3 -d: WRONG TARGET\n");
    }
    if (std::system(("cmp -s " + p("out") + " " + p("target")).c_str()) != 0) std::printf("decode: WRONG TARGET\n");

    make_edited(w);
    double ebytes = double(fs::file_size(w / "etarget"));
    std::vector<std::string> xenc = {"xdelta3", "-f", "-e", "-S", "none", "-s", p("esource"), p("etarget"), p("xepatch")};
    if (xdelta) {
        auto e = bench::compare("encode", {self, "encode", p("esource"), p("etarget"), "-", "search", p("epatch")},
                                w.string(), "", xenc, ebytes, rounds);
        line("encode, all searched (64 MiB)", e, "xdelta3 -e", ebytes);
        std::printf("patches: ours %llu bytes, xdelta3's %llu bytes\n", (unsigned long long)fs::file_size(w / "epatch"),
                    (unsigned long long)fs::file_size(w / "xepatch"));
        auto d = bench::compare("decode", {self, "decode", p("esource"), p("epatch"), p("eout")}, w.string(), "",
                                {"xdelta3", "-f", "-d", "-s", p("esource"), p("epatch"), p("xeout")}, ebytes, rounds);
        line("decode (64 MiB, ours)", d, "xdelta3 -d", ebytes);
        auto dx = bench::compare("decode", {self, "decode", p("esource"), p("xepatch"), p("eout2")}, w.string(), "",
                                 {"xdelta3", "-f", "-d", "-s", p("esource"), p("xepatch"), p("xeout2")}, ebytes, rounds);
        line("decode (64 MiB, xdelta3's patch)", dx, "xdelta3 -d", ebytes);
        for (const char* o : {"eout", "xeout", "eout2"})
            if (std::system(("cmp -s " + p(o) + " " + p("etarget")).c_str()) != 0) std::printf("%s: WRONG TARGET\n", o);
    }
    setup.finish();
    return 0;
}
