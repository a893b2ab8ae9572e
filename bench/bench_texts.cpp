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
#include "harness.hpp"

#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const kWords[] = {"the",   "sword", "of",    "ancient", "kings",  "shield", "gives",  "magic",
                              "power", "to",    "a",     "hero",    "who",    "walks",  "through", "dark",
                              "lands", "and",   "fights", "dragons", "with",  "fire",   "cold",   "steel"};

struct Rng {
    uint64_t x;
    uint32_t next() {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return uint32_t(x >> 16);
    }
};

std::string sentence(Rng& rng, int words) {
    std::string s;
    for (int i = 0; i < words; ++i) {
        if (i) s += (rng.next() % 23 == 0) ? "@" : " "; // now and then a masked line break
        s += kWords[rng.next() % (sizeof kWords / sizeof *kWords)];
    }
    return s;
}

std::string read_all(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void write_all(const fs::path& p, const std::string& s) {
    bench::write_file(p, std::vector<uint8_t>(s.begin(), s.end()));
}

// The translator: ASCII letters become Cyrillic ones (two bytes each in
// UTF-8, one in Windows-1251); a backslash escape is left as it is.
std::string cyrillic(const std::string& s, bool utf8) {
    std::string t;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            t += c;
            t += s[++i];
        } else if (c >= 'a' && c <= 'z') {
            unsigned cp = 0x0430 + unsigned(c - 'a'); // а...
            if (utf8) {
                t += char(0xC0 | (cp >> 6));
                t += char(0x80 | (cp & 0x3F));
            } else {
                t += char(0xE0 + (c - 'a'));
            }
        } else {
            t += c;
        }
    }
    return t;
}

// The template with every msgstr filled in: the msgid's lines, translated.
std::string translated_po(const std::string& pot) {
    std::istringstream in(pot);
    std::string out, line;
    std::vector<std::string> id;
    bool in_id = false;
    while (std::getline(in, line)) {
        if (line.rfind("msgid ", 0) == 0) {
            id = {line.substr(6)};
            in_id = true;
        } else if (in_id && !line.empty() && line[0] == '"') {
            id.push_back(line);
        } else if (line == "msgstr \"\"" && !(id.size() == 1 && id[0] == "\"\"")) {
            in_id = false;
            out += "msgstr " + cyrillic(id[0], true) + "\n";
            for (size_t i = 1; i < id.size(); ++i) out += cyrillic(id[i], true) + "\n";
            continue;
        } else {
            in_id = false;
        }
        out += line + "\n";
    }
    return out;
}

// dumptodo's list with a translation in place of every placeholder.
std::string filled_list(const std::string& list) {
    const std::string prompt = "\xCF\xE8\xF8\xE8 \xE7\xE4\xE5\xF1\xFC";
    std::string out, last_text;
    size_t p = 0;
    while (p < list.size()) {
        size_t e = list.find("\r\n", p);
        if (e == std::string::npos) e = list.size();
        std::string line = list.substr(p, e - p);
        if (line == prompt) {
            out += cyrillic(last_text, false);
        } else {
            if (!line.empty() && line[0] == '{') {
                size_t t = line.find("}{", line.find("}{", line.find("}{") + 2) + 2) + 2;
                last_text = line.substr(t, line.size() - t - 1);
            }
            out += line;
        }
        out += "\r\n";
        p = e + 2;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const bench::Setup args = bench::setup(argc, argv, "bench_texts", "/tmp/locbench-bench-texts");
    const fs::path prefix = args.work / "prefix";
    const fs::path xfiles = prefix / "dosdevices" / "c:" / "games" / "zund7" / "xfiles";
    const fs::path text = xfiles / "text";
    fs::create_directories(text);

    const int tables = 40, rows = 4750, strings = 20000;
    Rng rng{0x5EED};
    std::vector<std::string> common; // texts that many rows share
    for (int i = 0; i < 200; ++i) common.push_back(sentence(rng, 2 + int(rng.next() % 3)));
    std::string todo;
    uint64_t bytes = 0;
    for (int t = 0; t < tables; ++t) {
        std::string table;
        for (int r = 0; r < rows; ++r) {
            char id[32];
            std::snprintf(id, sizeof id, "item_%02d_%05d", t, r);
            std::string name = rng.next() % 10 == 0 ? common[rng.next() % common.size()] : sentence(rng, 3 + int(rng.next() % 5));
            std::string desc = rng.next() % 10 == 0 ? common[rng.next() % common.size()] : sentence(rng, 6 + int(rng.next() % 8));
            // The last column is not listed: a note for the game's own use.
            std::string note = sentence(rng, 6) + " " + std::to_string(rng.next() % 100000);
            table += std::string(id) + "\t" + name + "\t" + desc + "\t" + note + "\r\n";
        }
        char name[32];
        std::snprintf(name, sizeof name, "table%02d.txt", t);
        write_all(text / name, table);
        bytes += table.size();
        todo += std::string(name) + "\r\n2\r\n3\r\n.\r\n";
    }
    std::string str;
    for (int s = 0; s < strings; ++s) str += sentence(rng, 2 + int(rng.next() % 6)) + '\0';
    write_all(text / "strings.str", str);
    bytes += str.size();
    write_all(xfiles / "todo.txt", todo + ".\r\nstrings.str\r\n.\r\n");
    const double mib = 1048576.0;
    std::printf("%d tables of %d rows and a string file of %d strings: %d texts, %.1f MB of tables\n", tables, rows,
                strings, tables * rows * 2 + strings, bytes / 1e6);

    bench::release_memory();
    const int rounds = 3;
    const bench::Timing dump = bench::time_job(args.bin, "dumptodo", args.work, prefix, rounds);
    const bench::Timing exp = bench::time_job(args.bin, "exportpo", args.work, prefix, rounds);
    write_all(xfiles / "zund7.po", translated_po(read_all(xfiles / "zund7.pot")));
    write_all(text / "!out!.txt", filled_list(read_all(text / "!out!.txt")));
    bench::release_memory(); // what was made here must not count as the jobs' memory
    const bench::Timing imp = bench::time_job(args.bin, "importpo", args.work, prefix, rounds);
    const bench::Timing col = bench::time_job(args.bin, "collecttodo", args.work, prefix, rounds);

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
    std::printf("(peak memory of a process that does nothing, started the same way: %.1f MiB)\n",
                bench::baseline_kib() / 1024.0);
    args.finish();
    return 0;
}
