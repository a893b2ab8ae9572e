// Benchmarks of updatesnd and mixsmk on archives of a few hundred MB: a
// 320 MB sound archive of 2,000 members, first with 4 translated members
// ready, then with every member extracted into the ready folder (the archive
// comes back byte for byte); and a 300 MB video archive of 14 members with
// two translated videos.
//
// Both jobs pass the members through a temporary file and then copy that
// file behind the directory into the new archive: each job is compared with
// one cp of the archive and with two cp one after the other (the bytes the
// job moves), alternating, and its peak memory is reported.
//
//   bench_sndvid <bin folder> [work folder]
#include "data.hpp"
#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

// Runs `job` against one cp of the archive and against two cp one after the
// other, alternating, 7 rounds after one warm-up round; prints a result line
// for each.
void compare(const std::string& name, const std::string& job, const fs::path& work, const fs::path& prefix,
             const fs::path& archive, double bytes, uint32_t largest) {
    const std::string a = archive.string(), c1 = (work / "copy1").string(), c2 = (work / "copy2").string();
    std::vector<double> jt, one, two;
    long peak = 0;
    for (int r = 0; r <= 7; ++r) {
        bench::Sample j = bench::run({job}, work.string(), prefix.string());
        if (j.exit_code != 0) {
            std::fprintf(stderr, "%s failed with exit code %d\n", name.c_str(), j.exit_code);
            std::exit(1);
        }
        bench::Sample o = bench::run({"cp", a, c1}, work.string(), "");
        bench::Sample t = bench::run({"sh", "-c", "cp \"$0\" \"$1\" && cp \"$1\" \"$2\"", a, c1, c2}, work.string(), "");
        if (r == 0) continue;
        jt.push_back(j.seconds);
        one.push_back(o.seconds);
        two.push_back(t.seconds);
        peak = std::max(peak, j.peak_kib);
    }
    bench::print({name, bench::median(jt), bench::median(one), peak, bytes}, largest);
    bench::print({"  against 2 cp", bench::median(jt), bench::median(two), peak, bytes}, largest);
    fs::remove(c1);
    fs::remove(c2);
}

bool same_file(const fs::path& a, const fs::path& b) {
    return bench::run({"cmp", "-s", a.string(), b.string()}, ".", "").exit_code == 0;
}

} // namespace

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_sndvid", "/tmp/locbench-bench");
    const std::string& bin = args.bin;
    const fs::path& work = args.work;
    fs::path prefix = work / "prefix";
    fs::path zund7 = prefix / "dosdevices" / "c:" / "games" / "zund7";
    fs::path audio1 = zund7 / "Sounds" / "Audio1.snd", audio = zund7 / "Sounds" / "Audio.snd";

    uint32_t snd_largest = 0, vid_largest = 0;
    for (uint32_t i = 0; i < bench::kSounds; ++i) snd_largest = std::max(snd_largest, bench::sound_size(i));
    double snd_size = bench::make_snd(zund7);
    double vid_size = bench::make_vid(prefix, zund7, vid_largest);
    bench::release_memory();

    std::printf("updatesnd on %u members, %.0f bytes (largest member %u bytes)\n", bench::kSounds, snd_size, snd_largest);
    compare("updatesnd, 4 ready", bin + "/updatesnd", work, prefix, audio1, snd_size, snd_largest);

    // Every member extracted, with a plain ".wav" of its unpacked size: the
    // rebuilt archive is the old one again.
    fs::path ready = zund7 / "xfiles" / "sound_ready";
    fs::remove_all(ready);
    fs::create_directories(ready);
    if (bench::run({bin + "/extractsnd"}, work.string(), prefix.string()).exit_code != 0) {
        std::fprintf(stderr, "extractsnd failed\n");
        return 1;
    }
    for (uint32_t i = 0; i < bench::kSounds; ++i) {
        fs::path wav = ready / ("snd" + std::to_string(i) + ".wav");
        bench::write_file(wav, {});
        fs::resize_file(wav, uint64_t(bench::sound_size(i)) * 3);
    }
    compare("updatesnd, all ready", bin + "/updatesnd", work, prefix, audio1, snd_size, snd_largest);
    if (!same_file(audio, audio1)) {
        std::fprintf(stderr, "updatesnd with every member ready did not give the same archive\n");
        return 1;
    }
    fs::remove_all(ready);
    fs::remove(audio);

    std::printf("mixsmk on 14 members, %.0f bytes (largest member or video %u bytes), 2 translated videos\n",
                vid_size, vid_largest);
    compare("mixsmk", bin + "/mixsmk", work, prefix, prefix / "dosdevices" / "d:" / "Anims" / "Velor7.vid", vid_size,
            vid_largest);
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
