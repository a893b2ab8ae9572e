// Benchmark of applytextbin on a text.bin of the second game's shape: 100,000
// texts of 20 to 70 bytes (now and then a line feed), each after a 4-byte
// binary field, about 5 MB; every text translated (Cyrillic letters for
// Latin ones, some translations shorter than their texts).
//
// applytextbin is compared with dumptextbin on the same text.bin (target: at
// most 2 times its time), with the list as dumptextbin writes it
// (Windows-1251) and saved as UTF-8 with a byte-order mark. Peak memory:
// at most twice text.bin plus 16 MiB.
//
//   bench_textbin <bin folder> [work folder]
#include "data.hpp"
#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

const char* const kWords[] = {"the",    "door",  "is",    "locked", "you",   "need",   "a",     "key",
                              "captain", "ship", "sails", "north",  "brass", "engine", "steam", "gear",
                              "crew",   "waits", "for",   "orders", "at",    "dawn",   "port",  "storm"};

using bench::read_all;
using bench::Rng;
using bench::write_all;

// The translator: Latin letters become Cyrillic ones (Windows-1251), every
// third text loses its last word.
std::string translated(const std::string& text, uint64_t n) {
    std::string t = text;
    if (n % 3 == 0) {
        size_t cut = t.find_last_of(" ~");
        if (cut != std::string::npos && cut > 0) t.resize(cut);
    }
    for (char& c : t)
        if (c >= 'a' && c <= 'z') c = char(0xE0 + (c - 'a'));
    return t;
}

// dumptextbin's list with a translation in place of every placeholder.
std::string filled_list(const std::string& list) {
    const std::string prompt = "\xCF\xE8\xF8\xE8 \xE7\xE4\xE5\xF1\xFC";
    std::string out, text;
    out.reserve(list.size());
    uint64_t n = 0;
    for (size_t p = 0; p < list.size();) {
        size_t e = list.find("\r\n", p);
        if (e == std::string::npos) e = list.size();
        std::string_view line(list.data() + p, e - p);
        if (line == prompt) {
            out += translated(text, n++);
        } else {
            if (!line.empty() && line[0] == '{') {
                size_t t = line.find("}{", line.find("}{") + 2) + 2;
                text = std::string(line.substr(t, line.size() - t - 1));
            }
            out += line;
        }
        out += "\r\n";
        p = e + 2;
    }
    return out;
}

// Windows-1251 to UTF-8 for the letters this benchmark uses.
std::string utf8(const std::string& s) {
    std::string out = "\xEF\xBB\xBF";
    for (unsigned char c : s) {
        unsigned cp = c < 0x80 ? c : c >= 0xE0 ? 0x0430 + (c - 0xE0) : c >= 0xC0 ? 0x0410 + (c - 0xC0) : 0;
        if (cp == 0) {
            std::fprintf(stderr, "unexpected byte %02X\n", c);
            std::exit(1);
        }
        if (cp < 0x80) {
            out += char(cp);
        } else {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_textbin", "/tmp/locbench-bench-textbin");
    const fs::path prefix = args.work / "prefix";
    const fs::path xfiles = prefix / "dosdevices" / "c:" / "games" / "Brassjaw" / "xfiles";
    fs::create_directories(xfiles / "text_!");

    const int texts = 100000;
    uint64_t bin_size = 0;
    {
        Rng rng{0x7E57};
        std::string bin;
        for (int i = 0; i < texts; ++i) {
            // A binary field that holds no printable byte, then the text.
            bin += char(0x80 | (i & 0x7F));
            bin += char(0x01);
            bin += char(0x90 | (rng.next() & 0x0F));
            bin += '\0';
            size_t length = 20 + rng.next() % 51;
            std::string text;
            while (text.size() < length) {
                if (!text.empty()) text += rng.next() % 17 == 0 ? '\n' : ' ';
                text += kWords[rng.next() % (sizeof kWords / sizeof *kWords)];
            }
            text.resize(length);
            if (text.back() == ' ' || text.back() == '\n') text.back() = '.';
            bin += text;
            bin += '\0';
        }
        write_all(xfiles / "text.bin", bin);
        bin_size = bin.size();
    }
    const double mib = 1048576.0;
    std::printf("text.bin: %d texts, %llu bytes\n", texts, (unsigned long long)bin_size);

    // What is made here is freed before each job is timed: a child's peak
    // memory counts what it had before it started the job.
    bench::release_memory();
    const int rounds = 5;
    const bench::Timing dump = bench::time_job(args.bin, "dumptextbin", args.work, prefix, rounds);
    write_all(xfiles / "text.txt", filled_list(read_all(xfiles / "text.txt")));
    const uint64_t list_size = fs::file_size(xfiles / "text.txt");
    bench::release_memory();
    const bench::Timing apply = bench::time_job(args.bin, "applytextbin", args.work, prefix, rounds);
    if (fs::file_size(xfiles / "text_!" / "text.bin") != bin_size) {
        std::fprintf(stderr, "applytextbin wrote a file of another length\n");
        return 1;
    }
    write_all(xfiles / "text.txt", utf8(read_all(xfiles / "text.txt")));
    const uint64_t utf8_size = fs::file_size(xfiles / "text.txt");
    bench::release_memory();
    const bench::Timing apply_utf8 = bench::time_job(args.bin, "applytextbin", args.work, prefix, rounds);

    std::printf("files: text.txt filled in %.1f MB (Windows-1251), %.1f MB (UTF-8)\n", list_size / 1e6,
                utf8_size / 1e6);
    std::printf("%-26s %8.3f s  peak %6.1f MiB\n", "dumptextbin", dump.seconds, dump.peak_kib / 1024.0);
    const double limit = 2 * bin_size / mib + 16;
    struct Row {
        const char* name;
        bench::Timing t;
    };
    for (const Row& r : {Row{"applytextbin", apply}, Row{"applytextbin, UTF-8 list", apply_utf8}}) {
        double ratio = r.t.seconds / dump.seconds;
        double peak = r.t.peak_kib / 1024.0;
        std::printf("%-26s %8.3f s  ratio %5.2f (target 2.00)  peak %6.1f MiB (limit %6.1f MiB)  %s\n", r.name,
                    r.t.seconds, ratio, peak, limit, ratio <= 2 && peak <= limit ? "ok" : "MISSED");
    }
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
