// locbench release, install and uninstall on a sample game of each kind: a
// release made from an original and a translated folder is installed into
// a copy of the original, which becomes the translated folder byte for byte,
// and uninstall makes it the original again, records and all. Refusals
// (another version, hostile or damaged releases, a full disk) change nothing;
// a run killed at any instant leaves every file whole, and the next run
// finishes it.
#include "platform/win.hpp"
#include "release/manifest.hpp"
#include "support/fonts_builders.hpp"
#include "support/hardening.hpp"
#include "support/lod_builders.hpp"
#include "support/sndvid_builders.hpp"
#include "support/texts_builders.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

// A Windows path (Windows-1251, as the fixture takes them) from UTF-8.
std::string w(const std::string& utf8) {
    std::string cp;
    win::from_utf8(utf8, &cp);
    return cp;
}

const std::string kOrig = "c:\\orig\\", kTrans = "c:\\trans\\", kOut = "c:\\out\\", kGame = w("d:\\Игры\\zund7\\");

Bytes make_pak(const std::vector<std::pair<std::string, Bytes>>& members) {
    Buf data, dir;
    uint32_t at = 12;
    for (const auto& [name, body] : members) {
        dir.field(name, 56).u32(at).u32(uint32_t(body.size()));
        data.raw(body);
        at += uint32_t(body.size());
    }
    Buf pak;
    pak.raw(std::string("PACK")).u32(at).u32(uint32_t(dir.size())).raw(data.b).raw(dir.b);
    return pak.b;
}

// The files of the sample game, and the same game translated: members of
// each archive replaced (and one added to the PAK), a font and a table
// changed, a file added, the rest as it was.
struct Sample {
    std::map<std::string, Bytes> original, translated;
    uint64_t replaced = 0; // bytes of the archives' replaced and added members
};

Sample sample(uint32_t scale = 1) {
    Sample s;
    std::vector<std::pair<std::string, Bytes>> pak;
    for (uint32_t i = 0; i < 40; ++i) pak.push_back({"sound/v" + std::to_string(i) + ".wav", pattern(3000 * scale + 97 * i, i)});
    s.original["main\\pak0.pak"] = make_pak(pak);
    pak[7].second = pattern(2500, 900);
    pak.insert(pak.begin() + 3, {"text_!/text.bin", pattern(1200, 901)});
    s.replaced += 2500 + 1200;
    s.translated["main\\pak0.pak"] = make_pak(pak);

    std::vector<LodEntry> lod = tiny_entries(60, 3);
    for (LodEntry& e : lod) e.data = concat({e.data, pattern(2000 * scale, uint32_t(e.data.size()))});
    s.original["data\\icons.lod"] = make_lod(lod);
    lod[20].data = concat({slice(lod[20].data, 0, 48), pattern(900, 902)});
    lod[41].data = concat({slice(lod[41].data, 0, 48), pattern(3100, 903)});
    s.replaced += 948 + 3148;
    s.translated["data\\icons.lod"] = make_lod(lod);

    std::vector<sndvid::Snd> snd;
    for (uint32_t i = 0; i < 30; ++i) snd.push_back({"voice" + std::to_string(i), pattern(4000 * scale, 100 + i), 9000});
    s.original["Sounds\\Audio.snd"] = sndvid::make_snd(snd);
    snd[12].data = pattern(3333, 904);
    s.replaced += 3333;
    s.translated["Sounds\\Audio.snd"] = sndvid::make_snd(snd);

    std::vector<sndvid::Vid> vid;
    for (uint32_t i = 0; i < 12; ++i) vid.push_back({sndvid::smk_name(i), pattern(20000 * scale, 200 + i)});
    s.original["Anims\\Velor7.vid"] = sndvid::make_vid(vid, 12);
    vid[5].data = pattern(15000, 905);
    s.replaced += 15000;
    s.translated["Anims\\Velor7.vid"] = sndvid::make_vid(vid, 12);

    fonttest::Font f = fonttest::make_font(20, std::vector<uint32_t>(225, 9), 7);
    s.original["zundfiles\\ZUND7.FNT"] = fonttest::fnt_file(f);
    for (int i = 161; i < 225; ++i) f.width[i] = 11;
    f.bitmaps = pattern(225 * 11 * 20, 906);
    for (int i = 0, at = 0; i < 225; at += int(f.width[i]) * 20, ++i) f.offset[i] = uint32_t(at);
    s.translated["zundfiles\\ZUND7.FNT"] = fonttest::fnt_file(f);

    s.original["text_!\\items.txt"] = to_bytes("Sword\tA sharp blade\r\nShield\tA round shield\r\n");
    s.translated["text_!\\items.txt"] = to_bytes("Меч\tОстрый клинок\r\nShield\tКруглый щит\r\n");
    s.original["readme.txt"] = s.translated["readme.txt"] = to_bytes("The game.\r\n");
    s.original["Sounds\\Audio1.snd"] = s.translated["Sounds\\Audio1.snd"] = pattern(5000, 907);
    s.translated[w("rus\\шрифты\\notes.txt")] = to_bytes("Перевод.\r\n");
    return s;
}

class Release : public JobTest {
protected:
    void put_tree(const std::string& root, const std::map<std::string, Bytes>& files) {
        for (const auto& [rel, data] : files) put(root + rel, data);
    }
    // Every file under a folder, by its path below it.
    std::map<std::string, Bytes> tree(const std::string& winroot) {
        std::map<std::string, Bytes> t;
        fs::path root = host(winroot);
        if (!fs::exists(root)) return t;
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            if (!e.is_regular_file()) continue;
            std::ifstream f(e.path(), std::ios::binary);
            t[fs::relative(e.path(), root).string()] = Bytes(std::istreambuf_iterator<char>(f), {});
        }
        return t;
    }
    std::set<std::string> folders_of(const std::string& winroot) {
        std::set<std::string> out;
        fs::path root = host(winroot);
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.is_directory()) out.insert(fs::relative(e.path(), root).string());
        return out;
    }
    // A folder as the commands take it: the host path, or under Wine the
    // Windows path itself (which Wine takes from its arguments as UTF-8 and
    // hands to the program as UTF-16).
    std::string arg(const std::string& winpath) {
        return under_wine() ? win::to_utf8(shown(winpath)) : shown(winpath);
    }
    RunResult command(const std::vector<std::string>& args, const RunOptions& base = {}) {
        RunOptions o = base;
        o.args = args;
        o.expect_stderr = true;
        return run("locbench", "c:\\", o);
    }
    RunResult release() { return command({"release", "--title", "Zund 7 in Russian", arg(kOrig), arg(kTrans), arg(kOut)}); }
    RunResult install(const RunOptions& o = {}) { return command({"install", arg(kOut), arg(kGame)}, o); }
    RunResult uninstall(const RunOptions& o = {}) { return command({"uninstall", arg(kGame)}, o); }

    void prepare(const Sample& s) {
        put_tree(kOrig, s.original);
        put_tree(kTrans, s.translated);
        put_tree(kGame, s.original);
        RunResult r = release();
        ASSERT_EQ(r.exit_code, 0) << r.out;
    }
    // What the game's files are: original, translated, or neither.
    void expect_each_file_whole(const Sample& s, const std::string& when) {
        auto game = tree(kGame);
        for (const auto& [rel, data] : s.translated) {
            std::string key = fs::path(host(kGame + rel)).lexically_relative(host(kGame)).string();
            auto found = game.find(key);
            auto orig = s.original.find(rel);
            if (found == game.end()) {
                EXPECT_TRUE(orig == s.original.end()) << when << ": " << rel << " is gone";
                continue;
            }
            bool whole = found->second == data || (orig != s.original.end() && found->second == orig->second);
            EXPECT_TRUE(whole) << when << ": " << rel << " is neither the original nor the translated file";
        }
    }
    std::map<std::string, Bytes> as_tree(const std::map<std::string, Bytes>& files) {
        std::map<std::string, Bytes> t;
        for (const auto& [rel, data] : files)
            t[fs::path(host(kGame + rel)).lexically_relative(host(kGame)).string()] = data;
        return t;
    }
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(Release, InstallMakesTheTranslationAndUninstallGivesBackTheOriginalByteForByte) {
    Sample s = sample();
    prepare(s);
    auto released = tree(kOut);
    std::string text = to_string(released.at("manifest.txt"));
    manifest::Manifest m;
    std::string why;
    ASSERT_TRUE(manifest::read(text, &m, &why)) << why;
    std::vector<std::string> listed;
    for (const manifest::Item& it : m.items) listed.push_back((it.added ? "+" : "") + it.path);
    EXPECT_EQ(listed, (std::vector<std::string>{"Anims/Velor7.vid", "data/icons.lod", "main/pak0.pak",
                                                "+rus/шрифты/notes.txt", "Sounds/Audio.snd", "text_!/items.txt",
                                                "zundfiles/ZUND7.FNT"}))
        << text;
    // The archives' patches hold the replaced members and the directory, and
    // little more.
    uint64_t archive_patches = 0, directories = 0;
    for (const manifest::Item& it : m.items) {
        if (it.path.find(".lod") != std::string::npos || it.path.find(".pak") != std::string::npos ||
            it.path.find(".snd") != std::string::npos || it.path.find(".vid") != std::string::npos)
            archive_patches += it.data_digest.size;
    }
    directories = 288 + 32 * 60 + 41 * 64 + 12 + 4 + 52 * 30 + 4 + 44 * 12;
    EXPECT_LE(archive_patches, s.replaced + directories + 4096) << "patches of " << archive_patches << " bytes";
    const std::string readme = to_string(released.at("README.txt"));
    EXPECT_EQ(readme.rfind("\xEF\xBB\xBFZund 7 in Russian\r\n", 0), 0u);
    EXPECT_TRUE(contains(readme, "locbench uninstall")) << readme;

    auto original_tree = snapshot();
    RunResult r = install();
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "patched  main/pak0.pak")) << r.out;
    EXPECT_TRUE(contains(r.out, "added    rus/шрифты/notes.txt")) << r.out;
    auto game = tree(kGame);
    std::map<std::string, Bytes> records;
    for (auto it = game.begin(); it != game.end();) {
        if (it->first.rfind("locbench-uninstall/", 0) == 0) {
            records.insert(*it);
            it = game.erase(it);
        } else {
            ++it;
        }
    }
    EXPECT_EQ(game, as_tree(s.translated));
    // The records hold what the translation replaced, not a copy of the game.
    uint64_t kept = 0, game_bytes = 0;
    for (const auto& [rel, data] : records) kept += data.size();
    for (const auto& [rel, data] : s.original) game_bytes += data.size();
    EXPECT_LT(kept, game_bytes / 4) << kept << " bytes of records";

    // A second install changes nothing, time stamps included.
    auto installed = stamps();
    r = install();
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "Already installed")) << r.out;
    EXPECT_EQ(stamps(), installed);

    r = uninstall();
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(snapshot(), original_tree) << r.out;
    EXPECT_EQ(folders_of(kGame), folders_of(kOrig));
    auto restored = stamps();
    r = uninstall();
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(stamps(), restored);

    // Debian's xdelta3 applies every patch as well.
    if (!under_wine() && texts::have_tool("xdelta3")) {
        for (const manifest::Item& it : m.items) {
            if (it.added) continue;
            std::string rel = it.path;
            std::replace(rel.begin(), rel.end(), '/', '\\');
            fs::path result = prefix() / "xdelta3-result";
            texts::ToolRun t = texts::run_tool({"xdelta3", "-d", "-f", "-s", host(kOrig + rel).string(),
                                  host(kOut).string() + "/" + it.data, result.string()}, prefix());
            ASSERT_EQ(t.code, 0) << it.path << ": " << t.out;
            std::ifstream f(result, std::ios::binary);
            EXPECT_TRUE(Bytes(std::istreambuf_iterator<char>(f), {}) == s.translated.at(rel)) << it.path;
        }
    }
}

TEST_F(Release, RefusesAGameOfAnotherVersionOrAReleaseThatIsDamagedOrHostileAndChangesNothing) {
    Sample s = sample();
    prepare(s);
    const std::string manifest_path = kOut + "manifest.txt";
    const Bytes good_manifest = get(manifest_path);
    manifest::Manifest m;
    std::string why;
    ASSERT_TRUE(manifest::read(to_string(good_manifest), &m, &why));
    const std::string pak_patch = kOut + "patches\\main\\pak0.pak.vcdiff";
    const Bytes good_patch = get(pak_patch);

    auto with_path = [&](const std::string& path) {
        manifest::Manifest h = m;
        h.items[0].path = path;
        return to_bytes(manifest::write(h));
    };
    struct Case {
        std::string what;
        std::function<void()> plant;
        std::string says; // a part of the refusal
    };
    const std::vector<Case> cases = {
        {"a game of another version", [&] { put(kGame + "data\\icons.lod", pattern(7000, 5)); },
         "Refused: data/icons.lod: expected the original ("},
        {"a game without a file to patch", [&] { fs::remove(host(kGame + "Sounds\\Audio.snd")); },
         "found no file"},
        {"a manifest cut short",
         [&] { put(manifest_path, Bytes(good_manifest.begin(), good_manifest.begin() + good_manifest.size() / 2)); },
         "Damaged file"},
        {"a flipped byte in the manifest",
         [&] {
             Bytes b = good_manifest;
             b[b.size() / 3] ^= 0x20;
             put(manifest_path, b);
         },
         "its checksum does not match its lines"},
        {"a flipped byte in a patch",
         [&] {
             Bytes b = good_patch;
             b[b.size() / 2] ^= 1;
             put(pak_patch, b);
         },
         "Damaged file"},
        {"a patch cut short", [&] { put(pak_patch, Bytes(good_patch.begin(), good_patch.end() - 5)); }, "Damaged file"},
        {"a path out of the game", [&] { put(manifest_path, with_path("../escaped.txt")); }, "leads out of its folder"},
        {"an absolute path", [&] { put(manifest_path, with_path("/etc/escaped")); }, "is absolute"},
        {"a drive", [&] { put(manifest_path, with_path("c:/escaped")); }, "names a drive"},
        {"a backslash", [&] { put(manifest_path, with_path("..\\escaped")); }, "holds a backslash"},
        {"a device", [&] { put(manifest_path, with_path("data/con.txt")); }, "names a device"},
        {"a deep way out", [&] { put(manifest_path, with_path("data/../../../escaped")); }, "leads out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_drives();
        prepare(s);
        c.plant();
        auto before = stamps();
        RunResult r = install();
        EXPECT_EQ(r.exit_code, 1) << r.out;
        EXPECT_TRUE(contains(r.out, c.says)) << r.out;
        EXPECT_TRUE(contains(r.out, "nothing was changed")) << r.out;
        EXPECT_EQ(stamps(), before) << r.out;
    }
    // A link on the way out of the game's folder.
    if (!under_wine()) {
        reset_drives();
        prepare(s);
        fs::remove_all(host(kGame + "data"));
        mkdirs("e:\\elsewhere");
        put("e:\\elsewhere\\icons.lod", s.original.at("data\\icons.lod"));
        fs::create_directory_symlink(host("e:\\elsewhere"), host(kGame + "data"));
        auto before = snapshot();
        RunResult r = install();
        EXPECT_EQ(r.exit_code, 1) << r.out;
        EXPECT_TRUE(contains(r.out, "leads through a link")) << r.out;
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(Release, UninstallLeavesAFileChangedSinceTheInstallAndRestoresTheRest) {
    Sample s = sample();
    prepare(s);
    ASSERT_EQ(install().exit_code, 0);
    const Bytes updated = pattern(9000, 77);
    put(kGame + "Sounds\\Audio.snd", updated);
    RunResult r = uninstall();
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "Left as it is: Sounds/Audio.snd")) << r.out;
    auto game = tree(kGame);
    EXPECT_EQ(game.at("Sounds/Audio.snd"), updated);
    EXPECT_EQ(game.at("data/icons.lod"), s.original.at("data\\icons.lod"));
    EXPECT_TRUE(has(kGame + "locbench-uninstall\\journal.txt"));
    // Given back by hand, the next uninstall finishes.
    put(kGame + "Sounds\\Audio.snd", s.translated.at("Sounds\\Audio.snd"));
    r = uninstall();
    EXPECT_EQ(r.exit_code, 0) << r.out;
    auto now = tree(kGame), expected = as_tree(s.original);
    for (const auto& [rel, data] : expected) EXPECT_TRUE(now.count(rel) && now[rel] == data) << rel;
    EXPECT_EQ(now.size(), expected.size()) << r.out;
}

TEST_F(Release, AFullDiskDuringInstallChangesNothing) {
    if (under_wine()) GTEST_SKIP() << "a full disk made with a file-size limit: Wine reports the writes past it as done";
    Sample s = sample();
    prepare(s);
    auto before = snapshot();
    auto folders = folders_of(kGame);
    RunOptions o;
    o.file_size_limit = 60000; // below the largest translated archive
    RunResult r = install(o);
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "Can't write")) << r.out;
    EXPECT_EQ(snapshot(), before) << r.out;
    EXPECT_EQ(folders_of(kGame), folders);
}

// On Windows a player double-clicks install.exe in the release folder put
// into the game's folder, and uninstall.exe after it.
TEST_F(Release, InstallExeInTheGamesFolderFindsTheGame) {
    if (!under_wine()) GTEST_SKIP() << "install.exe and uninstall.exe are the Windows build's";
    Sample s = sample();
    put_tree(kOrig, s.original);
    put_tree(kTrans, s.translated);
    put_tree(kGame, s.original);
    // locbench.exe with install.exe and uninstall.exe beside it, on a drive
    // as on a player's machine (Wine gives a program outside its drives no
    // folder a program can open).
    for (const char* exe : {"locbench.exe", "install.exe", "uninstall.exe"}) {
        std::ifstream f(std::string(std::getenv("LOCBENCH_WINE_BIN")) + "/" + exe, std::ios::binary);
        put(std::string("c:\\tools\\") + exe, Bytes(std::istreambuf_iterator<char>(f), {}));
    }
    RunOptions ro;
    ro.args = {"release", arg(kOrig), arg(kTrans), arg(kOut)};
    RunResult made = run(host("c:\\tools\\locbench.exe").string(), "c:\\", ro);
    ASSERT_EQ(made.exit_code, 0) << made.out;
    auto released = tree(kOut);
    ASSERT_TRUE(released.count("install.exe") && released.count("uninstall.exe")) << made.out;
    const std::string here = kGame + w("Русский перевод\\");
    for (const auto& [rel, data] : released) {
        std::string win = rel;
        std::replace(win.begin(), win.end(), '/', '\\');
        put(here + w(win), data);
    }
    auto before = tree(kGame);
    RunOptions o;
    RunResult r = run(host(here + "install.exe").string(), here, o);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    auto game = tree(kGame);
    for (const auto& [rel, data] : as_tree(s.translated)) EXPECT_EQ(game.at(rel), data) << rel;
    r = run(host(here + "uninstall.exe").string(), "c:\\", o);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(tree(kGame), before);
}

// Killed at random instants, install and uninstall leave every file whole,
// and the next run finishes the work.
TEST_F(Release, KilledAtAnyInstantTheNextRunFinishes) {
    if (under_wine()) GTEST_SKIP() << "the Linux builds are killed; Wine's own processes would outlive the kill";
    Sample s = sample(3);
    prepare(s);
    auto original_tree = snapshot();
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(install().exit_code, 0);
    auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(uninstall().exit_code, 0);
    std::mt19937 rng(20261208);
    for (int round = 0; round < 30; ++round) {
        RunOptions o;
        o.kill_after_us = 1 + int64_t(rng() % uint64_t(took + 1));
        install(o);
        expect_each_file_whole(s, "install killed after " + std::to_string(o.kill_after_us) + " us");
        RunResult r = install();
        ASSERT_EQ(r.exit_code, 0) << r.out;
        auto game = tree(kGame);
        for (const auto& [rel, data] : as_tree(s.translated)) EXPECT_EQ(game.at(rel), data) << rel;
        o.kill_after_us = 1 + int64_t(rng() % uint64_t(took + 1));
        uninstall(o);
        expect_each_file_whole(s, "uninstall killed after " + std::to_string(o.kill_after_us) + " us");
        r = uninstall();
        ASSERT_EQ(r.exit_code, 0) << r.out;
        ASSERT_EQ(snapshot(), original_tree) << "round " << round << ": " << r.out;
        if (HasFailure()) return;
    }
}

} // namespace

namespace {

// install in the tables of damaged inputs and full disks: a release of the
// sample game, its manifest and a patch damaged every way the tables know.
std::vector<Scenario> release_scenarios() {
    Scenario s;
    s.name = "install";
    s.job = "locbench";
    s.args = {"install", "out", "game"}; // from c:\, in both builds
    s.setup = [](JobTest& t) {
        Sample smp = sample();
        for (const auto& [rel, data] : smp.original) {
            t.put("c:\\orig\\" + rel, data);
            t.put("c:\\game\\" + rel, data);
        }
        for (const auto& [rel, data] : smp.translated) t.put("c:\\trans\\" + rel, data);
        RunOptions o;
        o.args = {"release", "orig", "trans", "out"};
        RunResult r = t.run("locbench", "c:\\", o);
        ASSERT_EQ(r.exit_code, 0) << r.out;
    };
    s.targets = {{"c:\\out\\manifest.txt", {0, 19}, {}}, {"c:\\out\\patches\\main\\pak0.pak.vcdiff", {0, 4, 5}, {}}};
    return {s};
}

INSTANTIATE_TEST_SUITE_P(Release, Damage, ::testing::ValuesIn(release_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Release, FullDisk, ::testing::ValuesIn(release_scenarios()), scenario_name);

} // namespace
