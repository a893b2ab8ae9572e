// Benchmarks of patchpak and extractpak on archives of the game's own size:
// 456 members, 113,888,255 bytes of data, a few translated replacements, in
// two shapes. Each job is compared with cp (and patchpak with cp + mv) of the
// same archive, run in turn, and its peak memory reported.
//
//   bench_pak <bin folder> [work folder]
//
// With BENCH_BEFORE set to the bin folder of another build, that build's
// patchpak runs in turn with this one's and cp + mv on the same data.
#include "harness.hpp"

#include <random>

namespace fs = std::filesystem;

namespace {

struct Shape {
    const char* name;
    std::vector<uint32_t> sizes;
    std::vector<std::pair<uint32_t, uint32_t>> replaced; // member, size of its replacement
};

// Mostly small members and every 40th a large one; replacements of about half
// their member's size, so that the runs after them move by odd amounts.
Shape mixed() {
    const uint32_t count = 456, total = 113888255;
    Shape s{"mixed sizes, 4 replacements of half size", std::vector<uint32_t>(count), {}};
    uint64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        s.sizes[i] = (i % 40 == 7) ? 6000000 + i * 1000 : 20000 + (i * 7919) % 90000;
        sum += s.sizes[i];
    }
    s.sizes[count - 1] += uint32_t(total - sum); // the rest goes to the last member
    for (uint32_t i : {0u, 7u, 100u, 455u}) s.replaced.push_back({i, s.sizes[i] / 2 + 1234});
    return s;
}

// Sizes drawn between 1,000 and 400,000 bytes and one large last member;
// three members replaced by files of 5,000 bytes, so that every member after
// the first replacement lies at another place within its 4 KiB pages.
Shape shifted() {
    const uint32_t count = 456, total = 113888255;
    Shape s{"sizes 1,000 to 400,000, 3 replacements of 5,000 bytes", std::vector<uint32_t>(count), {}};
    std::mt19937 rng(456);
    std::uniform_int_distribution<uint32_t> size(1000, 400000);
    uint64_t sum = 0;
    for (uint32_t i = 0; i + 1 < count; ++i) sum += s.sizes[i] = size(rng);
    s.sizes[count - 1] = uint32_t(total - sum);
    for (uint32_t i : {3u, 100u, 300u}) s.replaced.push_back({i, 5000});
    return s;
}

std::string flat(uint32_t i) { return "data+part" + std::to_string(i / 50) + "+m" + std::to_string(i) + ".bin"; }

// Writes the archive of `s` as `path` and its replacements into `rus`; the
// archive's size.
double make_game(const Shape& s, const fs::path& path, const fs::path& rus) {
    uint64_t total = 0;
    for (uint32_t n : s.sizes) total += n;
    std::vector<uint8_t> pak = {'P', 'A', 'C', 'K'}, dir, member;
    bench::put_u32(pak, uint32_t(12 + total));
    bench::put_u32(pak, uint32_t(s.sizes.size() * 64));
    for (uint32_t i = 0; i < s.sizes.size(); ++i) {
        member.resize(s.sizes[i]);
        bench::fill(member, i);
        uint32_t at = uint32_t(pak.size());
        pak.insert(pak.end(), member.begin(), member.end());
        std::string name = "data/part" + std::to_string(i / 50) + "/m" + std::to_string(i) + ".bin";
        name.resize(56, '\0');
        dir.insert(dir.end(), name.begin(), name.end());
        bench::put_u32(dir, at);
        bench::put_u32(dir, s.sizes[i]);
    }
    pak.insert(pak.end(), dir.begin(), dir.end());
    bench::write_file(path, pak);
    fs::remove_all(rus);
    for (auto [i, size] : s.replaced) {
        member.resize(size);
        bench::fill(member, 1000 + i);
        bench::write_file(rus / flat(i), member);
    }
    double bytes = double(pak.size());
    std::vector<uint8_t>().swap(pak);
    std::vector<uint8_t>().swap(member);
    std::vector<uint8_t>().swap(dir);
    bench::release_memory();
    return bytes;
}

} // namespace

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
    for (const Shape& s : {mixed(), shifted()}) {
        double bytes = make_game(s, original, game / "rus");
        largest = *std::max_element(s.sizes.begin(), s.sizes.end());
        std::printf("patchpak, %s: %zu members, %.0f bytes (largest member %u bytes)\n", s.name, s.sizes.size(),
                    bytes, largest);
        // Every run starts from the same archive, written anew (so that each
        // frees the blocks of the one it replaces, as on a game install).
        auto restore = [&] { fs::copy_file(original, archive, fs::copy_options::overwrite_existing); };
        // Both write a new file each time (patchpak its pak1.pak).
        bench::Result r = bench::compare("patchpak", {bin + "/patchpak"}, cwd, prefix.string(),
                                         {"cp", "../main/pak0.pak", (work / "copy.pak").string()}, bytes, 7, restore,
                                         [&] { fs::remove(work / "copy.pak"); });
        bench::print(r, largest);
        // patchpak also puts its new archive in the old one's place, which
        // frees the old archive's blocks: the same copy followed by that swap.
        const std::vector<std::string> cp_mv = {
            "sh", "-c", "cp ../main/pak0.pak ../main/copy.pak && mv -f ../main/copy.pak ../main/pak0.pak"};
        r = bench::compare("  against cp + mv", {bin + "/patchpak"}, cwd, prefix.string(), cp_mv, bytes, 7, restore,
                           restore);
        bench::print(r, largest, 1.2);
        if (before) {
            r = bench::compare("  earlier build", {bin + "/patchpak"}, cwd, prefix.string(),
                               {std::string(before) + "/patchpak"}, bytes, 7, restore, restore, prefix.string());
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
