// Benchmark of locbench status on the data of every chain at once: the PAK
// archive of bench_pak with its translated replacements, the icons archive
// with zlib payloads of bench_payloads and the entry files extractlod_icons
// makes of it, the sound and video archives of bench_sndvid, the tables of
// bench_texts with zund7.po translated.
//
// status reads the directories and lists the folders, and counts the texts
// as importpo does: it is compared with importpo on the same tables and PO
// (target: at most importpo's time plus 0.2 s). status --verify also reads
// every archive whole and unpacks every LOD payload: it is compared with a
// Python loop that reads every archive once and unpacks every payload of the
// icons archive with zlib (target: at most 1.2 times its time). Peak memory
// at most 32 MiB.
//
//   bench_status <bin folder> [work folder]
#include "data.hpp"
#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

const char* const kPythonVerify = R"(
import struct, sys, zlib
for path in sys.argv[1:]:
    with open(path, 'rb') as f:
        data = f.read()
    if not path.endswith('.lod'):
        continue
    count, = struct.unpack_from('<I', data, 284)
    for k in range(count):
        at = 288 + 32 * k
        offset, size = struct.unpack_from('<II', data, at + 16)
        entry = data[288 + offset:288 + offset + size]
        stored, = struct.unpack_from('<I', entry, 20)
        unpacked, = struct.unpack_from('<I', entry, 40)
        d = zlib.decompressobj()
        out = d.decompress(entry[48:48 + stored], unpacked + 1)
        if len(out) != unpacked or not d.eof:
            sys.exit('damaged entry %d of %s' % (k, path))
)";

struct Timing {
    double seconds = 0;
    long peak_kib = 0;
};

// Runs each command in turn, `rounds` times after one warm-up round; the
// median time and the peak memory of each. A command must end with one of
// `codes`.
std::vector<Timing> alternate(const std::vector<std::vector<std::string>>& commands, const fs::path& work,
                              const fs::path& prefix, int rounds, const std::vector<int>& codes = {0}) {
    std::vector<std::vector<double>> t(commands.size());
    std::vector<Timing> out(commands.size());
    for (int r = 0; r <= rounds; ++r)
        for (size_t i = 0; i < commands.size(); ++i) {
            bench::Sample s = bench::run(commands[i], work.string(), prefix.string());
            if (std::find(codes.begin(), codes.end(), s.exit_code) == codes.end()) {
                std::fprintf(stderr, "%s failed with exit code %d\n", commands[i][0].c_str(), s.exit_code);
                std::exit(1);
            }
            if (r == 0) continue;
            t[i].push_back(s.seconds);
            out[i].peak_kib = std::max(out[i].peak_kib, s.peak_kib);
        }
    for (size_t i = 0; i < commands.size(); ++i) out[i].seconds = bench::median(t[i]);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_status", "/tmp/locbench-bench-status");
    const std::string& bin = args.bin;
    const fs::path& work = args.work;
    const fs::path prefix = work / "prefix";
    const fs::path c = prefix / "dosdevices" / "c:", zund7 = c / "games" / "zund7";
    const fs::path xfiles = zund7 / "xfiles";
    fs::create_directories(prefix / "dosdevices" / "d:");
    fs::create_directories(prefix / "dosdevices" / "e:");

    uint32_t largest = 0, vid_largest = 0;
    uint64_t unpacked = 0;
    const double pak = bench::make_pak(prefix, &largest);
    const double lod = bench::make_packed_icons(prefix, &unpacked, &largest);
    const double snd = bench::make_snd(zund7);
    const double vid = bench::make_vid(prefix, zund7, vid_largest);
    const uint64_t tables = bench::make_tables(xfiles, 40, 4750, 20000);
    bench::release_memory();
    // The entry files of the icons archive, every tenth with a ready entry
    // file; the template, and the team's translation of it.
    fs::create_directories(xfiles / "icons_all");
    fs::create_directories(xfiles / "icons_ready");
    for (const char* job : {"extractlod_icons", "exportpo"})
        if (bench::run({bin + "/" + job}, work.string(), prefix.string()).exit_code != 0) {
            std::fprintf(stderr, "%s failed\n", job);
            return 1;
        }
    for (const auto& e : fs::directory_iterator(xfiles / "icons_all")) {
        std::string name = e.path().filename().string();
        if (std::stoul(name.substr(0, 4)) % 10 == 0) fs::copy_file(e.path(), xfiles / "icons_ready" / name);
    }
    bench::write_all(xfiles / "zund7.po", bench::translated_po(bench::read_all(xfiles / "zund7.pot")));
    // The fonts: the game's, and the one buildfont made.
    fs::create_directories(c / "games" / "zundfiles");
    fs::create_directories(c / "games" / "hexfiles" / "fonts");
    fs::create_directories(prefix / "dosdevices" / "e:" / "games" / "zundfiles");
    bench::write_file(c / "games" / "zundfiles" / "comic.fnt", bench::make_font());
    bench::write_file(c / "games" / "hexfiles" / "fonts" / "comic.fnt", bench::make_font());
    bench::write_file(prefix / "dosdevices" / "e:" / "games" / "zundfiles" / "comic.fnt", bench::make_font());
    bench::release_memory();

    const std::vector<std::string> archives = {(c / "games" / "Brassjaw" / "main" / "pak0.pak").string(),
                                               (c / "games" / "ZUND7" / "data" / "icons1.lod").string(),
                                               (zund7 / "Sounds" / "Audio1.snd").string(),
                                               (prefix / "dosdevices" / "d:" / "Anims" / "Velor7.vid").string()};
    std::printf("status on every chain at once: archives of %.0f (PAK), %.0f (LOD, %llu bytes unpacked), %.0f (SND) "
                "and %.0f (VID) bytes, 4241 entry files, %.1f MB of tables, zund7.po %.1f MB\n",
                pak, lod, static_cast<unsigned long long>(unpacked), snd, vid, tables / 1e6,
                fs::file_size(xfiles / "zund7.po") / 1e6);

    const int rounds = 5;
    // status lists what a job would refuse (exit code 1) as readily as it
    // finds nothing to say (0).
    std::vector<Timing> t = alternate({{bin + "/importpo"}, {bin + "/locbench", "status"}}, work, prefix, rounds, {0, 1});
    const double limit = t[0].seconds + 0.2;
    std::printf("%-16s %8.3f s  importpo %8.3f s  (target %.3f s)  peak %6.1f MiB (limit 32 MiB)  %s\n", "status",
                t[1].seconds, t[0].seconds, limit, t[1].peak_kib / 1024.0,
                t[1].seconds <= limit && t[1].peak_kib <= 32 * 1024 ? "ok" : "MISSED");
    std::printf("%-16s %8.3f s  peak %6.1f MiB\n", "importpo", t[0].seconds, t[0].peak_kib / 1024.0);

    std::vector<std::string> python = {"python3", "-c", kPythonVerify};
    python.insert(python.end(), archives.begin(), archives.end());
    t = alternate({python, {bin + "/locbench", "status", "--verify"}}, work, prefix, rounds, {0, 1});
    std::printf("%-16s %8.3f s  python loop %8.3f s  ratio %5.2f (target 1.20)  peak %6.1f MiB (limit 32 MiB)  %s\n",
                "status --verify", t[1].seconds, t[0].seconds, t[1].seconds / t[0].seconds, t[1].peak_kib / 1024.0,
                t[1].seconds <= 1.2 * t[0].seconds && t[1].peak_kib <= 32 * 1024 ? "ok" : "MISSED");
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
