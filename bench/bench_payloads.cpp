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
#include "harness.hpp"

#include <zlib.h>

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

// Pixels of an image-like payload: runs of a few colours, which zlib packs
// to about a third.
void fill_pixels(std::vector<uint8_t>& buf, uint32_t seed) {
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    size_t i = 0;
    while (i < buf.size()) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        size_t run = 1 + (x >> 8) % 6;
        uint8_t colour = uint8_t((x >> 16) % 24);
        for (size_t k = 0; k < run && i < buf.size(); ++k) buf[i++] = colour;
    }
}

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

    // The unpacked sizes: the sizes of the LOD benchmark's entries, 2.75
    // times over, so that the packed archive comes to about 30 MB as well.
    const uint32_t count = 4241;
    std::vector<uint8_t> lod(288, 0);
    bench::fill(lod, 1);
    lod.resize(288 + 32 * count);
    uint64_t pos = 32ull * count, unpacked_total = 0;
    uint32_t largest = 0;
    std::vector<uint8_t> pixels, entry;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t old_size = (k % 500 == 7) ? 200000 + k : 48 + 2000 + (k * 7919) % 10000;
        pixels.resize(old_size * 11 / 4);
        fill_pixels(pixels, 100 + k);
        uLongf zn = compressBound(uLong(pixels.size()));
        entry.assign(48 + zn, 0);
        if (compress2(entry.data() + 48, &zn, pixels.data(), uLong(pixels.size()), Z_BEST_COMPRESSION) != Z_OK) {
            std::fprintf(stderr, "compress2 failed\n");
            return 1;
        }
        entry.resize(48 + zn);
        std::snprintf(reinterpret_cast<char*>(entry.data()), 16, "icon%04u.bmp", k);
        for (int i = 0; i < 4; ++i) {
            entry[20 + i] = uint8_t(zn >> (8 * i));
            entry[40 + i] = uint8_t(pixels.size() >> (8 * i));
        }
        if (k % 500 == 7) { // a large image: its palette follows the payload
            std::vector<uint8_t> palette(768);
            bench::fill(palette, k);
            entry.insert(entry.end(), palette.begin(), palette.end());
        }
        uint8_t* e = lod.data() + 288 + 32 * k;
        std::snprintf(reinterpret_cast<char*>(e), 16, "icon%04u.bmp", k);
        for (int i = 0; i < 4; ++i) {
            e[16 + i] = uint8_t(pos >> (8 * i));
            e[20 + i] = uint8_t(entry.size() >> (8 * i));
        }
        pos += entry.size();
        lod.insert(lod.end(), entry.begin(), entry.end());
        unpacked_total += pixels.size();
        largest = std::max<uint32_t>(largest, uint32_t(pixels.size()));
    }
    uint32_t region = uint32_t(lod.size() - 288);
    for (int i = 0; i < 4; ++i) lod[276 + i] = uint8_t(region >> (8 * i));
    for (int i = 0; i < 4; ++i) lod[284 + i] = uint8_t(count >> (8 * i));
    bench::write_file(data / "icons1.lod", lod);
    double archive = double(lod.size());
    std::vector<uint8_t>().swap(lod);
    std::vector<uint8_t>().swap(pixels);
    std::vector<uint8_t>().swap(entry);
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
