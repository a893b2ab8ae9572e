// locbench status walks each chain over a scratch prefix as a team runs it:
// nothing there, the game files only, after each job, after a step by hand,
// after an input changes; each problem planted and found. Every run leaves
// the tree as it was, time stamps included.
#include "jobs/about.hpp"
#include "jobs/chains.hpp"
#include "platform/win.hpp"
#include "support/fonts_builders.hpp"
#include "support/lod_builders.hpp"
#include "support/sndvid_builders.hpp"
#include "support/texts_builders.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string title_of(const std::string& key) {
    for (const about::WorkflowInfo& w : about::workflows())
        if (key == w.key) return w.title;
    return key;
}

// One chain as the text shows it.
struct ChainText {
    std::string states;                // the state of each step, in order, blank-separated
    std::vector<std::string> steps;    // the whole line of each step
    std::string next;                  // the line of next steps, without "  next: "
    std::vector<std::string> problems; // the problem lines under its steps, without "problem: "
    std::vector<std::string> details;  // the other lines under its steps
};

ChainText chain_of(const std::string& out, const std::string& key) {
    ChainText c;
    std::istringstream in(out);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!inside) {
            inside = line == title_of(key);
            continue;
        }
        if (line.empty()) break;
        if (line.compare(0, 8, "  next: ") == 0) {
            c.next = line.substr(8);
            continue;
        }
        if (line.compare(0, 11, "           ") == 0) {
            std::string d = line.substr(11);
            if (d.compare(0, 9, "problem: ") == 0) c.problems.push_back(d.substr(9));
            else c.details.push_back(d);
            continue;
        }
        std::string state = line.substr(2, 8);
        state.erase(state.find_last_not_of(' ') + 1);
        c.states += (c.states.empty() ? "" : " ") + state;
        c.steps.push_back(line);
    }
    return c;
}

class Status : public JobTest {
protected:
    // Runs locbench status; the tree, time stamps included, must be the same
    // after it.
    RunResult status(const std::vector<std::string>& more = {}) {
        auto files = snapshot();
        auto times = stamps();
        auto dirs = folders();
        RunOptions o;
        o.args = {"status"};
        o.args.insert(o.args.end(), more.begin(), more.end());
        RunResult r = run("locbench", "c:\\", o);
        EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1) << r.out;
        EXPECT_EQ(folders(), dirs);
        EXPECT_TRUE(snapshot() == files) << "status changed a file";
        EXPECT_EQ(stamps(), times);
        last = r;
        return r;
    }

    // The chain `key` after a run of status: its states, its next steps
    // (the start of the line), and the exit code of the run.
    ChainText expect_chain(const std::string& key, const std::string& states, const std::string& next,
                           int code = 0, const std::vector<std::string>& more = {}) {
        RunResult r = status(more);
        ChainText c = chain_of(r.out, key);
        EXPECT_EQ(c.states, states) << r.out;
        EXPECT_EQ(c.next.substr(0, next.size()), next) << r.out;
        EXPECT_EQ(r.exit_code, code) << r.out;
        return c;
    }

    // Moves a file's last write `seconds` on: an input changed after the
    // outputs were made from it.
    void touch(const std::string& winpath, int seconds = 10) {
        fs::path p = host(winpath);
        fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(seconds));
    }

    RunResult last;
};

bool has_line(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return contains(l, part); });
}

// ---------------------------------------------------------------------------
// PAK

TEST_F(Status, PakChainStepByStep) {
    const std::string game = "c:\\games\\Brassjaw\\";
    expect_chain("pak", "waiting waiting waiting", "waiting: extractpak: " + game + "main\\pak0.pak is not there");

    // The game files only.
    Buf data, dir;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>>{
             {"text/menu.txt", to_bytes("New game\r\nQuit\r\n")}, {"sound/hello.wav", pattern(300, 1)}}) {
        dir.field(name, 56).u32(uint32_t(12 + data.size())).u32(uint32_t(bytes.size()));
        data.raw(bytes);
    }
    put(game + "main\\pak0.pak", Buf().raw("PACK").u32(uint32_t(12 + data.size())).u32(uint32_t(dir.size()))
                                     .raw(data.b).raw(dir.b).b);
    mkdirs(game + "xfiles\\pak");
    mkdirs(game + "bin");
    expect_chain("pak", "ready waiting waiting", "run extractpak");

    ASSERT_EQ(run("extractpak").exit_code, 0);
    expect_chain("pak", "done ready waiting", "by hand, translate the members");

    // By hand: the menu translated into rus.
    const Bytes menu = to_bytes("\xcd\xee\xe2\xe0\xff \xe8\xe3\xf0\xe0\r\n\xc2\xfb\xf5\xee\xe4\r\n");
    put(game + "rus\\text+menu.txt", menu);
    ChainText c = expect_chain("pak", "done done ready",
                               "run patchpak in a folder of c:\\games\\Brassjaw, beside main and rus");
    EXPECT_EQ(c.details, std::vector<std::string>{"2 members; 1 file in " + game +
                                                  "rus\\: 1 replaces a member, 0 of the same length as their member"});

    ASSERT_EQ(run("patchpak", game + "bin").exit_code, 0);
    expect_chain("pak", "done done done", "nothing to do");

    // The translation edited again, to the same length: the files tell
    // that it changed after the patch; its bytes tell that it is the same.
    touch(game + "rus\\text+menu.txt");
    expect_chain("pak", "done done stale", "run patchpak");
    expect_chain("pak", "done done done", "nothing to do", 0, {"--verify"});
    put(game + "rus\\text+menu.txt", concat({menu, to_bytes("!")}));
    expect_chain("pak", "done done ready", "run patchpak");

    // A file whose name matches no member: patchpak would pass it over.
    put(game + "rus\\text+mneu.txt", menu);
    c = expect_chain("pak", "done done problem", "deal with the problems listed above; run patchpak", 1);
    EXPECT_EQ(c.problems, std::vector<std::string>{
                              game + "rus\\text+mneu.txt: its name matches no member's flat name (closest: "
                                     "text+menu.txt); patchpak passes it over without a word: give it its "
                                     "member's flat name, or remove it"});
}

} // namespace
