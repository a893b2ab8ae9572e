// Benchmarks of patchpak and extractpak on an archive of the game's own size:
// 456 members, 113,888,255 bytes of data, a few translated replacements.
// Each is compared with cp of the same archive, and its peak memory reported.
//
//   bench_pak <bin folder> [work folder]
#include "harness.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_pak", "/tmp/locbench-bench");
    const std::string& bin = args.bin;
    const fs::path& work = args.work;
    fs::path prefix = work / "prefix";
    fs::path game = prefix / "dosdevices" / "c:" / "games" / "Brassjaw";
    fs::create_directories(game / "bin");
    fs::create_directories(game / "xfiles" / "pak");

    // Member sizes: mostly small files, some large ones, totalling exactly the
    // game archive's 113,888,255 bytes.
    const uint32_t count = 456, total = 113888255;
    std::vector<uint32_t> sizes(count);
    uint64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        sizes[i] = (i % 40 == 7) ? 6000000 + i * 1000 : 20000 + (i * 7919) % 90000;
        sum += sizes[i];
    }
    sizes[count - 1] += uint32_t(total - sum); // the rest goes to the last member
    uint32_t largest = *std::max_element(sizes.begin(), sizes.end());

    std::vector<uint8_t> pak = {'P', 'A', 'C', 'K'};
    bench::put_u32(pak, 12 + total);
    bench::put_u32(pak, count * 64);
    std::vector<uint8_t> dir;
    std::vector<uint8_t> member;
    for (uint32_t i = 0; i < count; ++i) {
        member.resize(sizes[i]);
        bench::fill(member, i);
        uint32_t at = uint32_t(pak.size());
        pak.insert(pak.end(), member.begin(), member.end());
        std::string name = "data/part" + std::to_string(i / 50) + "/m" + std::to_string(i) + ".bin";
        name.resize(56, '\0');
        dir.insert(dir.end(), name.begin(), name.end());
        bench::put_u32(dir, at);
        bench::put_u32(dir, sizes[i]);
    }
    pak.insert(pak.end(), dir.begin(), dir.end());
    bench::write_file(game / "main" / "pak0.pak", pak);
    // Replacements of other sizes for a few members, one of them a large one.
    for (uint32_t i : {0u, 7u, 100u, 455u}) {
        member.resize(sizes[i] / 2 + 1234);
        bench::fill(member, 1000 + i);
        bench::write_file(game / "rus" / ("data+part" + std::to_string(i / 50) + "+m" + std::to_string(i) + ".bin"),
                          member);
    }
    double archive = double(pak.size());
    std::vector<uint8_t>().swap(pak);
    std::vector<uint8_t>().swap(member);
    std::vector<uint8_t>().swap(dir);
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
