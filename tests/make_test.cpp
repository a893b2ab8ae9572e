// locbench make runs each chain from the game files and the work done by
// hand through to its last automatic step, each job as its own process:
// again with nothing to do, after files were touched, after an input was
// edited, with a generated file edited, with a job that fails, as a plan
// (-n), and killed at random instants.
#include "support/fonts_builders.hpp"
#include "support/lod_builders.hpp"
#include "support/sndvid_builders.hpp"
#include "support/texts_builders.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string io_name(size_t k) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04zu", k);
    return buf;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kBrassjaw = "c:\\games\\Brassjaw\\";
const std::string kJournal = "c:\\games\\locbench.journal";
const std::string kZf = "c:\\games\\zundfiles\\", kStarhold = "c:\\games\\Starhold VI\\data\\";
const std::string kData = "c:\\games\\ZUND7\\data\\", kX = "c:\\games\\zund7\\xfiles\\";

// The game's PAK archive: a menu and a sound.
Bytes pak_archive() {
    Buf data, dir;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>>{
             {"text/menu.txt", to_bytes("New game\r\nQuit\r\n")}, {"sound/hello.wav", pattern(300, 1)}}) {
        dir.field(name, 56).u32(uint32_t(12 + data.size())).u32(uint32_t(bytes.size()));
        data.raw(bytes);
    }
    return Buf().raw("PACK").u32(uint32_t(12 + data.size())).u32(uint32_t(dir.size())).raw(data.b).raw(dir.b).b;
}

const Bytes kMenu = to_bytes("\xcd\xee\xe2\xe0\xff \xe8\xe3\xf0\xe0\r\n\xc2\xfb\xf5\xee\xe4\r\n");

Bytes zl_entry(const std::string& name, const Bytes& data) {
    Bytes z = deflated(data);
    return concat({entry_header(name, "", 0, uint32_t(z.size()), 0, 0, uint32_t(data.size())), z});
}

std::string name4(size_t k, const std::string& name) { return io_name(k) + "_" + name; }

fonttest::Font comic_font() { return fonttest::make_font(20, std::vector<uint32_t>(225, 3), 61); }

class Make : public JobTest {
protected:
    RunResult make(const std::vector<std::string>& more = {}) {
        RunOptions o;
        o.args = {"make"};
        o.args.insert(o.args.end(), more.begin(), more.end());
        return run("locbench", "c:\\", o);
    }
    // The summary line of a chain, without "KEY: ".
    static std::string summary(const RunResult& r, const std::string& key) {
        for (const std::string& l : r.lines())
            if (l.compare(0, key.size() + 2, key + ": ") == 0) return l.substr(key.size() + 2);
        return "(no line for " + key + ")";
    }
    // The jobs it started, in order.
    static std::vector<std::string> started(const RunResult& r) {
        std::vector<std::string> jobs;
        for (const std::string& l : r.lines())
            if (l.size() > 1 && l[0] == '[' && l.find("] ") != std::string::npos) {
                std::string rest = l.substr(l.find("] ") + 2);
                jobs.push_back(rest.substr(0, rest.find(':')));
            }
        return jobs;
    }
    // Every file's last write an hour earlier, content untouched: a folder
    // unpacked again from a zip.
    void touch_all() {
        for (const char* drive : {"c:", "d:", "e:"})
            for (const auto& e : fs::recursive_directory_iterator(prefix() / "dosdevices" / drive))
                if (e.is_regular_file() && !e.is_symlink() && e.path() != host(kJournal))
                    fs::last_write_time(e.path(), e.last_write_time() - std::chrono::hours(1));
    }

    void pak_game() {
        put(kBrassjaw + "main\\pak0.pak", pak_archive());
        mkdirs(kBrassjaw + "xfiles\\pak");
        mkdirs(kBrassjaw + "rus");
    }
    void pak_hand() { put(kBrassjaw + "rus\\text+menu.txt", kMenu); }
    void fonts_game() {
        using namespace fonttest;
        put(kZund + "calig.fn1", calig_file(make_font(27, calig_widths(), 60)));
        put(kZund + "comic.fnt", fnt_file(comic_font()));
        put(kSource, fnt_file(comic_font()));
        mkdirs(kOut);
        mkdirs("c:\\games\\hexfiles\\fonts");
    }
    void fonts_hand() { put(fonttest::kImage, fonttest::edited(fonttest::strip_of(comic_font()), 225 * 3 + 225, 20, 1565)); }
};

// Each chain: its game files, a first make up to the step by hand, that
// step's work planted, a second make to the end; a third runs nothing and
// leaves every file and time as it was, and so does one after every file was
// touched.
TEST_F(Make, EachChainFromTheGameFilesToItsLastAutomaticStep) {
    struct Case {
        std::string key;
        std::function<void()> game, hand;
        std::vector<std::string> first;
        std::string first_waits; // the start of what the first make says it waits for
        std::vector<std::string> second;
        std::string second_end; // what its summary line says after what ran
    };
    using namespace sndvid;
    const std::vector<Case> cases = {
        {"pak", [&] { pak_game(); }, [&] { pak_hand(); }, {"extractpak"},
         "waiting for by hand: translate the members", {"patchpak"}, "; done"},
        {"fonts", [&] { fonts_game(); }, [&] { fonts_hand(); }, {"extractfonts"},
         "waiting for by hand: redraw the glyphs", {"buildfont"}, "; done"},
        {"sndvid",
         [&] {
             put(kAudio1, make_snd({{"ZM101a", pattern(700, 1), 2100}, {"Door Creak", pattern(300, 2), 900}}));
             mkdirs(kReady);
             put(kVelorD, make_vid(members(14), 14));
             mkdirs(kSmk);
             mkdirs("c:\\games\\zund7\\Anims");
         },
         [&] {
             fs::remove(host(zl("Door Creak")));
             put(zl("ZM101a"), pattern(800, 3));
             put(kReady + "ZM101a.wav", pattern(2400, 4));
         },
         {"extractsnd"}, "waiting for by hand: unpack the sounds", {"updatesnd", "extractvid", "mixsmk"}, "; done"},
        {"bitmaps",
         [&] {
             std::vector<LodEntry> es = plain_entries();
             es[3] = {"logo", image_entry("logo", "tga", 5, 3, pattern(15, 1), pattern(768, 2))};
             put(kData + "icons1.lod", make_lod(es));
             put(kData + "icons.lod", make_lod(es));
             put(kX + "icons_all\\0003_logo", pattern(15, 1));
             for (const char* folder : {"icons_tga", "readytga\\pack", "icons_ready"}) mkdirs(kX + folder);
         },
         [&] {
             Bytes tga = get(kX + "icons_tga\\0003_logo.tga");
             tga[786 + 4] ^= 0xFF;
             put(kX + "readytga\\0003_logo.tga", tga);
         },
         {"extracttgas"}, "waiting for by hand: edit the images",
         {"readtgas", "packpayloads", "comptgas", "updatelod_icons"}, "; done"},
        {"lod",
         [&] {
             std::vector<LodEntry> es = tiny_entries(2703);
             es[123] = {"foo.str", zl_entry("foo.str", to_bytes("Starbase\r\nShipyard\r\n"))};
             put(kStarhold + "icons1.lod", make_lod(es));
             for (size_t k = 0; k < es.size(); ++k) put(kZf + "icons\\" + name4(k, es[k].name + ".zl"), es[k].data);
             mkdirs(kZf + "strs");
         },
         [&] { put(kZf + "ready\\foo.str", "\xc1\xe0\xe7\xe0\r\n"); },
         {"headlast_strs", "unpackpayloads"}, "waiting for by hand: edit or translate the unpacked payloads",
         {"packpayloads", "headfirst_ready", "rebuildlod_ordered"}, "waiting for a file of the game: extractlod_icons"},
        {"texts", [&] { texts::put_texts(*this); },
         [&] { put(texts::kPo, texts::translate_po(get_text(texts::kPot), 5)); }, {"maskbreaks", "exportpo"},
         "waiting for by hand: make zund7.po", {"importpo", "applytodo_ready", "unmaskbreaks"},
         "; the step by hand has got so far: 5 of the 11 texts translated (45%); 1 fuzzy and 5 untranslated keep "
         "their own text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        reset_drives();
        c.game();
        RunResult r = make({c.key});
        ASSERT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(started(r), c.first) << r.out;
        EXPECT_EQ(summary(r, c.key).find(c.first_waits), summary(r, c.key).find("; ") + 2) << r.out;
        c.hand();
        r = make({c.key});
        ASSERT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(started(r), c.second) << r.out;
        const std::string line = summary(r, c.key);
        EXPECT_TRUE(contains(line, c.second_end)) << r.out;
        // N, the steps planned, counts the steps that ran.
        EXPECT_TRUE(contains(r.out, "[" + std::to_string(c.second.size()) + "/" + std::to_string(c.second.size()) + "] " +
                                        c.second.back() + ": "))
            << r.out;
        EXPECT_TRUE(contains(line, "ran " + std::to_string(c.second.size()) + " (" + c.second.front())) << line;

        auto times = stamps();
        r = make({c.key});
        EXPECT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(started(r), std::vector<std::string>{}) << r.out;
        EXPECT_EQ(stamps(), times) << "a make with nothing to do changed the tree";
        touch_all();
        times = stamps();
        r = make({c.key});
        EXPECT_EQ(started(r), std::vector<std::string>{}) << r.out;
        EXPECT_EQ(stamps(), times);
    }
}

// An edited input reruns the steps after it and no other; a generated file
// edited since make wrote it is not overwritten, unless forced.
TEST_F(Make, AnEditedInputRerunsExactlyTheStepsAfterIt) {
    pak_game();
    pak_hand();
    fonts_game();
    fonts_hand();
    RunResult r = make();
    ASSERT_EQ(r.exit_code, 0) << r.out;
    ASSERT_EQ(started(r), (std::vector<std::string>{"extractpak", "patchpak", "extractfonts", "buildfont"})) << r.out;

    struct Case {
        std::function<void()> edit;
        std::vector<std::string> runs;
    };
    const std::vector<Case> cases = {
        {[&] { put(kBrassjaw + "rus\\text+menu.txt", concat({kMenu, to_bytes("!")})); }, {"patchpak"}},
        {[&] { // same length, new content
             Bytes m = kMenu;
             m[0] ^= 1;
             put(kBrassjaw + "rus\\text+menu.txt", m);
         },
         {"patchpak"}},
        {[&] {
             Bytes strip = get(fonttest::kImage);
             strip[strip.size() / 2] ^= 1;
             put(fonttest::kImage, strip);
         },
         {"buildfont"}},
    };
    for (const Case& c : cases) {
        c.edit();
        r = make();
        EXPECT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(started(r), c.runs) << r.out;
        EXPECT_EQ(summary(r, "pak"), c.runs.front() == "patchpak" ? "ran 1 (patchpak); done" : "ran 0; done");
    }

    // The built font edited by hand, then its strip: buildfont would
    // overwrite the edit.
    const std::string built = "c:\\games\\hexfiles\\fonts\\comic.fnt";
    Bytes edited = get(built);
    edited[100] ^= 0xFF;
    put(built, edited);
    Bytes strip = get(fonttest::kImage);
    strip[strip.size() / 3] ^= 1;
    put(fonttest::kImage, strip);
    r = make({"fonts"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(started(r), std::vector<std::string>{});
    EXPECT_TRUE(contains(r.out, "Refused: buildfont would overwrite " + built + ", which make wrote and which was "
                                "edited since; keep a copy and remove it, or run locbench make --force\n"))
        << r.out;
    EXPECT_EQ(get(built), edited);
    r = make({"--force", "fonts"});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(started(r), std::vector<std::string>{"buildfont"});
    EXPECT_NE(get(built), edited);
}

// A job that fails stops make with its exit code; -k goes on with the other
// chains and lists the steps after the failed one as skipped.
TEST_F(Make, AFailingJobStopsItAndKGoesOn) {
    put(kBrassjaw + "main\\pak0.pak", Buf().raw("PACK").u32(12).u32(640).b); // its directory past its end
    mkdirs(kBrassjaw + "xfiles\\pak");
    pak_hand();
    fonts_game();
    fonts_hand();
    RunResult r = make();
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_EQ(started(r), std::vector<std::string>{"extractpak"});
    EXPECT_TRUE(contains(r.out, "\nFAILED: extractpak (exit 1) after ")) << r.out;
    EXPECT_EQ(summary(r, "pak"), "ran 0, skipped 1 (patchpak); FAILED: extractpak (exit 1)");
    EXPECT_EQ(summary(r, "fonts"), "ran 0, skipped 2 (extractfonts, buildfont); waiting for a failure elsewhere");
    EXPECT_FALSE(has("c:\\games\\hexfiles\\fonts\\comic.fnt"));

    r = make({"-k"});
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_EQ(started(r), (std::vector<std::string>{"extractpak", "extractfonts", "buildfont"}));
    EXPECT_EQ(summary(r, "fonts"), "ran 2 (extractfonts, buildfont); done");
    EXPECT_TRUE(has("c:\\games\\hexfiles\\fonts\\comic.fnt"));
}

// -n: the whole plan, steps that wait for an earlier step's output included;
// the tree and its times unchanged. The usage errors.
TEST_F(Make, PlanChangesNothingAndUsageErrors) {
    using namespace sndvid;
    pak_game();
    pak_hand();
    std::vector<LodEntry> es = plain_entries();
    es[3] = {"logo", image_entry("logo", "tga", 5, 3, pattern(15, 1), pattern(768, 2))};
    put(kData + "icons1.lod", make_lod(es));
    put(kData + "icons.lod", make_lod(es));
    put(kX + "icons_all\\0003_logo", pattern(15, 1));
    for (const char* folder : {"icons_tga", "readytga\\pack", "icons_ready"}) mkdirs(kX + folder);
    ASSERT_EQ(make({"bitmaps"}).exit_code, 0);
    Bytes tga = get(kX + "icons_tga\\0003_logo.tga");
    put(kX + "readytga\\0003_logo.tga", tga);

    auto times = stamps();
    RunResult r = make({"-n", "bitmaps", "pak"});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(stamps(), times) << "make -n changed the tree";
    EXPECT_EQ(started(r), (std::vector<std::string>{"extractpak", "patchpak", "readtgas", "packpayloads", "comptgas",
                                                    "updatelod_icons"}))
        << r.out;
    EXPECT_TRUE(contains(r.out, "[4/6] packpayloads: after the step before writes readytga\\pack\\*\n")) << r.out;
    EXPECT_EQ(summary(r, "pak"), "would run 2 (extractpak, patchpak); done");
    EXPECT_EQ(summary(r, "fonts"), "(no line for fonts)");

    RunOptions o;
    o.expect_stderr = true;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"make", "--frobnicate"}, {"make", "paks"}, {"make", "-n", "-n"}, {"make", "--help", "-n"}}) {
        o.args = bad;
        r = run("locbench", "c:\\", o);
        EXPECT_EQ(r.exit_code, 2) << bad[1];
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(contains(r.err, "usage: locbench make [-n] [-k] [--force] [pak|lod|bitmaps|fonts|sndvid|texts...]"))
            << r.err;
    }
    EXPECT_EQ(stamps(), times);
}

// The compact view of status: one line per step within 100 columns, the
// unused branch folded, a done chain saying so; --verbose as of old.
TEST_F(Make, StatusShowsOneCompactLinePerStep) {
    pak_game();
    pak_hand();
    ASSERT_EQ(make({"pak"}).exit_code, 0);
    RunOptions o;
    o.args = {"status"};
    RunResult r = run("locbench", "c:\\", o);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    std::vector<std::string> lines = r.lines();
    for (const std::string& l : lines) EXPECT_LE(l.size(), 100u) << l;
    std::vector<std::string> pak(lines.begin(), lines.begin() + 7);
    EXPECT_EQ(pak, (std::vector<std::string>{
                       "PAK archive (second game)",
                       "  done     extractpak  " + kBrassjaw + "xfiles\\pak\\ holds 2 files, made of its inputs as "
                       "they are",
                       "  unused   3 steps of a branch or route not taken: dumptextbin, by hand, applytextbin",
                       "  done     by hand     " + kBrassjaw + "rus\\ holds 1 file",
                       "  done     patchpak    the file in " + kBrassjaw + "rus\\ that replaces a member is in the "
                       "archiv...",
                       "           2 members; 1 file in " + kBrassjaw + "rus\\: 1 replaces a member, 1 of the same "
                       "length...",
                       "  done: every step of this chain is done"}));
    o.args = {"status", "--verbose"};
    r = run("locbench", "c:\\", o);
    EXPECT_TRUE(contains(r.out, "\n  unused   by hand: write each translation in place of its placeholder line in "
                                "text.txt: none of its inputs is there: a branch this translation does not take "
                                "(yet)\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "\n  next: nothing to do")) << r.out;
}

// make killed at random instants: every file whole (its old content or its
// new, whole), and the next make finishes the work as one left alone does.
TEST_F(Make, KilledAtRandomTheNextMakeFinishes) {
    if (under_wine()) GTEST_SKIP() << "signals are sent to the Linux build's processes";
    auto setup = [&] {
        reset_drives();
        pak_game();
        pak_hand();
        fonts_game();
        fonts_hand();
    };
    auto files = [&] {
        std::map<std::string, Bytes> s = snapshot();
        for (auto it = s.begin(); it != s.end();)
            // The journal, and what a job writes while it works (patchpak's
            // new archive, the files beside the ones replaced).
            it = (contains(it->first, "locbench.journal") || contains(it->first, ".locbench-new") ||
                  contains(it->first, "main/pak1.pak"))
                     ? s.erase(it)
                     : std::next(it);
        return s;
    };
    setup();
    const std::map<std::string, Bytes> before = files();
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(make().exit_code, 0);
    const auto whole = std::chrono::steady_clock::now() - t0;
    const std::map<std::string, Bytes> after = files();
    ASSERT_NE(before, after);

    std::mt19937 rng(29);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        setup();
        const auto at = std::chrono::microseconds(
            std::uniform_int_distribution<long>(0, long(std::chrono::duration_cast<std::chrono::microseconds>(whole).count()))(rng));
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setpgid(0, 0); // make and the job it runs, for the test to wait for
            setenv("WINEPREFIX", prefix().c_str(), 1);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            if (chdir((prefix() / "dosdevices" / "c:").c_str()) != 0) _exit(126);
            execl(LOCBENCH_BIN_DIR "/locbench", "locbench", "make", (char*)nullptr);
            _exit(127);
        }
        std::this_thread::sleep_for(at);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        // The job it was running goes on to its end.
        for (int i = 0; i < 1000 && ::kill(-pid, 0) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_NE(::kill(-pid, 0), 0) << "the job make ran did not end";
        for (const auto& [path, bytes] : files()) {
            auto a = after.find(path), b = before.find(path);
            bool old_one = b != before.end() && b->second == bytes, new_one = a != after.end() && a->second == bytes;
            EXPECT_TRUE(old_one || new_one) << path << " is neither its old content nor its new";
        }
        RunResult r = make();
        EXPECT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(files(), after);
        r = make();
        EXPECT_EQ(started(r), std::vector<std::string>{}) << r.out;
    }
}

} // namespace
