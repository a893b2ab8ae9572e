// Benchmarks of extractlod_icons and updatelod_icons on an icons archive of
// the game's shape: 4241 entries, about 30 MB, mostly entries of a few
// kilobytes and a few large images.
//
// extractlod_icons writes 4241 entry files: it is compared with cp of a
// folder holding the same files, both writing into empty folders.
// updatelod_icons writes one archive from the source and 425 ready entry
// files: it is compared with cp of the source archive, and with cat of the
// source archive and the ready files into one file (the same files read).
//
//   bench_lod <bin folder> [work folder]
#include "harness.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_lod", "/tmp/locbench-bench-lod");
    const std::string& bin = args.bin;
    const fs::path& work = args.work;
    fs::path prefix = work / "prefix";
    fs::path games = prefix / "dosdevices" / "c:" / "games";
    fs::path data = games / "ZUND7" / "data";
    fs::path xfiles = games / "zund7" / "xfiles";
    fs::create_directories(data);
    fs::create_directories(xfiles / "icons_all");
    fs::create_directories(xfiles / "icons_ready");

    const uint32_t count = 4241;
    std::vector<uint32_t> sizes(count);
    for (uint32_t k = 0; k < count; ++k)
        sizes[k] = (k % 500 == 7) ? 200000 + k : 48 + 2000 + (k * 7919) % 10000;
    uint32_t largest = *std::max_element(sizes.begin(), sizes.end());

    // Head, directory, then the data back to back from data offset 32 x count.
    std::vector<uint8_t> lod(256 + 32, 0);
    bench::fill(lod, 1);
    lod.resize(288 + 32 * count);
    uint64_t pos = 32ull * count;
    std::vector<uint8_t> entry;
    for (uint32_t k = 0; k < count; ++k) {
        uint8_t* e = lod.data() + 288 + 32 * k;
        std::snprintf(reinterpret_cast<char*>(e), 16, "icon%04u.bmp", k);
        for (int i = 0; i < 4; ++i) {
            e[16 + i] = uint8_t(pos >> (8 * i));
            e[20 + i] = uint8_t(sizes[k] >> (8 * i));
        }
        pos += sizes[k];
    }
    for (uint32_t k = 0; k < count; ++k) {
        entry.resize(sizes[k]);
        bench::fill(entry, 100 + k);
        lod.insert(lod.end(), entry.begin(), entry.end());
    }
    uint32_t region = uint32_t(lod.size() - 288);
    for (int i = 0; i < 4; ++i) lod[276 + i] = uint8_t(region >> (8 * i));
    for (int i = 0; i < 4; ++i) lod[284 + i] = uint8_t(count >> (8 * i));
    bench::write_file(data / "icons1.lod", lod);
    // Every tenth entry has a ready entry file of another size.
    uint64_t ready_bytes = 0;
    for (uint32_t k = 0; k < count; k += 10) {
        entry.resize(sizes[k] / 2 + 500);
        bench::fill(entry, 9000 + k);
        char name[64];
        std::snprintf(name, sizeof name, "%04u_icon%04u.bmp.zl", k, k);
        bench::write_file(xfiles / "icons_ready" / name, entry);
        ready_bytes += entry.size();
    }
    double archive = double(lod.size());
    std::vector<uint8_t>().swap(lod);
    std::vector<uint8_t>().swap(entry);
    bench::release_memory();

    std::printf("extractlod_icons and updatelod_icons on %u entries, %.0f bytes (largest entry %u bytes), "
                "%u ready files of %llu bytes\n",
                count, archive, largest, (count + 9) / 10, static_cast<unsigned long long>(ready_bytes));
    auto fresh = [](const fs::path& p) {
        return [p] {
            fs::remove_all(p);
            fs::create_directories(p);
        };
    };

    // extractlod_icons writes 4241 files: its copy is cp of a folder holding
    // the same files (made by a first run), both writing into empty folders.
    fs::path out = xfiles / "icons_all", ref = work / "entries", copy = work / "copy";
    bench::run({bin + "/extractlod_icons"}, work.string(), prefix.string());
    fs::rename(out, ref);
    bench::Result r = bench::compare("extractlod_icons", {bin + "/extractlod_icons"}, work.string(), prefix.string(),
                                     {"sh", "-c", "cp " + ref.string() + "/* " + copy.string()}, archive, 5,
                                     fresh(out), fresh(copy));
    bench::print(r, largest);

    // updatelod_icons writes one new archive; so does its copy: cp of the
    // source archive, and, with ready files, cat of the source archive and
    // the ready files (the files the job reads, into one file). First without
    // ready files: the archive rebuilt as it was.
    fs::path copy_lod = work / "copy.lod", ready = xfiles / "icons_ready", aside = work / "ready";
    auto update = [&](const std::string& name, const std::vector<std::string>& copy) {
        return bench::compare(name, {bin + "/updatelod_icons"}, work.string(), prefix.string(), copy, archive, 5,
                              [&] { fs::remove(data / "icons.lod"); }, [&] { fs::remove(copy_lod); });
    };
    const std::vector<std::string> cp = {"cp", (data / "icons1.lod").string(), copy_lod.string()};
    fs::rename(ready, aside);
    fs::create_directories(ready);
    bench::print(update("updatelod_icons", cp), largest);
    fs::remove(ready);
    fs::rename(aside, ready);
    std::printf("with the ready files:\n");
    bench::print(update("updatelod_icons", cp), largest);
    bench::print(update("  (against cat)", {"sh", "-c",
                                            "cat " + (data / "icons1.lod").string() + " " + ready.string() + "/* > " +
                                                copy_lod.string()}),
                 largest);
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
