// locbench release, install and uninstall on SND archives of 64 and 256 MiB
// with 1 % of their members replaced: the patch's size against the replaced
// members' bytes, release against reading both files once (cat), install and
// uninstall against cp + mv of the same file, install against xdelta3 -d of
// the same patch (which checks nothing), and the peak memory of each.
//
//   bench_release <bin folder> [work folder]
#include "harness.hpp"

#include <cstring>

namespace fs = std::filesystem;

namespace {

struct Archive {
    std::vector<uint8_t> original, translated;
    uint64_t replaced = 0;
};

// An SND archive of `members` members of `member_size` bytes; every
// hundredth replaced by other bytes of the same size.
Archive make(uint32_t members, uint32_t member_size) {
    Archive a;
    auto build = [&](bool translated) {
        std::vector<uint8_t> out;
        bench::put_u32(out, members);
        uint32_t at = 4 + 52 * members;
        for (uint32_t i = 0; i < members; ++i) {
            char name[40] = {};
            std::snprintf(name, sizeof name, "voice%05u", i);
            out.insert(out.end(), name, name + 40);
            bench::put_u32(out, at);
            bench::put_u32(out, member_size);
            bench::put_u32(out, member_size * 2);
            at += member_size;
        }
        std::vector<uint8_t> m(member_size);
        for (uint32_t i = 0; i < members; ++i) {
            bool replaced = translated && i % 100 == 50;
            bench::fill(m, replaced ? 1000000 + i : i);
            if (replaced) a.replaced += member_size;
            out.insert(out.end(), m.begin(), m.end());
        }
        return out;
    };
    a.original = build(false);
    a.translated = build(true);
    return a;
}

void copy_over(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

} // namespace

int main(int argc, char** argv) {
    bench::Setup s = bench::setup(argc, argv, "bench_release", "/tmp/locbench-bench-release");
    const std::string locbench = s.bin + "/locbench";
    const int rounds = 5;
    std::printf("%-26s %10s %10s %8s %8s %10s\n", "step", "locbench", "other", "ratio", "target", "peak MiB");
    for (uint32_t mib : {64u, 256u}) {
        fs::path w = s.work / std::to_string(mib);
        double replaced = 0;
        {
            Archive a = make(mib * 4, 256 * 1024); // members of 256 KiB
            bench::write_file(w / "orig" / "Audio.snd", a.original);
            bench::write_file(w / "trans" / "Audio.snd", a.translated);
            replaced = double(a.replaced);
            std::printf("%u MiB archive, %u members, %.1f MiB replaced\n", mib, mib * 4, a.replaced / 1048576.0);
        }
        bench::release_memory();
        const std::string orig = (w / "orig").string(), trans = (w / "trans").string(), out = (w / "out").string(),
                          game = (w / "game").string();
        fs::create_directories(game);
        auto row = [](const char* what, const bench::Result& r, double target) {
            std::printf("%-26s %8.3f s %8.3f s %8.2f %8.2f %10.1f  %s\n", what, r.job_s, r.copy_s, r.job_s / r.copy_s,
                        target, r.peak_kib / 1024.0, r.job_s / r.copy_s <= target && r.peak_kib <= 32 * 1024 ? "ok" : "MISSED");
        };
        bench::Result rel = bench::compare("release", {locbench, "release", orig, trans, out}, w.string(), "",
                                           {"sh", "-c", "cat orig/Audio.snd trans/Audio.snd >/dev/null"}, 0, rounds,
                                           [&] { fs::remove_all(out); });
        row("release / cat of both", rel, 1.2);
        double patch = double(fs::file_size(w / "out" / "patches" / "Audio.snd.vcdiff"));
        std::printf("%-26s %.0f bytes for %.0f replaced bytes (%.3f %% above)\n", "patch", patch, replaced,
                    100.0 * (patch - replaced) / replaced);
        auto fresh_game = [&] {
            fs::remove_all(w / "game" / "locbench-uninstall");
            copy_over(w / "orig" / "Audio.snd", w / "game" / "Audio.snd");
        };
        bench::Result ins = bench::compare(
            "install", {locbench, "install", out, game}, w.string(), "",
            {"sh", "-c", "cp trans/Audio.snd game/Audio.snd.tmp && mv game/Audio.snd.tmp game/Audio.snd"}, 0, rounds,
            fresh_game, fresh_game);
        row("install / cp + mv", ins, 1.3);
        bench::Result x = bench::compare("install", {locbench, "install", out, game}, w.string(), "",
                                         {"xdelta3", "-d", "-f", "-s", "game/Audio.snd",
                                          "out/patches/Audio.snd.vcdiff", "game/result.snd"},
                                         0, rounds, fresh_game, fresh_game);
        row("install / xdelta3 -d", x, 1.25);
        auto installed = [&] {
            fresh_game();
            bench::run({locbench, "install", out, game}, w.string(), "");
        };
        bench::Result un = bench::compare(
            "uninstall", {locbench, "uninstall", game}, w.string(), "",
            {"sh", "-c", "cp orig/Audio.snd game/Audio.snd.tmp && mv game/Audio.snd.tmp game/Audio.snd"}, 0, rounds,
            installed, installed);
        row("uninstall / cp + mv", un, 1.3);
        fs::remove_all(w);
    }
    s.finish();
    return 0;
}
