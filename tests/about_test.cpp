// The command line of every job: --help, --check, --version, usage errors,
// and `locbench --list` / `locbench JOB`. Without arguments the jobs run as
// the other tests show.
#include "jobs/about.hpp"
#include "release/release.hpp"
#include "make/make.hpp"
#include "preview/preview.hpp"
#include "status/status.hpp"
#include "support/jobtest.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string kBin = "c:\\games\\Brassjaw\\bin";

std::vector<std::string> job_names() {
    std::istringstream in(LOCBENCH_JOB_NAMES);
    std::vector<std::string> v;
    for (std::string name; in >> name;) v.push_back(name);
    return v;
}

bool relative(const std::string& path) { return path.size() < 2 || path[1] != ':'; }

std::string folder_of(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class About : public JobTest {
protected:
    // patchpak works from the folder it is started in: the game's bin.
    static std::string cwd_of(const std::string& job) {
        return job == "patchpak" || job == "locbench" ? kBin : "c:\\";
    }
    static std::string absolute(const std::string& cwd, const std::string& path) {
        return relative(path) ? cwd + "\\" + path : path;
    }

    // Where a job says that a Windows path lies: its folder for a folder or a
    // search, spelled as on disk.
    std::string where(const std::string& cwd, const std::string& path) const {
        std::string p = absolute(cwd, path);
        while (p.back() == '\\') p.pop_back();
        return shown(p, relative(path));
    }

    // Makes every file and folder that a job needs: its inputs (a few bytes
    // each), one match for each search, the folders of its outputs.
    void provide(const about::Job& j, const std::string& cwd) {
        mkdirs(cwd);
        for (const about::Place& p : j.places) {
            std::string path = absolute(cwd, p.path);
            if (p.kind == about::Kind::Folder) {
                mkdirs(path);
            } else if (p.kind == about::Kind::Search) {
                std::string name = path.substr(path.find_last_of('\\') + 1);
                std::replace(name.begin(), name.end(), '*', 'a');
                std::replace(name.begin(), name.end(), '?', 'b');
                put(folder_of(path) + "\\" + name, "match");
            } else if (p.use & about::Reads) {
                put(path, "input");
            } else {
                mkdirs(folder_of(path));
            }
        }
    }

    // Every file with its content, and every folder.
    std::pair<std::map<std::string, Bytes>, std::set<std::string>> state() const {
        return {snapshot(), folders()};
    }

    RunResult ask(const std::string& exe, const std::vector<std::string>& args, const std::string& cwd,
                  bool usage = false) {
        RunOptions o;
        o.args = args;
        o.expect_stderr = usage;
        return run(exe, cwd, o);
    }
};

// Each job (and locbench, which is patchpak) answers --help, --version,
// --check and a wrong argument, and none of them changes anything.
TEST_F(About, EveryJobAnswersItsOptionsAndTouchesNothing) {
    // Every job built has a description, and every description a job.
    std::vector<std::string> names = job_names();
    std::set<std::string> described;
    for (const about::Job* j : about::jobs()) described.insert(j->name);
    ASSERT_EQ(std::set<std::string>(names.begin(), names.end()), described);
    names.push_back("locbench");
    for (const std::string& exe : names) {
        SCOPED_TRACE(exe);
        const about::Job* j = about::find(exe == "locbench" ? "patchpak" : exe);
        ASSERT_NE(j, nullptr) << "no description";
        const std::string cwd = cwd_of(exe);

        reset_drives();
        mkdirs(cwd);
        auto empty = state();
        RunResult r = ask(exe, {"--check"}, cwd);
        EXPECT_EQ(r.exit_code, 1) << r.out;
        EXPECT_EQ(r.lines().size(), j->places.size()) << r.out;
        EXPECT_TRUE(contains(r.out, "missing ")) << r.out;
        EXPECT_EQ(state(), empty);

        reset_drives();
        provide(*j, cwd);
        auto before = state();
        r = ask(exe, {"--check"}, cwd);
        EXPECT_EQ(r.exit_code, 0) << r.out;
        ASSERT_EQ(r.lines().size(), j->places.size()) << r.out;
        for (const std::string& line : r.lines()) EXPECT_EQ(line.substr(0, 9), "present  ");

        for (const char* opt : {"--help", "-h", "/?"}) {
            r = ask(exe, {opt}, cwd);
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_TRUE(contains("\n" + r.out, "\n" + std::string(j->name) + ": ")) << r.out;
            for (const about::Place& p : j->places) {
                EXPECT_TRUE(contains(r.out, p.path)) << p.path << "\n" << r.out;
                EXPECT_TRUE(contains(r.out, where(cwd, p.kind == about::Kind::Search ? folder_of(p.path) : p.path)))
                    << p.path << "\n" << r.out;
            }
            EXPECT_TRUE(contains(r.out, "exit 0 ")) << r.out;
        }

        r = ask(exe, {"--version"}, cwd);
        EXPECT_EQ(r.exit_code, 0);
        const std::string platform = under_wine() ? "Windows x86_64" : LOCBENCH_PLATFORM;
        EXPECT_EQ(r.out, std::string("locbench ") + LOCBENCH_VERSION + " (" + platform + ")\n");

        for (const std::vector<std::string>& wrong :
             std::vector<std::vector<std::string>>{{"--frobnicate"}, {"--help", "--check"}, {""}}) {
            r = ask(exe, wrong, cwd, true);
            EXPECT_EQ(r.exit_code, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_TRUE(contains(r.err, "usage: " + exe + " ")) << r.err;
        }
        EXPECT_EQ(state(), before);
    }
}

TEST_F(About, LocbenchListsEveryJobOnceAndExplainsAnyJobAsTheJobDoes) {
    RunResult r = ask("locbench", {"--list"}, "c:\\");
    EXPECT_EQ(r.exit_code, 0);
    for (const std::string& name : job_names()) {
        SCOPED_TRACE(name);
        size_t lines = 0;
        for (const std::string& line : r.lines())
            if (line.rfind("  " + name + " ", 0) == 0) ++lines;
        EXPECT_EQ(lines, 1u) << r.out;
        for (const char* opt : {"--help", "--check"}) {
            RunResult own = ask(name, {opt}, "c:\\");
            RunResult via = ask("locbench", {name, opt}, "c:\\");
            EXPECT_EQ(via.exit_code, own.exit_code);
            EXPECT_EQ(via.out, own.out);
        }
    }
    r = ask("locbench", {"nosuchjob"}, "c:\\", true);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    r = ask("locbench", {"extractpak", "--list"}, "c:\\", true);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    r = ask("extractpak", {"--list"}, "c:\\", true);
    EXPECT_EQ(r.exit_code, 2);
}

// Started with no console window of its own (standard output a pipe here;
// under Wine no console at all), a job ends as it is, whatever its standard
// input: no line is added after its last one, and it waits for nothing.
TEST_F(About, WithoutAWindowOfItsOwnAJobNeitherWaitsNorAddsALine) {
    mkdirs(kBin);
    for (RunOptions::Input input :
         {RunOptions::Input::OpenPipe, RunOptions::Input::Null, RunOptions::Input::Closed}) {
        RunOptions o;
        o.input = input;
        o.timeout_s = 30;
        expect_run(run("patchpak", kBin, o), 1,
                   {"Skyforge rusification plugin started...", "please wait...", "Can't open"});
        o.args = {"--version"};
        RunResult r = run("locbench", kBin, o);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.lines().size(), 1u) << r.out;
    }
}

// A PAK archive of one member, as extractpak reads it.
Bytes one_member_pak() {
    Bytes member = to_bytes("hello");
    return Buf().raw("PACK").u32(12 + 5).u32(64).raw(member).field("text/menu.txt", 56).u32(12).u32(5).b;
}

TEST_F(About, CheckTellsAFixedFilePresentAsFoundOrMissingWithTheDeepestFolder) {
    mkdirs("c:\\games");
    RunResult r = ask("extractpak", {"--check"}, "c:\\");
    expect_run(r, 1,
               {"missing  read      c:\\games\\Brassjaw\\main\\pak0.pak: looked for " +
                    shown("c:\\games\\Brassjaw\\main\\pak0.pak") + "; deepest existing folder: " +
                    shown("c:\\games"),
                "missing  written   c:\\games\\Brassjaw\\xfiles\\pak\\: looked for " +
                    shown("c:\\games\\Brassjaw\\xfiles\\pak") + "; deepest existing folder: " +
                    shown("c:\\games")});

    // Found whatever the letter case on disk; the job then finds it too.
    put("c:\\games\\BRASSJAW\\Main\\PAK0.PAK", one_member_pak());
    mkdirs("c:\\games\\BRASSJAW\\xfiles\\pak");
    r = ask("locbench", {"extractpak", "--check"}, "c:\\");
    expect_run(r, 0,
               {"present  read      c:\\games\\Brassjaw\\main\\pak0.pak: " +
                    shown("c:\\games\\BRASSJAW\\Main\\PAK0.PAK") + ", 81 bytes",
                "present  written   c:\\games\\Brassjaw\\xfiles\\pak\\: " +
                    shown("c:\\games\\BRASSJAW\\xfiles\\pak")});
    expect_run(ask("locbench", {"extractpak"}, "c:\\"), 0, {"c:\\games\\Brassjaw\\xfiles\\pak\\text+menu.txt"});
    EXPECT_EQ(get_text("c:\\games\\BRASSJAW\\xfiles\\pak\\text+menu.txt"), "hello");
}

TEST_F(About, CheckCountsTheMatchesOfASearchAndFailsWhereTheJobFindsNone) {
    put("c:\\games\\zundfiles\\icons\\0001_a.zl", pattern(60, 1)); // not a ".str" entry file
    mkdirs("c:\\games\\zundfiles\\strs");
    const std::string icons = shown("c:\\games\\zundfiles\\icons");
    const std::string strs = "present  written   c:\\games\\zundfiles\\strs\\: " + shown("c:\\games\\zundfiles\\strs");
    expect_run(ask("headlast_strs", {"--check"}, "c:\\"), 1,
               {"missing  read      c:\\games\\zundfiles\\icons\\*.str.zl: no match in " + icons, strs});
    expect_run(run("headlast_strs"), 5, {});

    put("c:\\games\\zundfiles\\icons\\0002_a.str.zl", pattern(60, 2));
    put("c:\\games\\zundfiles\\icons\\0003_B.STR.ZL", pattern(60, 3));
    expect_run(ask("headlast_strs", {"--check"}, "c:\\"), 0,
               {"present  read      c:\\games\\zundfiles\\icons\\*.str.zl: 2 matches in " + icons, strs});
    expect_run(run("headlast_strs"), 0, {});
    EXPECT_EQ(files("c:\\games\\zundfiles\\strs"), (std::vector<std::string>{"0002_a.str.zl", "0003_B.STR.ZL"}));
}

TEST_F(About, CheckTakesRelativePathsFromTheCurrentFolder) {
    put("c:\\games\\Brassjaw\\main\\pak0.pak", one_member_pak());
    mkdirs(kBin);
    const std::string from = " (from the current folder " + shown(kBin, true) + ")";
    const std::string pak0 = "present  rewritten ..\\main\\pak0.pak" + from + ": " +
                             shown("c:\\games\\Brassjaw\\main\\pak0.pak", true) + ", 81 bytes";
    const std::string pak1 = "present  written   ..\\main\\pak1.pak" + from + ": a new file in " +
                             shown("c:\\games\\Brassjaw\\main", true);
    const std::string rus = shown("c:\\games\\Brassjaw\\rus", true);
    expect_run(ask("patchpak", {"--check"}, kBin), 1,
               {pak0, pak1,
                "missing  read      ..\\rus\\" + from + ": looked for " + rus + "; deepest existing folder: " +
                    shown("c:\\games\\Brassjaw", true)});

    mkdirs("c:\\games\\Brassjaw\\rus");
    expect_run(ask("locbench", {"--check"}, kBin), 0, {pak0, pak1, "present  read      ..\\rus\\" + from + ": " + rus});

    // From another folder the same paths lead elsewhere.
    mkdirs("c:\\games\\other\\bin");
    RunResult r = ask("patchpak", {"--check"}, "c:\\games\\other\\bin");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.lines().at(0).substr(0, 9), "missing  ");
}

TEST(Readme, JobTablesAreMadeFromTheJobDescriptions) {
    std::ifstream f(LOCBENCH_README, std::ios::binary);
    ASSERT_TRUE(f.good());
    std::string readme((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::string made;
    ASSERT_TRUE(about::readme_with_tables(readme, &made, {&status::description(), &make::description(), &preview::description(), &release::release_description(),
                                                  &release::install_description(), &release::uninstall_description()}))
        << "a workflow's table markers are missing";
    EXPECT_EQ(readme, made) << "the README's job tables differ from the descriptions: "
                               "run build/tools/readme_jobs README.md";
}

std::string file_text(const char* path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// The manual page has a section of its own for every job built, and for
// nothing else.
TEST(Docs, ManualPageHasASectionForEveryJob) {
    std::istringstream page(file_text(LOCBENCH_MAN_PAGE));
    std::multiset<std::string> sections;
    for (std::string line; std::getline(page, line);)
        if (line.rfind(".SS ", 0) == 0) sections.insert(line.substr(4));
    std::vector<std::string> names = job_names();
    EXPECT_EQ(sections, std::multiset<std::string>(names.begin(), names.end()));
}

// What bash offers for the words typed so far (the last one being completed),
// from the function that the completion file registers for locbench.
std::set<std::string> completions(const std::vector<std::string>& words) {
    std::string script = std::string("source \"") + LOCBENCH_BASH_COMPLETION + "\" || exit 1\n" + R"(
registered=$(complete -p locbench) || exit 1
fn=${registered#*-F }
fn=${fn%% *}
COMP_WORDS=()";
    for (const std::string& w : words) script += " \"" + w + "\"";
    script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) + R"(
"$fn"
printf "%s\n" "${COMPREPLY[@]}"
)";
    std::string command = "bash -c '" + script + "'";
    std::set<std::string> offered;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        ADD_FAILURE() << "cannot start bash";
        return offered;
    }
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << command;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) offered.insert(line);
    return offered;
}

// `locbench <TAB>` offers every job and option; after a job, the options
// that ask it about itself; nothing after anything else.
TEST(Docs, BashCompletesEveryJobAndTheOptions) {
    const std::set<std::string> about_job = {"--help", "--check", "--version"};
    std::set<std::string> first = about_job, upd;
    first.insert("--list");
    for (const char* c : {"status", "make", "preview", "release", "install", "uninstall"}) first.insert(c);
    for (const std::string& name : job_names()) {
        first.insert(name);
        if (name.rfind("upd", 0) == 0) upd.insert(name);
    }
    ASSERT_FALSE(upd.empty());
    const std::vector<std::pair<std::vector<std::string>, std::set<std::string>>> cases = {
        {{"locbench", ""}, first},
        {{"locbench", "upd"}, upd},
        {{"locbench", "--c"}, {"--check"}},
        {{"locbench", "extractpak", ""}, about_job},
        {{"locbench", "patchpak", "--v"}, {"--version"}},
        {{"locbench", "nosuchjob", ""}, {}},
        {{"locbench", "--list", ""}, {}},
        {{"locbench", "extractpak", "--help", ""}, {}},
        {{"locbench", "status", ""}, {"--verify", "--verbose", "--json", "--help"}},
        {{"locbench", "make", "-"}, {"-n", "-k", "--force", "--help"}},
        {{"locbench", "make", "-n", "s"}, {"sndvid"}},
        {{"locbench", "status", "--json", "--v"}, {"--verify", "--verbose"}},
        {{"locbench", "release", "--t"}, {"--title"}},
        {{"locbench", "preview", "--w"}, {"--width"}},
        {{"locbench", "preview", "comic.fnt", "-"}, {"--from", "--width", "-o", "--help"}},
    };
    for (const auto& [words, expected] : cases) {
        std::string typed;
        for (const std::string& w : words) typed += w + " ";
        EXPECT_EQ(completions(words), expected) << typed;
    }
}

} // namespace
