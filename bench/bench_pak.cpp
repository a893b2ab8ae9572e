// Benchmarks of patchpak and extractpak on archives of the game's own size:
// 456 members, 113,888,255 bytes of data, a few translated replacements, in
// two shapes. Each job is compared with cp (and patchpak with cp + mv) of the
// same archive, run in turn, and its peak memory reported.
//
//   bench_pak <bin folder> [work folder]
//
// With BENCH_BEFORE set to the bin folder of another build, that build's
// patchpak runs in turn with this one's and cp + mv on the same data.
#include "data.hpp"
#include "harness.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_pak", "/tmp/locbench-bench");
    const std::string& bin = args.bin;
    const char* before = std::getenv("BENCH_BEFORE");
    const fs::path& work = args.work;
    fs::path prefix = work / "prefix";
    fs::path game = prefix / "dosdevices" / "c:" / "games" / "Brassjaw";
    fs::path archive = game / "main" / "pak0.pak", original = work / "original.pak";
    fs::create_directories(game / "bin");
    fs::create_directories(game / "main");
    fs::create_directories(game / "xfiles" / "pak");
    const std::string cwd = (game / "bin").string();

    uint32_t largest = 0;
    for (const bench::PakShape& s : {bench::pak_mixed(), bench::pak_shifted()}) {
        double bytes = bench::write_pak(s, original, game / "rus");
        bench::release_memory();
        largest = s.largest();
        std::printf("patchpak, %s: %zu members, %.0f bytes (largest member %u bytes)\n", s.name, s.sizes.size(),
                    bytes, largest);
        // Every run starts from the same archive, written anew (so that each
        // frees the blocks of the one it replaces, as on a game install).
        auto restore = [&] { fs::copy_file(original, archive, fs::copy_options::overwrite_existing); };
        // Both write a new file each time (patchpak its pak1.pak).
        bench::Result r = bench::compare("patchpak", {bin + "/patchpak"}, cwd, prefix.string(),
                                         {"cp", "../main/pak0.pak", (work / "copy.pak").string()}, bytes, 11, restore,
                                         [&] { fs::remove(work / "copy.pak"); });
        bench::print(r, largest);
        // patchpak also puts its new archive in the old one's place, which
        // frees the old archive's blocks: the same copy followed by that swap.
        const std::vector<std::string> cp_mv = {
            "sh", "-c", "cp ../main/pak0.pak ../main/copy.pak && mv -f ../main/copy.pak ../main/pak0.pak"};
        r = bench::compare("  against cp + mv", {bin + "/patchpak"}, cwd, prefix.string(), cp_mv, bytes, 11, restore,
                           restore);
        bench::print(r, largest, 1.2);
        if (before) {
            r = bench::compare("  earlier build", {bin + "/patchpak"}, cwd, prefix.string(),
                               {std::string(before) + "/patchpak"}, bytes, 11, restore, restore, prefix.string());
            bench::print(r, largest, 1.0, "earlier");
        }
    }
    fs::remove(original);

    // extractpak writes 456 files (of the second shape's archive, patched):
    // its copy is cp of a folder holding the same files (made by a first
    // run), and both write into empty folders.
    fs::path out = game / "xfiles" / "pak", ref = work / "members", copy = work / "copy";
    bench::run({bin + "/extractpak"}, cwd, prefix.string());
    fs::rename(out, ref);
    auto fresh = [](const fs::path& p) {
        return [p] {
            fs::remove_all(p);
            fs::create_directories(p);
        };
    };
    bench::Result r = bench::compare("extractpak", {bin + "/extractpak"}, cwd, prefix.string(),
                                     {"sh", "-c", "cp " + ref.string() + "/* " + copy.string()},
                                     double(fs::file_size(archive)), 5, fresh(out), fresh(copy));
    bench::print(r, largest);
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
