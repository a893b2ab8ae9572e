#include "support/texts_builders.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace texts {

std::string crlf(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

const std::string kPrompt = "\xCF\xE8\xF8\xE8 \xE7\xE4\xE5\xF1\xFC";

const std::string kZund6List = "c:\\games\\zund6\\xfiles\\zund6.txt";
const std::string kIcons = "c:\\games\\zund6eng\\xfiles\\icons_txt_str\\";

const std::string kTodo = "c:\\games\\zund7\\xfiles\\todo.txt";
const std::string kText = "c:\\games\\zund7\\xfiles\\text\\";
const std::string kDone = "c:\\games\\zund7\\xfiles\\text_!\\";
const std::string kReady = kText + "zund7_ready_rus_str.txt";
const std::string kStylus = kText + "stylus.txt";

const std::string kPot = "c:\\games\\zund7\\xfiles\\zund7.pot";
const std::string kPo = "c:\\games\\zund7\\xfiles\\zund7.po";
const std::string kList = kText + "!out!.txt";

const std::string kBig = "c:\\games\\zund7\\xfiles\\bigtext\\";

const std::string kBin = "c:\\games\\Brassjaw\\xfiles\\text.bin";
const std::string kBinOut = "c:\\games\\Brassjaw\\xfiles\\text.txt";
const std::string kBinDone = "c:\\games\\Brassjaw\\xfiles\\text_!\\text.bin";

std::string dump(const std::string& field, const std::string& table, int k) {
    return field + "\n\n----------" + table + "-----" + std::to_string(k) + "-------\n";
}

std::string dump_str(const std::string& s) { return s + "\n\n----------all.str----------\n"; }

std::string record(int n, const std::string& source, const std::string& text) {
    char num[16];
    std::snprintf(num, sizeof num, "%05d", n);
    return std::string("{") + num + "}{" + source + "}{" + std::to_string(text.size()) + "}{" + text + "}\n\n" +
           kPrompt + "\n\\\\\n";
}

std::string summary(unsigned total, const std::string& cost) {
    return "\n\n\xC2\xF1\xE5\xE3\xEE \xE1\xE0\xE9\xF2: " + std::to_string(total) +
           ";    \xD1\xF2\xEE\xE8\xEC\xEE\xF1\xF2\xFC: $ " + cost + "\n";
}

std::string bin_record(const std::string& head, const std::string& text) {
    return head + text + "}\n\n" + std::string(text.size(), '-') + "\n" + kPrompt + "\n\\\\\n";
}

Bytes string_file(const std::vector<std::string>& strings) {
    Bytes b;
    for (const std::string& s : strings) {
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
    }
    return b;
}

std::vector<Record> parse_list(const std::string& out) {
    std::vector<Record> v;
    size_t p = 0;
    while (p < out.size() && out[p] == '{') {
        size_t a = out.find("}{", p);
        size_t b = out.find("}{", a + 2);
        size_t c = out.find("}{", b + 2);
        if (c == std::string::npos) break;
        Record r;
        r.n = std::stoi(out.substr(p + 1, a - p - 1));
        r.source = out.substr(a + 2, b - a - 2);
        size_t len = std::stoul(out.substr(b + 2, c - b - 2));
        r.text = out.substr(c + 2, len);
        v.push_back(r);
        size_t end = out.find("\\\\\r\n", c + 2 + len);
        if (end == std::string::npos) break;
        p = end + 4;
    }
    return v;
}

ToolRun run_tool(const std::vector<std::string>& argv, const std::filesystem::path& cwd) {
    ToolRun r;
    int out[2];
    if (pipe(out) != 0) return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(out[0]);
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        if (chdir(cwd.c_str()) != 0) _exit(127);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) r.out.append(buf, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool have_tool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
}

std::string fill_list(const std::string& list, const std::function<std::optional<std::string>(const Record&)>& tr) {
    std::vector<Record> records = parse_list(list);
    std::string out;
    size_t p = 0;
    for (const Record& r : records) {
        // The placeholder line of this record is the first after its text.
        std::string head = "}{" + std::to_string(r.text.size()) + "}{" + r.text + "}\r\n\r\n";
        size_t at = list.find(head, p);
        if (at == std::string::npos) break;
        at += head.size();
        size_t end = list.find("\r\n", at);
        out += list.substr(p, at - p);
        std::optional<std::string> t = tr(r);
        out += t ? *t : list.substr(at, end - at);
        p = end;
    }
    return out + list.substr(p);
}

namespace {

// Where each record of dumptextbin's list begins its placeholder line, with
// the record; the head is "{offset}{length}{", the text then ends by its length.
std::vector<std::pair<size_t, BinRecord>> bin_records(const std::string& list) {
    std::vector<std::pair<size_t, BinRecord>> v;
    for (size_t p = 0; p < list.size() && list[p] == '{';) {
        size_t a = list.find("}{", p);
        size_t b = list.find("}{", a + 2);
        if (b == std::string::npos) break;
        BinRecord r;
        r.offset = std::stoull(list.substr(p + 1, a - p - 1), nullptr, 16);
        size_t len = std::stoul(list.substr(a + 2, b - a - 2));
        r.text = list.substr(b + 2, len);
        size_t placeholder = b + 2 + len + 5 + len + 2; // "}\r\n\r\n", the ruler, "\r\n"
        v.push_back({placeholder, r});
        size_t end = list.find("\\\\\r\n", placeholder);
        if (end == std::string::npos) break;
        p = end + 4;
    }
    return v;
}

} // namespace

std::vector<BinRecord> parse_bin_list(const std::string& list) {
    std::vector<BinRecord> v;
    for (const auto& [at, r] : bin_records(list)) v.push_back(r);
    return v;
}

std::string fill_bin_list(const std::string& list,
                          const std::function<std::optional<std::string>(const BinRecord& r)>& tr) {
    std::string out;
    size_t p = 0;
    for (const auto& [at, r] : bin_records(list)) {
        size_t end = list.find("\r\n", at);
        out += list.substr(p, at - p);
        std::optional<std::string> t = tr(r);
        out += t ? *t : list.substr(at, end - at);
        p = end;
    }
    return out + list.substr(p);
}

void put_texts(JobTest& t) {
    t.put(kTodo, crlf("ui.txt\n2\n3\n.\nitems.txt\n2\n.\n.\nnames.str\n.\n"));
    t.put(kText + "ui.txt", std::string("id\ttext\tnote\r\n1\ttwo\nlines\tx\r\n2\tone\ty\r\n3\t\tw\nz\r\n"));
    t.put(kText + "items.txt", std::string("sword\tA blade.\r\nshield\tRound\r\n"));
    t.put(kText + "names.str", string_file({"Ann", "", "Bob"}));
    t.mkdirs(kDone);
}

std::string translate_po(const std::string& pot, int n) {
    std::istringstream in(pot);
    std::string out, line;
    int entry = -1; // the header is entry -1
    while (std::getline(in, line)) {
        if (line.compare(0, 7, "msgctxt") == 0) {
            ++entry;
            if (entry == n) out += "#, fuzzy\n";
        }
        if (line == "msgstr \"\"" && entry >= 0 && entry <= n) line = "msgstr \"RU " + std::to_string(entry) + "\"";
        out += line + "\n";
    }
    return out;
}

} // namespace texts
