// Benchmarks of the text exchange jobs on tables of the seventh title's
// shape: 40 ".txt" tables of 4,750 rows (two listed columns each, a few
// texts with masked line breaks, some texts repeated) and a string file of
// 20,000 strings, 400,000 texts in about 25 MB.
//
// exportpo and collecttodo are compared with dumptodo, which reads the same
// tables and writes the numbered list (targets: at most 2 times its time);
// importpo too (target: 3 times). Peak memory is compared with the size of
// the tables: it must stay below it, whatever the size of the PO file.
//
//   bench_texts <bin folder> [work folder]
#include "data.hpp"
#include "harness.hpp"

#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_texts", "/tmp/locbench-bench-texts");
    const fs::path prefix = args.work / "prefix";
    const fs::path xfiles = prefix / "dosdevices" / "c:" / "games" / "zund7" / "xfiles";
    const fs::path text = xfiles / "text";
    fs::create_directories(text);

    const int tables = 40, rows = 4750, strings = 20000;
    const uint64_t bytes = bench::make_tables(xfiles, tables, rows, strings);
    const double mib = 1048576.0;
    std::printf("%d tables of %d rows and a string file of %d strings: %d texts, %.1f MB of tables\n", tables, rows,
                strings, tables * rows * 2 + strings, bytes / 1e6);

    bench::release_memory();
    const int rounds = 3;
    const bench::Timing dump = bench::time_job(args.bin, "dumptodo", args.work, prefix, rounds);
    const bench::Timing exp = bench::time_job(args.bin, "exportpo", args.work, prefix, rounds);
    bench::write_all(xfiles / "zund7.po", bench::translated_po(bench::read_all(xfiles / "zund7.pot")));
    bench::write_all(text / "!out!.txt", bench::filled_list(bench::read_all(text / "!out!.txt")));
    bench::release_memory(); // what was made here must not count as the jobs' memory
    const bench::Timing imp = bench::time_job(args.bin, "importpo", args.work, prefix, rounds);
    const bench::Timing col = bench::time_job(args.bin, "collecttodo", args.work, prefix, rounds);
    // Every translation of zund7.po measured and drawn in the benchmark font.
    bench::write_file(xfiles / "comic.fnt", bench::make_font());
    std::vector<double> pv;
    long pv_peak = 0;
    for (int r = 0; r <= rounds; ++r) {
        bench::Sample s = bench::run({args.bin + "/locbench", "preview", "comic.fnt", "--width", "600", "--from",
                                      "zund7.po", "-o", "preview.png"},
                                     xfiles.string(), prefix.string());
        if (s.exit_code != 0 && s.exit_code != 1) {
            std::fprintf(stderr, "preview failed with exit code %d\n", s.exit_code);
            return 1;
        }
        if (r == 0) continue;
        pv.push_back(s.seconds);
        pv_peak = std::max(pv_peak, s.peak_kib);
    }

    std::printf("files: zund7.pot %.1f MB, zund7.po %.1f MB, filled-in !out!.txt %.1f MB\n",
                fs::file_size(xfiles / "zund7.pot") / 1e6, fs::file_size(xfiles / "zund7.po") / 1e6,
                fs::file_size(text / "!out!.txt") / 1e6);
    std::printf("%-12s %8.3f s  peak %6.1f MiB\n", "dumptodo", dump.seconds, dump.peak_kib / 1024.0);
    struct Row {
        const char* name;
        bench::Timing t;
        double target;
    };
    for (const Row& r : {Row{"exportpo", exp, 2}, Row{"importpo", imp, 3}, Row{"collecttodo", col, 2}}) {
        double ratio = r.t.seconds / dump.seconds;
        double peak = r.t.peak_kib / 1024.0;
        std::printf("%-12s %8.3f s  ratio %5.2f (target %.2f)  peak %6.1f MiB (tables %6.1f MiB)  %s\n", r.name,
                    r.t.seconds, ratio, r.target, peak, bytes / mib,
                    ratio <= r.target && peak <= bytes / mib ? "ok" : "MISSED");
    }
    const double pv_s = bench::median(pv);
    std::printf("%-12s %8.3f s  (target 2.000 s)  peak %6.1f MiB  %s\n", "preview", pv_s, pv_peak / 1024.0,
                pv_s <= 2.0 ? "ok" : "MISSED");
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
