// The command line of the jobs, and the answers made from their descriptions.
#include "jobs/about.hpp"

#include "platform/win.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <stdexcept>

#ifndef LOCBENCH_VERSION
#define LOCBENCH_VERSION "unknown"
#endif
#ifndef LOCBENCH_PLATFORM
#define LOCBENCH_PLATFORM "unknown platform"
#endif

namespace about {

const Message kCantOpen = {"Can't open", 1, "a fixed input or output cannot be opened", true};
const Message kCantCreateFile = {"Can't create file PATH", 1, "a file it makes for an entry cannot be created", true};
const Message kCantWrite = {"Can't write PATH", 1, "a write failed (a full disk, for example); nothing is reported as done",
                            true};
const Message kDamaged = {"Damaged file PATH: WHAT", 1,
                          "an input is damaged so that no correct output can be made", true};
const Message kCantReplace = {"Can't replace PATH", 1,
                                "the complete new file cannot take the old one's place, which stays as it was", true};
const Message kOutOfMemory = {"Out of memory", 1, "a buffer the job needs cannot be had", true};

const std::vector<WorkflowInfo>& workflows() {
    static const std::vector<WorkflowInfo> w = {
        {Workflow::Pak, "pak", "PAK archive (second game)"},
        {Workflow::Lod, "lod", "LOD archives (first series)"},
        {Workflow::Bitmaps, "bitmaps", "Bitmaps (LOD image entries and TGA images)"},
        {Workflow::Fonts, "fonts", "Fonts"},
        {Workflow::SoundVideo, "sndvid", "Sound, video and voice files"},
        {Workflow::Texts, "texts", "Text tables"},
    };
    return w;
}

const std::vector<const Job*>& jobs() {
    static const std::vector<const Job*> all = [] {
        std::vector<const Job*> v;
        // The second game's voice and text jobs close their workflows' lists.
        for (const auto* group : {&lod_jobs(), &bitmaps_jobs(), &fonts_jobs(), &sndvid_jobs(), &texts_jobs(),
                                  &pak_jobs()})
            for (const Job& j : *group) v.push_back(&j);
        std::stable_sort(v.begin(), v.end(), [](const Job* a, const Job* b) { return a->workflow < b->workflow; });
        return v;
    }();
    return all;
}

const Job* find(const std::string& name) {
    for (const Job* j : jobs())
        if (name == j->name) return j;
    return nullptr;
}

std::string shown(const Place& p) { return std::string(p.path) + (p.kind == Kind::Folder && p.names ? p.names : ""); }

const char* use_word(int use) { return use == Reads ? "read" : use == Writes ? "written" : "rewritten"; }

namespace {

const WorkflowInfo& info(Workflow w) {
    for (const WorkflowInfo& i : workflows())
        if (i.id == w) return i;
    return workflows().front();
}

bool relative(const std::string& path) {
    return !(path.size() >= 2 && path[1] == ':') && !(!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

// The fixed part of a place: the file, the folder (without its last
// backslash), or the folder a search looks in.
std::string fixed_part(const Place& p) {
    std::string s = p.path;
    if (p.kind == Kind::Search) s = s.substr(0, s.find_last_of('\\') + 1);
    if (s.size() > 1 && s.back() == '\\' && s[s.size() - 2] != ':') s.pop_back();
    return s;
}

// The folder that a file lies in.
std::string folder_of(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) return ".";
    if (cut == 0 || (cut == 2 && path[1] == ':')) return path.substr(0, cut + 1);
    return path.substr(0, cut);
}

std::string current_folder() { return win::native_path("."); }

std::string host(const std::string& path) { return win::native_path(path.c_str()); }

bool is_folder(const std::string& native) { return win::look_native(native).folder; }

// What lies at a job's path: found as the job would find it (any letter
// case), then looked at for what it is and its full size.
win::NativeEntry look(const std::string& path) {
    win::FindData fd;
    intptr_t h = win::findfirst(path.c_str(), &fd);
    if (h == -1) return {};
    win::findclose(h);
    win::NativeEntry e = win::look_native(host(path));
    if (!e.there) e = {true, fd.folder, fd.size, fd.modified}; // what the search saw
    return e;
}

size_t count_matches(const std::string& pattern) {
    size_t n = 0;
    win::FindData fd;
    intptr_t h = win::findfirst(pattern.c_str(), &fd);
    if (h == -1) return 0;
    do {
        ++n;
    } while (win::findnext(h, &fd) == 0);
    win::findclose(h);
    return n;
}

// The deepest folder along a host path that is there: the path less its last
// components, up to the root ("/", or a drive's "C:\").
std::string deepest_folder(const std::string& native) {
    std::string p = win::absolute_native(native);
    while (!is_folder(p)) {
        size_t cut = p.find_last_of("/\\");
        if (cut == std::string::npos) break;
        std::string up = p.substr(0, cut);
        if (up.empty()) up = p.substr(0, 1);
        else if (up.back() == ':') up += p[cut];
        if (up == p) break;
        p = up;
    }
    return p;
}

std::string missing_at(const std::string& native) {
    return "looked for " + native + "; deepest existing folder: " + deepest_folder(native);
}

std::string plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What --check says of one place, and whether the job would find there what
// it needs.
struct Verdict {
    bool ok;
    std::string said;
};

Verdict file_there(const std::string& fixed, const char* note) {
    win::NativeEntry f = look(fixed);
    if (f.folder) return {false, host(fixed) + " is a folder, not a file"};
    if (!f.there) return {false, missing_at(host(fixed))};
    return {true, host(fixed) + ", " + plural(f.size, "byte", "bytes") + note};
}

Verdict folder_there(const std::string& fixed) {
    win::NativeEntry d = look(fixed);
    if (!d.there) return {false, missing_at(host(fixed))};
    if (!d.folder) return {false, host(fixed) + " is a file, not a folder"};
    return {true, host(fixed)};
}

Verdict judge(const Place& p) {
    std::string fixed = fixed_part(p);
    if (p.kind == Kind::File && (p.use & Reads)) return file_there(fixed, "");
    if (p.kind == Kind::File) { // written: its folder must be there
        std::string folder = folder_of(fixed);
        if (folder != ".") {
            Verdict v = folder_there(folder);
            if (!v.ok) return {false, "its folder is missing: " + v.said};
        }
        if (!look(fixed).there) return {true, "a new file in " + host(folder)};
        return file_there(fixed, ", to be replaced");
    }
    Verdict v = folder_there(fixed);
    if (!v.ok || p.kind == Kind::Folder) return v;
    size_t n = count_matches(p.path);
    if (n == 0 && p.needs_match) return {false, "no match in " + host(fixed)};
    return {true, plural(n, "match", "matches") + " in " + host(fixed)};
}

// One line of --check; false when the job would not find what it needs.
bool check_place(const Place& p, const std::string& cwd) {
    std::string where = p.path;
    if (relative(where)) where += " (from the current folder " + cwd + ")";
    Verdict v = judge(p);
    std::printf("%-8s %-9s %s: %s\n", v.ok ? "present" : "missing", use_word(p.use), where.c_str(), v.said.c_str());
    return v.ok;
}

int check(const Job& j) {
    std::string cwd = current_folder();
    bool all = true;
    for (const Place& p : j.places) all &= check_place(p, cwd);
    return all ? 0 : 1;
}

void print_message(const Message& m) {
    if (*m.text) std::printf("  exit %d  \"%s\": %s\n", m.code, m.text, m.when);
    else std::printf("  exit %d  with no message: %s\n", m.code, m.when);
}

void help(const Job& j) {
    std::printf("%s: %s.\n\n", j.name, j.purpose);
    std::printf("Files and folders (the path as the job names it, then where it is on this machine):\n");
    bool any_relative = false;
    for (const Place& p : j.places) {
        std::printf("  %-9s %s  (%s%s)\n", use_word(p.use), shown(p).c_str(), p.mode,
                    p.kind == Kind::Search ? ", a search" : "");
        std::printf("      %s%s\n", p.what,
                    p.kind == Kind::Search && p.needs_match ? "; finding none ends the job" : "");
        std::string fixed = fixed_part(p);
        std::string native = host(fixed);
        if (native != fixed) std::printf("      on this machine: %s\n", native.c_str());
        any_relative |= relative(p.path);
    }
    if (any_relative) std::printf("  Relative paths start at the current folder, now %s.\n", current_folder().c_str());
    std::printf("\nWhile it works it prints %s.\n", *j.prints ? j.prints : "nothing");
    std::printf("\nIt ends with:\n  exit 0  when its work is done\n");
    for (const Message& m : j.ends) print_message(m);
    print_message(kOutOfMemory);
    std::printf("\nIts workflow: %s\n  before: %s\n  after:  %s\n", info(j.workflow).title, j.before, j.after);
    std::printf("\n%s --check looks whether these files and folders are there; %s --version tells the version.\n",
                j.name, j.name);
}

void list(const std::vector<CommandRunner>& commands) {
    std::printf("locbench runs patchpak; \"locbench JOB\" runs any job, \"locbench JOB --help\" explains it.\n");
    for (const WorkflowInfo& w : workflows()) {
        std::printf("\n%s\n", w.title);
        for (const Job* j : jobs())
            if (j->workflow == w.id) std::printf("  %-20s %s\n", j->name, j->purpose);
    }
    if (commands.empty()) return;
    std::printf("\nNo job, a look at the files (\"locbench COMMAND --help\" explains it)\n");
    for (const CommandRunner& c : commands) std::printf("  %-20s %s\n", c.about->name, c.about->purpose);
}

int run_job(void (*run)()) {
    try {
        run();
    } catch (const std::bad_alloc&) {
        // A buffer the job needs cannot be had: end in order, with a message.
        std::printf("Out of memory\n");
        return 1;
    } catch (const std::length_error&) {
        std::printf("Out of memory\n");
        return 1;
    }
    return 0;
}

int usage(const std::string& bad, bool dispatcher, const char* name, const std::vector<CommandRunner>& commands) {
    std::string more;
    for (const CommandRunner& c : commands) {
        more += std::string(" or locbench ") + c.about->name;
        for (const Option& o : c.about->options) more += std::string(" [") + o.name + "]";
    }
    if (dispatcher)
        std::fprintf(stderr,
                     "locbench: unexpected argument \"%s\"; usage: locbench [--list | --help | --check | --version] "
                     "or locbench JOB [--help | --check | --version]%s\n",
                     bad.c_str(), more.c_str());
    else
        std::fprintf(stderr, "%s: unexpected argument \"%s\"; usage: %s [--help | --check | --version]\n", name,
                     bad.c_str(), name);
    return 2;
}

bool is_help(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }
bool is_option(const std::string& arg) { return is_help(arg) || arg == "--check" || arg == "--version"; }

// The answer to one option about job `j`; -1 when `arg` is no option.
int answer(const Job& j, const std::string& arg) {
    if (is_help(arg)) {
        help(j);
        return 0;
    }
    if (arg == "--check") return check(j);
    if (arg == "--version") {
        std::printf("locbench %s (%s)\n", LOCBENCH_VERSION, LOCBENCH_PLATFORM);
        return 0;
    }
    return -1;
}

// Markdown for the README: text outside code spans.
std::string md(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '|') out += "\\|";
        else out += c;
    }
    return out;
}

std::string md_places(const Job& j, int use) {
    std::string out;
    for (const Place& p : j.places) {
        if (!(p.use & use)) continue;
        if (!out.empty()) out += "; ";
        out.append(1, '`').append(shown(p)).append(1, '`');
        // What a rewritten file becomes is told among the writes.
        if (p.use != Rewrites || use == Writes) out += ": " + md(p.what);
        if (p.kind == Kind::Search && p.needs_match && use == Reads) out += " (at least one)";
    }
    return out.empty() ? "nothing" : out;
}

} // namespace

void help(const Command& c) {
    std::printf("locbench %s: %s.\n\n", c.name, c.purpose);
    std::printf("Usage: locbench %s", c.name);
    // Options in brackets; what it takes (a folder, a file) as it is named.
    if (c.usage) std::printf(" %s", c.usage);
    else
        for (const Option& o : c.options) std::printf(o.name[0] == '-' ? " [%s]" : " %s", o.name);
    std::printf("\n\nOptions:\n");
    for (const Option& o : c.options) std::printf("  %-10s %s\n", o.name, o.what);
    std::printf("\nWhat it looks at: %s.\n", c.looks);
    std::printf("\nIt prints %s.\n", c.prints);
    std::printf("\nIt ends with:\n");
    for (const Message& m : c.ends) std::printf("  exit %d  %s\n", m.code, m.when);
}

std::string readme_commands(const std::vector<const Command*>& commands) {
    std::string out = "| Command | What it does | Options | What it looks at | Prints | Exit codes |\n"
                      "|---|---|---|---|---|---|\n";
    for (const Command* c : commands) {
        std::string options, ends;
        for (const Option& o : c->options)
            options += (options.empty() ? "" : "; ") + std::string("`") + o.name + "`: " + md(o.what);
        for (const Message& m : c->ends)
            ends += (ends.empty() ? "" : "; ") + std::to_string(m.code) + ": " + md(m.when);
        out += "| `locbench " + std::string(c->name) + "` | " + md(c->purpose) + " | " + options + " | " +
               md(c->looks) + " | " + md(c->prints) + " | " + ends + " |\n";
    }
    return out;
}

std::string readme_table(Workflow w) {
    std::string out = "| Job | What it does | Reads | Writes | Prints, and how it may end besides the common messages |\n"
                      "|---|---|---|---|---|\n";
    for (const Job* j : jobs()) {
        if (j->workflow != w) continue;
        std::string ends = *j->prints ? md(j->prints) : "";
        for (const Message& m : j->ends) {
            if (m.common) continue;
            if (!ends.empty()) ends += "; ";
            if (*m.text) ends.append(1, '`').append(m.text).append(1, '`');
            else ends += "no message";
            ends += ", exit " + std::to_string(m.code) + ": " + md(m.when);
        }
        out += "| `" + std::string(j->name) + "` | " + md(j->purpose) + " | " + md_places(*j, Reads) + " | " +
               md_places(*j, Writes) + " | " + (ends.empty() ? "nothing" : ends) + " |\n";
    }
    return out;
}

bool readme_with_tables(const std::string& readme, std::string* out, const std::vector<const Command*>& commands) {
    std::string text = readme;
    if (!commands.empty()) {
        const std::string begin = "<!-- commands -->\n", end = "<!-- end commands -->\n";
        size_t from = text.find(begin);
        if (from == std::string::npos) return false;
        from += begin.size();
        size_t to = text.find(end, from);
        if (to == std::string::npos) return false;
        text.replace(from, to - from, readme_commands(commands));
    }
    const std::string end = "<!-- end jobs -->\n";
    for (const WorkflowInfo& w : workflows()) {
        const std::string begin = std::string("<!-- jobs ") + w.key + " -->\n";
        size_t from = text.find(begin);
        if (from == std::string::npos) return false;
        from += begin.size();
        size_t to = text.find(end, from);
        if (to == std::string::npos) return false;
        text.replace(from, to - from, readme_table(w.id));
    }
    *out = text;
    return true;
}

std::string started_as(const char* argv0) {
    std::string name = argv0 ? argv0 : "";
    size_t cut = name.find_last_of("/\\");
    if (cut != std::string::npos) name.erase(0, cut + 1);
    const std::string exe = ".exe";
    if (name.size() <= exe.size()) return name;
    for (size_t i = 0; i < exe.size(); ++i) {
        char c = name[name.size() - exe.size() + i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != exe[i]) return name;
    }
    return name.substr(0, name.size() - exe.size());
}

int main(int argc, char** argv, const std::vector<Runner>& runners, const char* fallback, bool dispatcher,
         const std::vector<CommandRunner>& commands) {
    auto code_of = [&](const std::string& job) -> void (*)() {
        for (const Runner& r : runners)
            if (job == r.name) return r.run;
        return nullptr;
    };
    // Started under the name of a job it holds, it is that job's executable.
    std::string started = started_as(argc > 0 ? argv[0] : nullptr);
    const char* name = dispatcher ? fallback : runners.front().name;
    if (code_of(started) && find(started)) {
        name = find(started)->name;
        dispatcher = false;
    }
    void (*run)() = code_of(name);
    if (argc <= 1) return run_job(run);
    std::string first = argv[1];
    if (dispatcher) {
        if (first == "--list" && argc == 2) {
            list(commands);
            return 0;
        }
        for (const CommandRunner& c : commands)
            if (first == c.about->name) return c.run(std::vector<std::string>(argv + 2, argv + argc));
        const Job* j = find(first);
        if (j && code_of(first)) {
            if (argc == 2) return run_job(code_of(first));
            int code = argc == 3 ? answer(*j, argv[2]) : -1;
            return code >= 0 ? code
                             : usage(argc > 3 && is_option(argv[2]) ? argv[3] : argv[2], true, name, commands);
        }
    }
    const Job* j = find(name);
    if (argc == 2 && j) {
        if (dispatcher && is_help(first)) {
            std::printf("locbench without arguments runs %s; \"locbench --list\" lists every job, "
                        "\"locbench JOB\" runs one", name);
            for (const CommandRunner& c : commands)
                std::printf("; \"locbench %s\" %s", c.about->name, c.about->purpose);
            std::printf(".\n\n");
        }
        int code = answer(*j, first);
        if (code >= 0) return code;
    }
    // The first argument that is out of place.
    bool first_fits = is_option(first) || (dispatcher && first == "--list");
    return usage(argc > 2 && first_fits ? argv[2] : first, dispatcher, name,
                 dispatcher ? commands : std::vector<CommandRunner>{});
}

} // namespace about
