// Benchmarks of unpackpayloads and packpayloads on an icons archive of the
// game's shape (4241 entries, about 30 MB, mostly entries of a few kilobytes
// and a few large images) whose payloads are zlib streams, each against the
// same work done by a loop over Python's zlib on the same files.
//
// unpackpayloads unpacks the 4241 entry files that extractlod_icons writes
// into icons_all; the Python loop reads each, takes stored and unpacked size
// from its trailing header, inflates (stopping one byte past the unpacked
// size, as the job does), checks the length and writes the unpacked file
// beside it. packpayloads packs the 4241 unpacked files, put into the ready
// folder, into X.zl beside them; the Python loop packs each with
// zlib.compress at level 9 and writes X.zl. Both write into folders where
// their outputs are not there yet.
//
//   bench_payloads <bin folder> [work folder]
#include "data.hpp"
#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

const char* const kPythonUnpack = R"(
import os, struct, sys, zlib
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    if not name.endswith('.zl'):
        continue
    path = os.path.join(folder, name)
    data = open(path, 'rb').read()
    at = len(data) - 48
    stored, = struct.unpack_from('<I', data, at + 20)
    unpacked, = struct.unpack_from('<I', data, at + 40)
    d = zlib.decompressobj()
    out = d.decompress(data[:stored], unpacked + 1)
    if len(out) != unpacked or not d.eof:
        sys.exit('damaged ' + path)
    target = path[:-3]
    if os.path.exists(target):
        continue
    with open(target, 'wb') as f:
        f.write(out)
)";

const char* const kPythonPack = R"(
import os, sys, zlib
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    if name.endswith('.zl') or name.endswith('.act'):
        continue
    path = os.path.join(folder, name)
    data = open(path, 'rb').read()
    with open(path + '.zl', 'wb') as f:
        f.write(zlib.compress(data, 9))
)";

void remove_matching(const fs::path& dir, bool packed) {
    for (const auto& e : fs::directory_iterator(dir))
        if ((e.path().extension() == ".zl") == packed) fs::remove(e.path());
}

void print(const bench::Result& r, const char* what) {
    std::printf("%-16s %8.3f s  python loop %8.3f s  ratio %5.2f (target below 1)  peak %7.1f MiB  %s  (%s)\n",
                r.name.c_str(), r.job_s, r.copy_s, r.job_s / r.copy_s, r.peak_kib / 1024.0,
                r.job_s < r.copy_s ? "ok" : "MISSED", what);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_payloads", "/tmp/locbench-bench-payloads");
    const std::string& bin = args.bin;
    const fs::path& work = args.work;
    fs::path prefix = work / "prefix";
    fs::path games = prefix / "dosdevices" / "c:" / "games";
    fs::path data = games / "ZUND7" / "data";
    fs::path icons_all = games / "zund7" / "xfiles" / "icons_all";
    fs::path ready = games / "zundfiles" / "ready";
    fs::create_directories(data);
    fs::create_directories(icons_all);
    fs::create_directories(ready);

    const uint32_t count = 4241;
    uint64_t unpacked_total = 0;
    uint32_t largest = 0;
    double archive = bench::make_packed_icons(prefix, &unpacked_total, &largest);
    bench::release_memory();

    // The entry files, as extractlod_icons writes them.
    if (bench::run({bin + "/extractlod_icons"}, work.string(), prefix.string()).exit_code != 0) {
        std::fprintf(stderr, "extractlod_icons failed\n");
        return 1;
    }
    std::printf("unpackpayloads and packpayloads on %u entries: a %.0f-byte archive, %llu bytes unpacked "
                "(largest payload %u bytes unpacked)\n",
                count, archive, static_cast<unsigned long long>(unpacked_total), largest);

    const std::string python_unpack = kPythonUnpack, python_pack = kPythonPack;
    bench::Result r = bench::compare(
        "unpackpayloads", {bin + "/unpackpayloads"}, work.string(), prefix.string(),
        {"python3", "-c", python_unpack, icons_all.string()}, archive, 5,
        [&] { remove_matching(icons_all, false); }, [&] { remove_matching(icons_all, false); });
    print(r, "Python: zlib.decompressobj per entry file");

    // The unpacked files, as they would lie in the ready folder.
    for (const auto& e : fs::directory_iterator(icons_all))
        if (e.path().extension() != ".zl") fs::rename(e.path(), ready / e.path().filename());
    r = bench::compare("packpayloads", {bin + "/packpayloads"}, work.string(), prefix.string(),
                       {"python3", "-c", python_pack, ready.string()}, double(unpacked_total), 5,
                       [&] { remove_matching(ready, true); }, [&] { remove_matching(ready, true); });
    print(r, "Python: zlib.compress(data, 9) per file");
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
