// locbench status walks each chain over a scratch prefix as a team runs it:
// nothing there, the game files only, after each job, after a step by hand,
// after an input changes; each problem planted and found. Every run leaves
// the tree as it was, time stamps included.
#include "jobs/about.hpp"
#include "jobs/chains.hpp"
#include "platform/win.hpp"
#include "status/status.hpp"
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

bool has_line(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return contains(l, part); });
}

class Status : public JobTest {
protected:
    // Runs locbench status; the tree, time stamps included, must be the same
    // after it: every file and folder with the same last write, last change
    // of its entry and size (no write, rename, removal or new entry goes
    // without changing them).
    RunResult status(const std::vector<std::string>& more = {}) {
        auto times = stamps();
        RunOptions o;
        o.args = {"status", "--verbose"};
        o.args.insert(o.args.end(), more.begin(), more.end());
        RunResult r = run("locbench", "c:\\", o);
        EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1) << r.out;
        EXPECT_EQ(stamps(), times) << "status changed the tree";
        last = r;
        return r;
    }

    // The chain `key` after a run of status: its states, its next steps
    // (the start of the line), and the exit code of the run.
    ChainText expect_chain(const std::string& key, const std::string& states, const std::string& next,
                           int code = 0, const std::vector<std::string>& more = {}) {
        RunResult r = status(more);
        ChainText c = chain_of(r.out, key);
        std::string shown;
        for (const std::string& l : c.steps) shown += l + "\n";
        for (const std::string& l : c.problems) shown += "problem: " + l + "\n";
        shown += "next: " + c.next + "\n";
        EXPECT_EQ(c.states, states) << shown;
        EXPECT_EQ(c.next.substr(0, next.size()), next) << shown;
        EXPECT_EQ(r.exit_code, code) << shown;
        return c;
    }

    // An input changed after the outputs were made from it: every other
    // file's last write an hour earlier, the input's half an hour ago, so
    // that the jobs run next still write newer files.
    void touch(const std::string& winpath) {
        fs::path changed = host(winpath);
        for (const char* drive : {"c:", "d:", "e:"})
            for (const auto& e : fs::recursive_directory_iterator(prefix() / "dosdevices" / drive))
                if (e.is_regular_file() && !e.is_symlink() && e.path() != changed)
                    fs::last_write_time(e.path(), e.last_write_time() - std::chrono::hours(1));
        fs::last_write_time(changed, fs::file_time_type::clock::now() - std::chrono::minutes(30));
    }

    RunResult last;
};

// ---------------------------------------------------------------------------
// PAK

TEST_F(Status, PakChainStepByStep) {
    const std::string game = "c:\\games\\Brassjaw\\";
    expect_chain("pak", "waiting unused unused unused waiting waiting", "waiting: extractpak: " + game + "main\\pak0.pak is not there");

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
    expect_chain("pak", "ready unused unused unused waiting waiting", "run extractpak");

    ASSERT_EQ(run("extractpak").exit_code, 0);
    expect_chain("pak", "done unused unused unused ready waiting", "by hand, translate the members");

    // The game's text data taken from among the members: listed, translated
    // by hand (the files cannot tell how far), written back.
    put(game + "xfiles\\text.bin", std::string("New game\0Quit\0", 14));
    mkdirs(game + "xfiles\\text_!");
    expect_chain("pak", "done ready unused waiting ready waiting", "run dumptextbin; then by hand, translate");
    ASSERT_EQ(run("dumptextbin").exit_code, 0);
    expect_chain("pak", "done done unknown ready ready waiting", "run applytextbin; then by hand, translate");
    ASSERT_EQ(run("applytextbin").exit_code, 0);
    expect_chain("pak", "done done unknown done ready waiting", "by hand, translate the members");
    // The list edited after the translated text.bin was made: that copy would
    // go into rus without the new translations.
    touch(game + "xfiles\\text.txt");
    ChainText t = expect_chain("pak", "done done unknown problem ready waiting", "deal with the problems", 1);
    ASSERT_EQ(t.problems.size(), 1u);
    EXPECT_TRUE(contains(t.problems[0], game + "xfiles\\text.txt")) << t.problems[0];
    ASSERT_EQ(run("applytextbin").exit_code, 0);
    expect_chain("pak", "done done unknown done ready waiting", "by hand, translate the members");

    // By hand: the menu translated into rus.
    const Bytes menu = to_bytes("\xcd\xee\xe2\xe0\xff \xe8\xe3\xf0\xe0\r\n\xc2\xfb\xf5\xee\xe4\r\n");
    put(game + "rus\\text+menu.txt", menu);
    ChainText c = expect_chain("pak", "done done unknown done done ready",
                               "run patchpak in a folder of c:\\games\\Brassjaw, beside main and rus");
    EXPECT_EQ(c.details, std::vector<std::string>{"2 members; 1 file in " + game +
                                                  "rus\\: 1 replaces a member, 0 of the same length as their member"});

    ASSERT_EQ(run("patchpak", game + "bin").exit_code, 0);
    expect_chain("pak", "done done unknown done done done", "nothing to do");

    // The translation edited again, to the same length: the files tell
    // that it changed after the patch; its bytes tell that it is the same.
    touch(game + "rus\\text+menu.txt");
    expect_chain("pak", "done done unknown done done stale", "run patchpak");
    expect_chain("pak", "done done unknown done done done", "nothing to do", 0, {"--verify"});
    put(game + "rus\\text+menu.txt", concat({menu, to_bytes("!")}));
    expect_chain("pak", "done done unknown done done ready", "run patchpak");

    // A file whose name matches no member: patchpak would pass it over.
    put(game + "rus\\text+mneu.txt", menu);
    c = expect_chain("pak", "done done unknown done done problem", "deal with the problems listed above; run patchpak", 1);
    EXPECT_EQ(c.problems, std::vector<std::string>{
                              game + "rus\\text+mneu.txt: its name matches no member's flat name (closest: "
                                     "text+menu.txt); patchpak passes it over without a word: give it its "
                                     "member's flat name, or remove it"});
}

// ---------------------------------------------------------------------------
// Sound and video

TEST_F(Status, SoundAndVideoChainsStepByStep) {
    using namespace sndvid;
    expect_chain("sndvid", "waiting waiting waiting waiting waiting waiting", "waiting: extractsnd: ");

    const std::vector<Snd> sounds = {{"ZM101a", pattern(700, 1), 2100}, {"Door Creak", pattern(300, 2), 900}};
    put(kAudio1, make_snd(sounds));
    mkdirs(kReady);
    std::vector<Vid> videos = members(14);
    put(kVelorD, make_vid(videos, 14));
    mkdirs(kSmk);
    mkdirs("c:\\games\\zund7\\Anims");
    expect_chain("sndvid", "ready waiting waiting ready waiting waiting", "run extractsnd; then run extractvid");

    ASSERT_EQ(run("extractsnd").exit_code, 0);
    ASSERT_EQ(run("extractvid").exit_code, 0);
    // Every extracted sound lacks its plain .wav: updatesnd would stop.
    ChainText c = expect_chain("sndvid", "done ready problem done unknown ready",
                               "deal with the problems listed above; by hand, unpack the sounds", 1);
    EXPECT_EQ(c.problems, (std::vector<std::string>{
                              kReady + "Door Creak.wav.zl: its NAME.wav is not beside it; updatesnd stops at the first "
                                       "with \"Can't create file\": put each NAME.wav beside its NAME.wav.zl, or "
                                       "remove the .wav.zl",
                              kReady + "ZM101a.wav.zl: its NAME.wav is not beside it; updatesnd stops at the first "
                                       "with \"Can't create file\": put each NAME.wav beside its NAME.wav.zl, or "
                                       "remove the .wav.zl"}));

    // By hand: one sound recorded anew, the other extracted file removed;
    // the untranslated videos left as they are.
    fs::remove(host(zl("Door Creak")));
    put(zl("ZM101a"), pattern(800, 3));
    put(kReady + "ZM101a.wav", pattern(2400, 4));
    c = expect_chain("sndvid", "done done ready done unknown ready", "run updatesnd; then run mixsmk");
    EXPECT_EQ(c.details, (std::vector<std::string>{
                             kReady + ": 1 NAME.wav.zl, 1 taken by updatesnd with their NAME.wav, 0 without their "
                                      "NAME.wav, 0 matching no member; 2 members in the archive",
                             kSmk + ": 14 files, 14 replace a member, 14 of the same length as their member (perhaps "
                                    "not translated yet)"}));

    ASSERT_EQ(run("updatesnd").exit_code, 0);
    ASSERT_EQ(run("mixsmk").exit_code, 0);
    expect_chain("sndvid", "done done done done unknown done", "nothing to do");

    touch(kReady + "ZM101a.wav");
    c = expect_chain("sndvid", "done done stale done unknown done", "run updatesnd");
    EXPECT_TRUE(contains(c.steps[2], kReady + "ZM101a.wav is newer than " + kAudio + ": run updatesnd again"))
        << c.steps[2];
    ASSERT_EQ(run("updatesnd").exit_code, 0);

    // A packed sound without its .wav, a video named after no member.
    put(zl("Door Creak"), pattern(10, 5));
    put(kSmk + "m1.smk", pattern(10, 6));
    c = expect_chain("sndvid", "done done problem done unknown problem", "deal with the problems listed above", 1);
    EXPECT_EQ(c.problems, (std::vector<std::string>{
                              kReady + "Door Creak.wav.zl: its NAME.wav is not beside it; updatesnd stops at the first "
                                       "with \"Can't create file\": put each NAME.wav beside its NAME.wav.zl, or "
                                       "remove the .wav.zl",
                              kSmk + "m1.smk: matches no member of d:\\Anims\\Velor7.vid (of the 14 that mixsmk "
                                     "takes) (closest: m01.smk); mixsmk passes it over without a word: name it after "
                                     "its member, or remove it"}));
}

// ---------------------------------------------------------------------------
// Texts

TEST_F(Status, TextChainStepByStepByThePoFile) {
    using namespace texts;
    const std::string none = "waiting waiting waiting waiting waiting waiting waiting waiting waiting";
    expect_chain("texts", none, "waiting: maskbreaks: ");
    put_texts(*this);
    expect_chain("texts", "ready ready waiting waiting ready waiting waiting waiting waiting",
                 "run maskbreaks; then run exportpo (or run dumptodo)");
    ASSERT_EQ(run("maskbreaks").exit_code, 0);
    expect_chain("texts", "unknown ready waiting waiting ready waiting waiting waiting waiting",
                 "run exportpo (or run dumptodo)");
    ASSERT_EQ(run("exportpo").exit_code, 0);
    expect_chain("texts", "unknown done ready waiting ready waiting waiting waiting waiting",
                 "by hand, make zund7.po of the template");

    // By hand: part of the template translated; the route of the numbered
    // list is not taken.
    put(kPo, translate_po(get_text(kPot), 5));
    ChainText c = expect_chain("texts", "unknown done ready ready unused unused unused waiting waiting",
                               "by hand, make zund7.po of the template");
    RunResult r = run("importpo");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    // The same counting as importpo's.
    ASSERT_FALSE(c.details.empty());
    EXPECT_EQ(c.details[0], "texts of zund7.po: " + r.lines().back());
    EXPECT_EQ(c.details, (std::vector<std::string>{
                             c.details[0],
                             "ui.txt:     71%  8 texts: 5 translated, 1 fuzzy, 1 untranslated, 1 empty",
                             "items.txt:   0%  2 texts: 0 translated, 0 fuzzy, 2 untranslated, 0 empty",
                             "names.str:   0%  3 texts: 0 translated, 0 fuzzy, 2 untranslated, 1 empty"}));

    expect_chain("texts", "unknown done ready done unused unused unused ready waiting",
                 "by hand, make zund7.po of the template");
    ASSERT_EQ(run("applytodo_ready").exit_code, 0);
    expect_chain("texts", "unknown done ready done unused unused unused done ready",
                 "by hand, make zund7.po of the template");
    ASSERT_EQ(run("unmaskbreaks").exit_code, 0);
    expect_chain("texts", "unknown done ready done unused unused unused done unknown",
                 "by hand, make zund7.po of the template");

    // zund7.po changed after the ready list was made: applytodo_ready would
    // put last week's translations into the game.
    touch(kPo);
    c = expect_chain("texts", "unknown done ready problem unused unused unused done unknown",
                     "deal with the problems listed above; by hand", 1);
    EXPECT_EQ(c.problems.size(), 1u);
    ASSERT_EQ(run("importpo").exit_code, 0);
    // And the translated tables are older than the ready list now.
    c = expect_chain("texts", "unknown done ready done unused unused unused problem unknown",
                     "deal with the problems listed above; by hand", 1);
    EXPECT_EQ(c.problems, std::vector<std::string>{kReady + ": newer than " + kDone + "names.str, which was made from "
                                                   "it: the steps after take the old one without a word; run "
                                                   "applytodo_ready again"});
    ASSERT_EQ(run("applytodo_ready").exit_code, 0);
    ASSERT_EQ(run("unmaskbreaks").exit_code, 0);

    // A table changed after the ready list was made from it: the ready list
    // no longer fits it.
    touch(kText + "items.txt");
    c = expect_chain("texts", "unknown stale ready problem unused unused unused stale unknown",
                     "deal with the problems listed above", 1);
    EXPECT_TRUE(has_line(c.problems, kText + "items.txt: newer than " + kReady + ", which was made from it"));
    for (const char* job : {"exportpo", "importpo", "applytodo_ready", "unmaskbreaks"}) ASSERT_EQ(run(job).exit_code, 0);

    // A newer template: zund7.po is to be brought up to it.
    touch(kPot);
    c = expect_chain("texts", "unknown done stale done unused unused unused done unknown", "by hand, make zund7.po");
    EXPECT_TRUE(contains(c.steps[2], kPot + " is newer than " + kPo)) << c.steps[2];
}

TEST_F(Status, TextChainByTheNumberedListAndWhatWouldBeRefused) {
    using namespace texts;
    put_texts(*this);
    ASSERT_EQ(run("maskbreaks").exit_code, 0);
    ASSERT_EQ(run("dumptodo").exit_code, 0);
    // The numbered list is there: the route of the PO file is not taken.
    ChainText c = expect_chain("texts", "unknown unused unused unused done ready ready waiting waiting",
                               "by hand, write each translation in place of its placeholder line");
    ASSERT_FALSE(c.details.empty());
    EXPECT_EQ(c.details[0], "texts of !out!.txt: 13 texts: 0 translated, 0 fuzzy, 11 untranslated, 2 empty; "
                            "entries for texts no longer in the tables: 0");

    put(kList, fill_list(get_text(kList), [](const Record& r) -> std::optional<std::string> {
            if (r.text.empty()) return std::nullopt;
            return "RU" + std::to_string(r.n);
        }));
    c = expect_chain("texts", "unknown unused unused unused done done ready waiting waiting", "run collecttodo");
    RunResult r = run("collecttodo");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    ASSERT_FALSE(c.details.empty());
    EXPECT_EQ(c.details[0], "texts of !out!.txt: " + r.lines().back());
    expect_chain("texts", "unknown unused unused unused done done done ready waiting", "run applytodo_ready");

    // A translation with a tab: collecttodo would refuse the list.
    std::string list = get_text(kList);
    size_t at = list.find("RU1\r\n");
    ASSERT_NE(at, std::string::npos);
    put(kList, list.substr(0, at) + "R\tU1" + list.substr(at + 3));
    c = expect_chain("texts", "unknown unused unused unused done done problem ready waiting",
                     "deal with the problems listed above", 1);
    // (The ready list is older than the list now, too.)
    EXPECT_TRUE(has_line(c.problems, kList + ": collecttodo would refuse it: 1 problem, the first: " + kList + ":"));
    EXPECT_TRUE(has_line(c.problems, "the translation holds a tab, which would split its cell; run collecttodo to see "
                                     "them all, and mend them"));

    // A table the list names is not there: every job that reads the tables
    // would stop at it.
    put(kTodo, crlf("ui.txt\n2\n.\ngone.txt\n2\n.\n.\n.\n"));
    c = expect_chain("texts", "unknown unused unused unused problem unknown problem problem waiting",
                     "deal with the problems listed above", 1);
    const std::string gone = kText + "gone.txt: the table list names it, but it is not there; ";
    for (const char* job : {"dumptodo", "collecttodo", "applytodo_ready"})
        EXPECT_TRUE(has_line(c.problems, gone + job + " stops with \"Can't open\": put it there, or take it off the "
                                                     "list"))
            << job;
}

// ---------------------------------------------------------------------------
// LOD

// Entry data whose payload is `data` packed with zlib.
Bytes zl_entry(const std::string& name, const Bytes& data) {
    Bytes z = deflated(data);
    return concat({entry_header(name, "", 0, uint32_t(z.size()), 0, 0, uint32_t(data.size())), z});
}

std::string name4(size_t k, const std::string& name) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04zu_%s", k, name.c_str());
    return buf;
}

// The Starhold VI icons: a text entry out through headlast_strs, translated,
// back through packpayloads, headfirst_ready and rebuildlod_ordered.
TEST_F(Status, LodChainStepByStep) {
    const std::string zf = "c:\\games\\zundfiles\\", starhold = "c:\\games\\Starhold VI\\data\\";
    // Steps: extractlod_icons, extractlod_strs, headlast_strs, headlast_icons1, headlast_menu, unpackpayloads,
    // (by hand), packpayloads, headfirst_ready, headfirst_texts, headfirst_readystr, headfirst_menu,
    // headfirst_events, (by hand), updatelod_icons, updatelod_events, rebuildlod_ordered.
    expect_chain("lod", "waiting unused unused unused unused waiting waiting waiting unused unused unused unused unused "
                        "unused waiting unused unused",
                 "waiting: extractlod_icons: ");

    std::vector<LodEntry> es = tiny_entries(2703);
    es[123] = {"foo.str", zl_entry("foo.str", to_bytes("Starbase\r\nShipyard\r\n"))};
    put(starhold + "icons1.lod", make_lod(es));
    for (size_t k = 0; k < es.size(); ++k) put(zf + "icons\\" + name4(k, es[k].name + ".zl"), es[k].data);
    mkdirs(zf + "strs");
    ChainText c = expect_chain("lod", "waiting unused ready unused unused waiting waiting waiting unused unused unused "
                                      "unused unused unused waiting unused ready",
                               "run headlast_strs; then run rebuildlod_ordered");
    EXPECT_TRUE(has_line(c.details, zf + "icons\\ holds 2703 of the 2703 entry files"));

    ASSERT_EQ(run("headlast_strs").exit_code, 0);
    expect_chain("lod", "waiting unused done unused unused ready waiting waiting unused unused unused unused unused "
                        "unused waiting unused ready",
                 "run unpackpayloads");
    ASSERT_EQ(run("unpackpayloads").exit_code, 0);
    expect_chain("lod", "waiting unused done unused unused done ready waiting unused unused unused unused unused "
                        "unused waiting unused ready",
                 "by hand, edit or translate the unpacked payloads");

    // By hand: the text translated and put where it is packed again.
    put(zf + "ready\\foo.str", "\xc1\xe0\xe7\xe0\r\n");
    expect_chain("lod", "waiting unused done unused unused done done ready unused unused unused unused unused unused "
                        "waiting unused ready",
                 "run packpayloads");
    ASSERT_EQ(run("packpayloads").exit_code, 0);
    expect_chain("lod", "waiting unused done unused unused done done done ready unused unused unused unused unused "
                        "waiting unused ready",
                 "run headfirst_ready");
    ASSERT_EQ(run("headfirst_ready").exit_code, 0);
    c = expect_chain("lod", "waiting unused done unused unused done done done done unused unused unused unused ready "
                            "waiting unused ready",
                     "by hand, put the merged entry files");
    EXPECT_TRUE(contains(c.steps[13], "your turn: " + zf + "ready\\0123_foo.str.zl is newer than " + zf +
                                          "icons\\0123_foo.str.zl"))
        << c.steps[13];

    // By hand: the merged entry file in the old one's place.
    put(zf + "icons\\0123_foo.str.zl", get(zf + "ready\\0123_foo.str.zl"));
    expect_chain("lod", "waiting unused done unused unused done done done done unused unused unused unused done "
                        "waiting unused ready",
                 "run rebuildlod_ordered");
    ASSERT_EQ(run("rebuildlod_ordered").exit_code, 0);
    // (Of the zund7 icons, nothing is there.)
    expect_chain("lod", "waiting unused done unused unused done done done done unused unused unused unused done "
                        "waiting unused done",
                 "waiting: extractlod_icons: ");

    // The translation edited again and not packed since: what follows would
    // take the old one.
    touch(zf + "ready\\foo.str");
    c = expect_chain("lod", "waiting unused done unused unused done done problem done unused unused unused unused "
                            "done waiting unused done",
                     "deal with the problems listed above; run packpayloads", 1);
    EXPECT_EQ(c.problems, std::vector<std::string>{zf + "ready\\foo.str: newer than " + zf + "ready\\foo.str.zl, "
                                                   "which was made of it: the steps after take the old one without a "
                                                   "word; run packpayloads again"});
    // Once packed, the merged entry file is older than its payload.
    ASSERT_EQ(run("packpayloads").exit_code, 0);
    c = expect_chain("lod", "waiting unused done unused unused done done done problem unused unused unused unused "
                            "done waiting unused done",
                     "deal with the problems listed above", 1);
    EXPECT_EQ(c.problems, std::vector<std::string>{
                              zf + "ready\\foo.str.zl: newer than the merged entry file " + zf +
                              "ready\\0123_foo.str.zl made from it: that entry file still holds the old payload; run "
                              "headfirst_ready again"});
}

// Ready entry files that updatelod_events would pass over, and a payload of
// the archive that only --verify reads.
TEST_F(Status, ReadyEntriesAndDamageOnlyVerifyFinds) {
    const std::string data = "c:\\games\\ZUND7\\data\\", ready = "c:\\games\\zund7\\xfiles\\events_ready\\";
    std::vector<LodEntry> es;
    for (size_t k = 0; k < 198; ++k) {
        std::string n = "t" + std::to_string(k) + ".txt";
        es.push_back({n, zl_entry(n, pattern(10 + k, uint32_t(k)))});
    }
    put(data + "events1.lod", make_lod(es));
    put(ready + "0012_t12.txt.zl", zl_entry("t12.txt", to_bytes("\xcf\xf0\xe8\xe2\xe5\xf2")));
    put(ready + "0013_t31.txt.zl", es[31].data);
    put(ready + "0500_t5.txt.zl", es[5].data);
    put(ready + "0014_t14.txt.zl", pattern(10, 1));
    ChainText c = expect_chain("lod", "waiting unused unused unused unused waiting waiting waiting unused unused unused "
                                      "unused unused done waiting problem unused",
                               "deal with the problems listed above; run updatelod_events", 1);
    EXPECT_EQ(c.problems,
              (std::vector<std::string>{
                  ready + "0013_t31.txt.zl: matches no entry by number and name: entry 0013 of " + data +
                      "events1.lod is named t13.txt: its file is 0013_t13.txt.zl; updatelod_events passes it over "
                      "without a word: name it NNNN_name.zl after its entry, or remove it",
                  ready + "0014_t14.txt.zl: its entry header is cut short: the file has 10 bytes, fewer than the 48 of "
                          "an entry header; updatelod_events would take it as it is: make it again",
                  ready + "0500_t5.txt.zl: matches no entry by number and name: no entry of " + data +
                      "events1.lod has the number 500 (it has 198 entries); updatelod_events passes it over without a "
                      "word: name it NNNN_name.zl after its entry, or remove it"}));
    EXPECT_EQ(c.details, std::vector<std::string>{ready + ": 4 files, 2 taken by updatelod_events (of 198 entries), 2 "
                                                  "passed over"});

    // The archive's directory fits, but a payload is no zlib stream: only a
    // look at every member finds that.
    fs::remove(host(ready + "0013_t31.txt.zl"));
    fs::remove(host(ready + "0500_t5.txt.zl"));
    fs::remove(host(ready + "0014_t14.txt.zl"));
    Bytes lod = make_lod(es);
    lod[288 + lod_entry(lod, 20).offset + 48] ^= 0xFF;
    put(data + "events1.lod", lod);
    expect_chain("lod", "waiting unused unused unused unused waiting waiting waiting unused unused unused unused unused "
                        "done waiting ready unused",
                 "run updatelod_events");
    c = expect_chain("lod", "waiting unused unused unused unused waiting waiting waiting unused unused unused unused "
                            "unused done waiting problem unused",
                     "deal with the problems listed above", 1, {"--verify"});
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_EQ(c.problems[0].substr(0, 80), ("Damaged file " + data + "events1.lod: entry t20.txt: its payload is not a "
                                            "valid zlib stream").substr(0, 80));
    EXPECT_TRUE(contains(last.out, "\n1 problem listed; every archive and font that is there was read whole "
                                   "(--verify).\n"))
        << last.out;
}

// ---------------------------------------------------------------------------
// Bitmaps and fonts

TEST_F(Status, BitmapChainStepByStep) {
    const std::string data = "c:\\games\\ZUND7\\data\\", x = "c:\\games\\zund7\\xfiles\\";
    expect_chain("bitmaps", "waiting waiting waiting waiting waiting waiting", "waiting: extracttgas: ");

    std::vector<LodEntry> es = plain_entries();
    es[3] = {"logo", image_entry("logo", "tga", 5, 3, pattern(15, 1), pattern(768, 2))};
    const Bytes lod = make_lod(es);
    put(data + "icons1.lod", lod);
    put(data + "icons.lod", lod);
    put(x + "icons_all\\0003_logo", pattern(15, 1)); // unpacked by unpackpayloads
    for (const char* folder : {"icons_tga", "readytga\\pack", "icons_ready"}) mkdirs(x + folder);
    expect_chain("bitmaps", "ready waiting waiting waiting waiting waiting", "run extracttgas");
    ASSERT_EQ(run("extracttgas").exit_code, 0);
    expect_chain("bitmaps", "done ready waiting waiting waiting waiting", "by hand, edit the images");

    // By hand: one pixel edited.
    Bytes tga = get(x + "icons_tga\\0003_logo.tga");
    tga[786 + 4] ^= 0xFF;
    put(x + "readytga\\0003_logo.tga", tga);
    expect_chain("bitmaps", "done done ready waiting waiting waiting", "run readtgas");
    ASSERT_EQ(run("readtgas").exit_code, 0);
    expect_chain("bitmaps", "done done done ready waiting waiting", "run packpayloads");
    ASSERT_EQ(run("packpayloads").exit_code, 0);
    expect_chain("bitmaps", "done done done done ready waiting", "run comptgas");
    ASSERT_EQ(run("comptgas").exit_code, 0);
    // The game's icons.lod is older than the entry file it is to take.
    ChainText c = expect_chain("bitmaps", "done done done done done stale", "run updatelod_icons");
    EXPECT_TRUE(has_line(c.details, x + "icons_ready\\: 1 file, 1 taken by updatelod_icons (of 4241 entries), 0 "
                                    "passed over"));
    EXPECT_TRUE(has_line(c.details, x + "readytga\\pack\\*: 1 file, 1 with its file in " + x + "readytga\\"));
    ASSERT_EQ(run("updatelod_icons").exit_code, 0);
    // extracttgas read the icons.lod that updatelod_icons has replaced since:
    // that tells nothing of it.
    expect_chain("bitmaps", "done done done done done done", "nothing to do");

    // The image read again, not packed since.
    touch(x + "readytga\\pack\\0003_logo");
    expect_chain("bitmaps", "done done done problem done done", "deal with the problems listed above", 1);
}

TEST_F(Status, FontChainStepByStep) {
    using namespace fonttest;
    expect_chain("fonts", "waiting unused waiting waiting", "waiting: extractfonts: ");
    std::vector<uint32_t> widths(225, 3);
    Font comic = make_font(20, widths, 61);
    put(kZund + "calig.fn1", calig_file(make_font(27, calig_widths(), 60)));
    put(kZund + "comic.fnt", fnt_file(comic));
    put(kSource, fnt_file(comic));
    mkdirs(kOut);
    mkdirs("c:\\games\\hexfiles\\fonts");
    expect_chain("fonts", "ready unused waiting waiting", "run extractfonts");
    ASSERT_EQ(run("extractfonts").exit_code, 0);
    expect_chain("fonts", "done unused ready waiting", "by hand, redraw the glyphs");

    // By hand: the strip saved by the image editor where buildfont reads it.
    put(kImage, edited(strip_of(comic), 225 * 3 + 225, 20, 1565));
    expect_chain("fonts", "done unused done ready", "run buildfont");
    ASSERT_EQ(run("buildfont").exit_code, 0);
    expect_chain("fonts", "done unused done done", "nothing to do");
    touch(kImage);
    expect_chain("fonts", "done unused done stale", "run buildfont");

    // A font cut short: only --verify reads the fonts.
    put(kZund + "comic.fnt", fonttest::slice(fnt_file(comic), 0, 4000));
    expect_chain("fonts", "stale unused done stale", "run extractfonts; then run buildfont");
    ChainText c = expect_chain("fonts", "problem unused done stale", "deal with the problems listed above", 1,
                               {"--verify"});
    EXPECT_EQ(c.problems, std::vector<std::string>{"Damaged file " + kZund + "comic.fnt: shorter than the font tables; "
                                                   "put an undamaged copy in its place"});
}

// ---------------------------------------------------------------------------
// The command, its JSON, and the chains' data

TEST_F(Status, AnswersHelpRefusesWhatItDoesNotKnow) {
    RunOptions o;
    o.args = {"status", "--help"};
    RunResult r = run("locbench", "c:\\", o);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.lines().front().substr(0, 17), "locbench status: ");
    for (const about::Option& opt : {about::Option{"--verify", ""}, about::Option{"--json", ""}})
        EXPECT_TRUE(contains(r.out, std::string("  ") + opt.name + " ")) << r.out;
    o.expect_stderr = true;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"status", "--frobnicate"}, {"status", "--json", "--json"}, {"status", "--help", "--json"}}) {
        o.args = bad;
        r = run("locbench", "c:\\", o);
        EXPECT_EQ(r.exit_code, 2) << bad[1];
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(contains(r.err, "usage: locbench status [--verify] [--verbose] [--json] [--help]")) << r.err;
    }
    // A job's own executable knows no status.
    o.args = {"status"};
    r = run("patchpak", "c:\\", o);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
}

// The JSON document holds what the text shows: Python's json module reads
// it, and each chain's states, next steps and problems come out the same.
TEST_F(Status, JsonAgreesWithTheText) {
    using namespace sndvid;
    const std::string game = "c:\\games\\Brassjaw\\";
    // A game archive whose directory lies past its end, a prepared sound of
    // no member, an unfinished text chain (Windows-1251 names).
    put(game + "main\\pak0.pak", Buf().raw("PACK").u32(12).u32(640).b);
    put(kAudio1, make_snd({{"ZM101a", pattern(70, 1), 210}}));
    put(zl("\xc4\xe2\xe5\xf0\xfc"), pattern(5, 2)); // "Дверь.wav.zl"
    put(kReady + "\xc4\xe2\xe5\xf0\xfc.wav", pattern(5, 3));
    texts::put_texts(*this);
    RunResult text = status();
    ASSERT_EQ(text.exit_code, 1) << text.out;
    RunResult json = status({"--json"});
    ASSERT_EQ(json.exit_code, 1);
    put("c:\\status.json", json.out);

    // Python prints each chain as the text would: title, "  STATE STEP",
    // the problems, "  next: ..."; then the count of problems.
    const std::string script =
        "import json, sys\n"
        "d = json.load(open(sys.argv[1], encoding='utf-8'))\n"
        "out = []\n"
        "for c in d['chains']:\n"
        "    out.append(c['title'])\n"
        "    for s in c['steps']:\n"
        "        out.append('  %-8s %s: %s' % (s['state'], s['step'], s['reason']))\n"
        "        out += ['           ' + x for x in s['details']]\n"
        "        out += ['           problem: ' + p['line'] for p in s['problems']]\n"
        "    out.append('  next: ' + c['next'])\n"
        "    out.append('')\n"
        "n = d['problems']\n"
        "out.append('No problem listed.' if n == 0 else '%d problem%s listed.' % (n, '' if n == 1 else 's'))\n"
        "sys.stdout.buffer.write('\\n'.join(out).encode('utf-8') + b'\\n')\n";
    put("c:\\read.py", script);
    texts::ToolRun py = texts::run_tool({"python3", host("c:\\read.py").string(), host("c:\\status.json").string()},
                                        host("c:\\"));
    ASSERT_EQ(py.code, 0) << py.out;
    EXPECT_EQ(py.out, win::to_utf8(text.out));
    // The archive is told at two steps, and counts once; extractpak would
    // find no folder to write into.
    EXPECT_TRUE(contains(text.out, "\n3 problems listed.\n")) << text.out;
    EXPECT_TRUE(contains(text.out, "problem: " + game + "xfiles\\pak\\: this folder is not there; extractpak creates "
                                   "no folder and would stop where it writes into it: make it\n"))
        << text.out;
    EXPECT_TRUE(contains(py.out, "Damaged file " + game + "main\\pak0.pak: the directory lies past the end of the "
                                 "archive; put an undamaged copy in its place"))
        << py.out;
    EXPECT_TRUE(contains(py.out, win::to_utf8(kReady + "\xc4\xe2\xe5\xf0\xfc.wav.zl: matches no member of ")))
        << py.out;
}

TEST(Chains, EveryReferenceNamesOnePlaceOfItsJob) {
    auto check = [](const chains::Ref& r) {
        EXPECT_NE(chains::place(r), nullptr) << r.job << ": " << r.end;
    };
    for (const chains::Chain& c : chains::chains())
        for (const chains::Step& s : c.steps) {
            EXPECT_TRUE((s.job != nullptr) != (s.hand != nullptr)) << s.name();
            if (s.job) {
                EXPECT_NE(about::find(s.job), nullptr) << s.job;
            }
            for (const chains::Ref& r : s.needs) check(r);
            for (const chains::Ref& r : s.makes) check(r);
            for (const chains::Pair& p : s.pairs) {
                check(p.from);
                check(p.to);
            }
        }
    for (const chains::Fixed& f : chains::fixed_counts()) check(f.place);
    // patchpak's places, relative to the folder it runs in, as extractpak
    // lays the game out.
    const about::Job* patchpak = about::find("patchpak");
    ASSERT_NE(patchpak, nullptr);
    EXPECT_EQ(chains::home(*patchpak), "c:\\games\\Brassjaw");
    EXPECT_EQ(chains::absolute(*chains::place({"patchpak", "rus\\"})), "c:\\games\\Brassjaw\\rus\\");
}

// The pictures of the README are drawn from the chains' data as it is now:
// each chain's Graphviz source kept beside its picture is the one the data
// give, and the picture carries the stamp of that source (made anew with
// build/tools/locbench_docs pictures docs/chains).
TEST(Docs, ChainPicturesAreDrawnFromTheChainsDataAsItIsNow) {
    auto text = [](const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    };
    for (const chains::Chain& c : chains::chains()) {
        std::string key;
        for (const about::WorkflowInfo& w : about::workflows())
            if (w.id == c.workflow) key = w.key;
        const std::string base = std::string(LOCBENCH_CHAIN_PICTURES) + "/" + key, source = chains::dot(c);
        EXPECT_EQ(text(base + ".dot"), source) << key << ": run build/tools/locbench_docs pictures docs/chains";
        EXPECT_TRUE(contains(text(base + ".svg"), "<!-- " + chains::stamp(source) + " -->"))
            << key << ".svg is older than its source: run build/tools/locbench_docs pictures docs/chains";
    }
    // The manual page tells status as its description does.
    const std::string page = text(LOCBENCH_MAN_PAGE);
    EXPECT_TRUE(contains(page, ".SH \"LOCBENCH status\"\n")) << page;
    for (const about::Option& o : status::description().options)
        EXPECT_TRUE(contains(page, "\\fB" + std::string(o.name).replace(0, 2, "\\-\\-") + "\\fR\n")) << o.name;
}

} // namespace
