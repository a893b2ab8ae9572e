// Benchmarks of patchpak and extractpak on an archive of the game's own size:
// 456 members, 113,888,255 bytes of data, a few translated replacements.
// Each is compared with cp of the same archive, and its peak memory reported.
//
//   bench_pak <bin folder> [work folder]
#include "data.hpp"
#include "harness.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_pak", "/tmp/locbench-bench");
    const std::string& bin = args.bin;
    const fs::path& work = args.work;
    fs::path prefix = work / "prefix";
    fs::path game = prefix / "dosdevices" / "c:" / "games" / "Brassjaw";
    uint32_t largest = 0;
    const uint32_t count = 456;
    double archive = bench::make_pak(prefix, &largest);
    bench::release_memory();

    std::printf("patchpak on %u members, %.0f bytes (largest member %u bytes), 4 replacements\n", count, archive,
                largest);
    // Both write a new file each time (patchpak its pak1.pak).
    bench::Result r = bench::compare("patchpak", {bin + "/patchpak"}, (game / "bin").string(), prefix.string(),
                                     {"cp", "../main/pak0.pak", (work / "copy.pak").string()}, archive, 5, {},
                                     [&] { fs::remove(work / "copy.pak"); });
    bench::print(r, largest);
    // patchpak also puts its new archive in the old one's place, which frees
    // the old archive's blocks: the same copy followed by that swap.
    r = bench::compare("  against cp + mv", {bin + "/patchpak"}, (game / "bin").string(), prefix.string(),
                       {"sh", "-c", "cp ../main/pak0.pak ../main/copy.pak && mv -f ../main/copy.pak ../main/pak0.pak"},
                       archive, 5);
    bench::print(r, largest);
    // extractpak writes 456 files: its copy is cp of a folder holding the
    // same files (made by a first run), and both write into empty folders.
    fs::path out = game / "xfiles" / "pak", ref = work / "members", copy = work / "copy";
    bench::run({bin + "/extractpak"}, (game / "bin").string(), prefix.string());
    fs::rename(out, ref);
    auto fresh = [](const fs::path& p) {
        return [p] {
            fs::remove_all(p);
            fs::create_directories(p);
        };
    };
    r = bench::compare("extractpak", {bin + "/extractpak"}, (game / "bin").string(), prefix.string(),
                       {"sh", "-c", "cp " + ref.string() + "/* " + copy.string()}, archive, 5, fresh(out),
                       fresh(copy));
    bench::print(r, largest);
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
