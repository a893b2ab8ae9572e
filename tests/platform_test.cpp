// The Windows file-system layer, called directly.
#include "platform/io.hpp"
#include "platform/win.hpp"
#include "support/jobtest.hpp"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class Platform : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        old_cwd_ = fs::current_path();
        setenv("WINEPREFIX", prefix().c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(old_cwd_);
        JobTest::TearDown();
    }
    std::string dev(const std::string& rest) const { return (prefix() / "dosdevices" / rest).string(); }
    std::string read_back(FILE* f) {
        std::string s;
        char line[256];
        while (std::fgets(line, sizeof line, f)) s += line;
        return s;
    }

    fs::path old_cwd_;
};

TEST_F(Platform, DrivesMapIntoThePrefixAndDotsResolve) {
    EXPECT_EQ(win::native_path("c:\\games\\x.lod"), dev("c:/games/x.lod"));
    EXPECT_EQ(win::native_path("E:\\Games"), dev("e:/Games"));
    EXPECT_EQ(win::native_path("d:/anims/a.vid"), dev("d:/anims/a.vid"));
    EXPECT_EQ(win::native_path("c:\\a\\..\\..\\b\\.\\c"), dev("c:/b/c"));

    setenv("WINEPREFIX", "", 1);
    EXPECT_EQ(win::native_path("c:\\x"), std::string(getenv("HOME")) + "/.wine/dosdevices/c:/x");
    setenv("WINEPREFIX", prefix().c_str(), 1);

    mkdirs("c:\\games\\Brassjaw\\bin");
    mkdirs("c:\\games\\Brassjaw\\main");
    ASSERT_EQ(win::chdir("c:\\games\\brassjaw\\BIN"), 0);
    EXPECT_EQ(win::native_path("..\\main\\pak0.pak"), fs::canonical(host("c:\\games\\Brassjaw\\main")).string() + "/pak0.pak");
    EXPECT_EQ(win::native_path("x.txt"), fs::canonical(host("c:\\games\\Brassjaw\\bin")).string() + "/x.txt");
}

TEST_F(Platform, ExistingNamesMatchWithoutRegardToCase) {
    // (The layer assumes that nobody else changes the folders while it runs,
    // so the files are all made first.)
    put("c:\\Games\\ZUND7\\Data\\Icons1.LOD", "lod");
    put("c:\\d\\a.txt", "lower");
    put("c:\\d\\A.txt", "upper");
    FILE* f = win::fopen("c:\\games\\zund7\\data\\icons1.lod", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_back(f), "lod");
    std::fclose(f);

    // The exact spelling wins where two names differ only in case.
    f = win::fopen("c:\\D\\A.txt", "rb");
    EXPECT_EQ(read_back(f), "upper");
    std::fclose(f);
    f = win::fopen("c:\\D\\a.TXT", "rb"); // no exact one: first in byte order
    EXPECT_EQ(read_back(f), "upper");
    std::fclose(f);

    // Writing a name that exists in another case writes that file; a new name
    // keeps the spelling given.
    f = win::fopen("c:\\GAMES\\zund7\\DATA\\ICONS1.lod", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("new", f);
    std::fclose(f);
    EXPECT_EQ(get_text("c:\\Games\\ZUND7\\Data\\Icons1.LOD"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(host("c:\\Games\\ZUND7\\Data")), fs::directory_iterator()), 1);
    f = win::fopen("c:\\games\\zund7\\data\\Icons.lod", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(fs::exists(host("c:\\Games\\ZUND7\\Data\\Icons.lod")));

    // A missing folder on the way: nothing opens, nothing is created.
    EXPECT_EQ(win::fopen("c:\\games\\nowhere\\x.bin", "wb"), nullptr);
    EXPECT_NE(win::error_number(), 0);
}

TEST_F(Platform, DirectoriesDoNotOpenAsFiles) {
    mkdirs("c:\\games\\Dir");
    EXPECT_EQ(win::fopen("c:\\games\\dir", "rb"), nullptr);
    EXPECT_EQ(win::fopen("c:\\games\\dir", "wb"), nullptr);
    EXPECT_EQ(win::fopen("c:\\games\\dir", "rt"), nullptr);
    EXPECT_EQ(win::remove("c:\\games\\dir"), -1);
    EXPECT_TRUE(fs::is_directory(host("c:\\games\\Dir")));
}

TEST_F(Platform, TextModeWritesCrLfAndReadsItBack) {
    FILE* f = win::fopen("c:\\t.txt", "wt");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "a\n%d\n\n", 42);
    std::fputs("b\rc\n", f);
    std::fclose(f);
    EXPECT_EQ(get_text("c:\\t.txt"), "a\r\n42\r\n\r\nb\rc\r\n");

    put("c:\\r.txt", std::string("x\r\ny\rz\n\r\n\r"));
    f = win::fopen("c:\\r.txt", "rt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_back(f), "x\ny\rz\n\n\r"); // lone CR and bare LF are kept
    std::fclose(f);

    put("c:\\n.txt", std::string("12\t34\r\n-1\t7\r\n"));
    f = win::fopen("c:\\n.txt", "rt");
    int a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(std::fscanf(f, "%d\t%d\n", &a, &b), 2);
    EXPECT_EQ(std::fscanf(f, "%d\t%d\n", &c, &d), 2);
    EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({12, 34, -1, 7}));
    std::fclose(f);

    // Binary mode leaves every byte alone.
    f = win::fopen("c:\\r.txt", "rb");
    EXPECT_EQ(read_back(f), "x\r\ny\rz\n\r\n\r");
    std::fclose(f);
}

TEST_F(Platform, TextModeCrLfAcrossReadChunksAndSeek) {
    // A CR LF pair split by the reader's 64 KiB chunk boundary.
    std::string s(65535, 'a');
    s += "\r\n";
    s += std::string(10, 'b') + "\r";
    put("c:\\big.txt", s);
    FILE* f = win::fopen("c:\\big.txt", "rt");
    std::string got;
    int ch;
    while ((ch = std::fgetc(f)) != EOF) got += char(ch);
    EXPECT_EQ(got, std::string(65535, 'a') + "\n" + std::string(10, 'b') + "\r");
    // Seeking back to the start reads the file again from its first byte.
    EXPECT_EQ(std::fseek(f, 0, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(f), 'a');
    std::fclose(f);
}

TEST_F(Platform, SearchMatchesWildcardsInCaseInsensitiveOrder) {
    put("c:\\s\\b.TXT", std::string(5, 'x'));
    put("c:\\s\\A.txt", std::string(3, 'x'));
    put("c:\\s\\c.txt.bak", "");
    put("c:\\s\\a_foo.str.zl", "");
    mkdirs("c:\\s\\Sub.txt");
    win::FindData fd;
    intptr_t h = win::findfirst("c:\\S\\*.TXT", &fd);
    ASSERT_NE(h, -1);
    std::vector<std::pair<std::string, uint32_t>> seen{{fd.name, fd.size}};
    while (win::findnext(h, &fd) == 0) seen.push_back({fd.name, fd.size});
    EXPECT_EQ(win::findclose(h), 0);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, uint32_t>>{{"A.txt", 3}, {"b.TXT", 5}, {"Sub.txt", 0}}));

    // An exact name is an existence test; "." and ".." never match.
    ASSERT_NE(h = win::findfirst("c:\\s\\A_FOO.STR.ZL", &fd), -1);
    EXPECT_EQ(fd.name, "a_foo.str.zl");
    win::findclose(h);
    ASSERT_NE(h = win::findfirst("c:\\s\\*", &fd), -1);
    std::vector<std::string> all{fd.name};
    while (win::findnext(h, &fd) == 0) all.push_back(fd.name);
    win::findclose(h);
    EXPECT_EQ(all, (std::vector<std::string>{"A.txt", "a_foo.str.zl", "b.TXT", "c.txt.bak", "Sub.txt"}));
    // Windows order: names compared upper-cased, so "_", "`" and "[" come
    // after the letters.
    for (const char* n : {"b_x.tga", "bx.tga", "_under.tga", "Zeta.tga", "`q.tga", "a[.tga", "aZ.tga"})
        put(std::string("c:\\o\\") + n, "");
    ASSERT_NE(h = win::findfirst("c:\\o\\*.tga", &fd), -1);
    std::vector<std::string> order{fd.name};
    while (win::findnext(h, &fd) == 0) order.push_back(fd.name);
    win::findclose(h);
    EXPECT_EQ(order, (std::vector<std::string>{"aZ.tga", "a[.tga", "bx.tga", "b_x.tga", "Zeta.tga", "_under.tga", "`q.tga"}));

    EXPECT_EQ(win::findfirst("c:\\s\\?.txt", &fd) != -1, true);
    EXPECT_EQ(fd.name, "A.txt");

    EXPECT_EQ(win::findfirst("c:\\s\\*.pl", &fd), -1);
    EXPECT_EQ(win::findfirst("c:\\missing\\*.txt", &fd), -1);
    EXPECT_EQ(win::error_number(), ENOENT);

    // Relative patterns search the current folder.
    ASSERT_EQ(win::chdir("c:\\S"), 0);
    ASSERT_NE(h = win::findfirst("*.txt", &fd), -1);
    EXPECT_EQ(fd.name, "A.txt");
    win::findclose(h);
}

// Names beyond ASCII are Windows-1251 for the jobs and UTF-8 on disk.
TEST_F(Platform, Windows1251NamesAreStoredInUtf8AndFoundInEitherCase) {
    // Every letter of the code page in lower case, and the rest of its
    // printable characters (but those no name holds), in names short enough
    // for the file system in UTF-8.
    std::string lower, upper, others;
    for (int b = 0x20; b < 0x100; ++b) {
        std::string one(1, char(b)), key = win::fold_case(one);
        if (key != one) {
            lower += one;
            upper += key;
        }
    }
    for (int b = 0x20; b < 0x100; ++b)
        if (win::fold_case(std::string(1, char(b))) == std::string(1, char(b)) &&
            upper.find(char(b)) == std::string::npos && std::string("\\/:*?\"<>|").find(char(b)) == std::string::npos)
            others += char(b);
    ASSERT_EQ(lower.size(), 73u);
    const std::vector<std::string> names = {lower, others.substr(0, others.size() / 2),
                                            others.substr(others.size() / 2)};
    for (const std::string& name : names) {
        FILE* f = win::fopen(("c:\\n" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr) << name;
        std::fputs(name.c_str(), f);
        std::fclose(f);
    }
    // On disk: the UTF-8 spelling, as Wine stores it; read back by a search
    // as the same bytes.
    std::vector<std::string> on_disk, found;
    for (const auto& e : std::filesystem::directory_iterator(host("c:\\")))
        if (e.path().filename().string()[0] == 'n') on_disk.push_back(e.path().filename().string().substr(1));
    std::sort(on_disk.begin(), on_disk.end());
    std::vector<std::string> want;
    for (const std::string& name : names) want.push_back(win::to_utf8(name));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(on_disk, want);
    EXPECT_EQ(win::to_utf8(lower).substr(0, 26), "abcdefghijklmnopqrstuvwxyz");
    win::FindData fd;
    intptr_t h = win::findfirst("c:\\N*", &fd);
    ASSERT_NE(h, -1);
    do found.push_back(fd.name.substr(1));
    while (win::findnext(h, &fd) == 0);
    win::findclose(h);
    std::sort(found.begin(), found.end());
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(found, sorted);
    // The upper-case spelling finds the file, by lookup and by search.
    FILE* f = win::fopen(("c:\\n" + upper).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_back(f), lower);
    std::fclose(f);
    ASSERT_NE(h = win::findfirst(("c:\\N" + upper).c_str(), &fd), -1);
    EXPECT_EQ(fd.name, "n" + lower);
    win::findclose(h);
    // A folder in another case, then a new file in it: one folder.
    ASSERT_EQ(win::mkdir("c:\\\xCF\xE0\xEF\xEA\xE0"), 0); // "Папка"
    EXPECT_EQ(win::mkdir("c:\\\xEF\xC0\xCF\xCA\xC0"), -1);
    f = win::fopen("c:\\\xCF\xC0\xCF\xCA\xC0\\\xA8.txt", "wt"); // "ПАПКА\Ё.txt"
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(std::filesystem::exists(host("c:\\") / "Папка" / "Ё.txt"));
}

TEST_F(Platform, NamesWindows1251CannotSpellAreSeenByNoSearchAndNoLookup) {
    put("c:\\u\\ok.txt", "ok");
    std::filesystem::path dir = host("c:\\u");
    for (const char* n : {"\xC0.txt" /* not UTF-8 */, "日本.txt", "\xC3\xBF.txt" /* U+00FF */}) {
        std::ofstream(dir / n) << "x";
    }
    win::FindData fd;
    intptr_t h = win::findfirst("c:\\u\\*.txt", &fd);
    ASSERT_NE(h, -1);
    EXPECT_EQ(fd.name, "ok.txt");
    EXPECT_NE(win::findnext(h, &fd), 0);
    win::findclose(h);
    // "\xC0.txt" names the UTF-8 spelling of "А.txt", not the file stored
    // under that byte.
    EXPECT_EQ(win::fopen("c:\\u\\\xC0.txt", "rb"), nullptr);
    EXPECT_EQ(win::findfirst("c:\\u\\\xC0.txt", &fd), -1);
}

TEST_F(Platform, SearchesComeInWindowsOrderBeyondAscii) {
    // NTFS orders names upper-cased, by UTF-16 code unit: Latin, "_", then
    // "Ё" (U+0401) before "А" (U+0410), "е" among the letters, "№" (U+2116)
    // last; Windows-1251's own byte order would put "Ё" and "№" first.
    const std::vector<std::string> order = {
        "zebra", "_x", "\xB8\xE6",             // "ёж"
        "\xC0\xE8\xF1\xF2",                 // "Аист"
        "\xE0\xE8\xF1\xF2\xE0",             // "аиста"
        "\xE5\xEB\xFC",                      // "ель"
        "\xDF\xEC\xE0",                      // "Яма"
        "\xB9" "5",                            // "№5"
    };
    for (auto it = order.rbegin(); it != order.rend(); ++it) put("c:\\o\\" + *it, "");
    win::FindData fd;
    intptr_t h = win::findfirst("c:\\o\\*", &fd);
    ASSERT_NE(h, -1);
    std::vector<std::string> seen{fd.name};
    while (win::findnext(h, &fd) == 0) seen.push_back(fd.name);
    win::findclose(h);
    EXPECT_EQ(seen, order);
}

TEST(Wildcards, StarAndQuestionMarkIgnoreCase) {
    EXPECT_TRUE(win::wildcard_match("*.zl", "0001_A.ZL"));
    EXPECT_FALSE(win::wildcard_match("*.zl", "0001_a.zl.bak"));
    EXPECT_TRUE(win::wildcard_match("*_foo.str.zl", "0123_Foo.Str.zl"));
    EXPECT_FALSE(win::wildcard_match("*_foo.str.zl", "foo.str.zl"));
    EXPECT_TRUE(win::wildcard_match("ZM101?.wav", "zm101b.WAV"));
    EXPECT_FALSE(win::wildcard_match("ZM101?.wav", "ZM101.wav"));
    EXPECT_FALSE(win::wildcard_match("ZM101?.wav", "ZM101bc.wav"));
    EXPECT_TRUE(win::wildcard_match("*a*b*", "xxAyyBzz"));
    EXPECT_TRUE(win::wildcard_match("*", ""));
    EXPECT_FALSE(win::wildcard_match("?", ""));
}

TEST(Console, WaitsForEnterOnlyAsTheOneProcessOfAConsoleWindowOfItsOwn) {
    struct Case {
        win::ConsoleFacts facts; // processes, input a console, output a console, a host's terminal
        bool waits;
        const char* what;
    };
    const Case cases[] = {
        {{1, true, true, false}, true, "double-clicked in Explorer: a console window of its own"},
        {{2, true, true, false}, false, "run from cmd or PowerShell, which keeps the window"},
        {{3, true, true, false}, false, "run from a batch file (cmd, and the console's host)"},
        {{0, false, false, false}, false, "no console at all (under Wine with pipes, as the tests run it)"},
        {{1, false, true, false}, false, "standard input a pipe, NUL or closed"},
        {{1, true, false, false}, false, "standard output redirected to a file or a pipe"},
        {{2, false, false, false}, false, "both redirected, run from cmd"},
        {{1, true, true, true}, false, "under Wine from a Unix terminal, which stays"},
    };
    for (const Case& c : cases) EXPECT_EQ(win::waits_for_enter(c.facts), c.waits) << c.what;
}

TEST(Cp1251, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += char(b);
    std::string utf8 = win::to_utf8(all), back;
    ASSERT_TRUE(win::from_utf8(utf8, &back));
    EXPECT_EQ(back, all);
    // A few characters by their code points: the undefined 0x98 stands for
    // U+0098 both ways.
    for (auto [byte, ch] : std::vector<std::pair<int, char32_t>>{
             {0x41, U'A'}, {0x98, 0x98}, {0xA8, U'Ё'}, {0xB8, U'ё'}, {0xB9, U'№'}, {0x88, U'€'},
             {0xC0, U'А'}, {0xFF, U'я'}, {0xA0, 0xA0}, {0x99, U'™'}, {0xB4, U'ґ'}}) {
        EXPECT_EQ(win::cp1251_char(uint8_t(byte)), ch) << byte;
        EXPECT_EQ(win::cp1251_byte(ch), byte) << byte;
    }
    EXPECT_EQ(win::to_utf8("\xC0\x98"), "\xD0\x90\xC2\x98");
}

TEST(Cp1251, Utf8ThatIsNotUtf8OrNotWindows1251IsRefusedWithItsPlace) {
    struct Case {
        std::string in;
        size_t at;
        char32_t ch;
        bool not_utf8;
    };
    for (const Case& c : std::vector<Case>{
             {"ab\xC3\xBF", 2, 0xFF, false},           // U+00FF: no byte for it
             {"\xE6\x97\xA5", 0, 0x65E5, false},       // a CJK character
             {"\xF0\x9F\x98\x80", 0, 0x1F600, false}, // outside the BMP
             {"a\xC0\x80", 1, 0, true},                 // overlong NUL
             {"a\x80", 1, 0, true},                      // a lone continuation byte
             {"a\xD0", 1, 0, true},                      // cut short
             {"\xED\xA0\x80", 0, 0, true},             // a surrogate
             {"\xD0\x41", 0, 0, true},                  // no continuation
         }) {
        std::string out;
        win::Utf8Fault f;
        EXPECT_FALSE(win::from_utf8(c.in, &out, &f)) << c.in;
        EXPECT_EQ(f.at, c.at) << c.in;
        EXPECT_EQ(f.ch, c.ch) << c.in;
        EXPECT_EQ(f.not_utf8, c.not_utf8) << c.in;
    }
}

TEST(Cp1251, LettersFoldAsWindowsFoldsThem) {
    // Every letter whose other case Windows-1251 holds, lower then upper.
    const std::string lower = "abcdefghijklmnopqrstuvwxyz\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC"
                              "\xED\xEE\xEF\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF"
                              "\xB8\xA2\xB4\xBA\xB3\xBF\x90\x83\x9A\x9C\x9D\x9E\x9F\xBC\xBE";
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC"
                              "\xCD\xCE\xCF\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF"
                              "\xA8\xA1\xA5\xAA\xB2\xAF\x80\x81\x8A\x8C\x8D\x8E\x8F\xA3\xBD";
    ASSERT_EQ(lower.size(), upper.size());
    EXPECT_EQ(win::fold_case(lower), upper);
    EXPECT_EQ(win::fold_case(upper), upper);
    EXPECT_TRUE(win::wildcard_match(lower, upper));
    EXPECT_TRUE(win::wildcard_match("*\xFF", "\xC0\xDF"));
    // Every other byte is its own key: "µ", whose upper case Windows-1251
    // lacks, "№", digits, punctuation.
    int own = 0;
    for (int b = 1; b < 256; ++b)
        if (lower.find(char(b)) == std::string::npos) own += win::fold_case(std::string(1, char(b))) == std::string(1, char(b));
    EXPECT_EQ(own, 255 - int(lower.size()));
}

TEST_F(Platform, RenameNeverReplacesAndRemoveTakesFilesOnly) {
    put("c:\\m\\pak0.pak", "old");
    put("c:\\m\\pak1.pak", "new");
    EXPECT_EQ(win::rename("c:\\m\\pak1.pak", "c:\\m\\pak0.pak"), -1);
    EXPECT_EQ(win::rename("c:\\m\\pak1.pak", "c:\\m\\PAK0.PAK"), -1);
    EXPECT_EQ(get_text("c:\\m\\pak0.pak"), "old");
    EXPECT_EQ(get_text("c:\\m\\pak1.pak"), "new");
    EXPECT_EQ(win::remove("c:\\M\\Pak0.pak"), 0);
    EXPECT_EQ(win::rename("c:\\m\\pak1.pak", "c:\\m\\pak0.pak"), 0);
    EXPECT_EQ(get_text("c:\\m\\pak0.pak"), "new");
    EXPECT_FALSE(has("c:\\m\\pak1.pak"));
    EXPECT_EQ(win::remove("c:\\m\\pak1.pak"), -1);

    // Replacing is one step, over an existing file or none; never onto a
    // folder, never from a missing file.
    put("c:\\m\\next.pak", "next");
    EXPECT_EQ(win::replace("c:\\m\\NEXT.pak", "c:\\m\\pak0.pak"), 0);
    EXPECT_EQ(get_text("c:\\m\\pak0.pak"), "next");
    EXPECT_FALSE(has("c:\\m\\next.pak"));
    EXPECT_EQ(win::replace("c:\\m\\next.pak", "c:\\m\\pak0.pak"), -1);
    put("c:\\m\\next.pak", "next");
    mkdirs("c:\\m\\dir");
    EXPECT_EQ(win::replace("c:\\m\\next.pak", "c:\\m\\dir"), -1);
    EXPECT_EQ(get_text("c:\\m\\next.pak"), "next");

    EXPECT_EQ(win::mkdir("c:\\m\\New"), 0);
    EXPECT_EQ(win::mkdir("c:\\m\\new"), -1); // exists already
    EXPECT_TRUE(fs::is_directory(host("c:\\m\\New")));
    // What the layer itself created is found again without regard to case.
    FILE* f = win::fopen("c:\\M\\NEW\\f.txt", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(has("c:\\m\\New\\f.txt"));
}

TEST_F(Platform, ErrorNumberIsSetOnlyByFailingCalls) {
    // A fresh process (the death test starts the test program anew): the
    // successful calls of a normal run leave the number at 0.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    put("c:\\ok.bin", "x");
    EXPECT_EXIT(
        {
            FILE* f = win::fopen("c:\\ok.bin", "rb");
            std::fclose(f);
            f = win::fopen("c:\\out.txt", "wt");
            std::fputs("a\n", f);
            std::fclose(f);
            win::FindData fd;
            win::findclose(win::findfirst("c:\\ok.bin", &fd));
            int before = win::error_number();
            win::fopen("c:\\missing.bin", "rb");
            bool ok = before == 0 && win::error_number() == ENOENT;
            std::error_code ec;
            fs::remove_all(root(), ec); // this process ends before TearDown
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Io, FormatHasNoLengthLimit) {
    EXPECT_EQ(io::format("%04d_%s.zl", 7, "global.str"), "0007_global.str.zl");
    EXPECT_EQ(io::format("%04d", 12345), "12345");
    EXPECT_EQ(io::format("%s", std::string(1000, 'x').c_str()).size(), 1000u);
}

TEST_F(Platform, CopiesMoveTheBytesWhereverTheyLieInTheirPages) {
    // From and to positions at the same place in a page and at different
    // ones, runs that end before the source does, and a source shorter than
    // asked for.
    const Bytes src = pattern(3 << 20, 7);
    put("c:\\src.bin", src);
    struct Case {
        uint64_t from, to, n, copied;
    };
    for (const Case& c : std::vector<Case>{{12, 12, 2 << 20, 2 << 20},
                                           {12, 1246, (3 << 20) - 12, (3 << 20) - 12},
                                           {4096, 5, 100000, 100000},
                                           {(3 << 20) - 70000, 3, 90000, 70000}}) {
        FILE* in = win::fopen("c:\\src.bin", "rb");
        FILE* out = win::fopen("c:\\dst.bin", "wb");
        ASSERT_TRUE(in && out);
        io::write_zeros(out, c.to, "dst");
        std::fseek(in, long(c.from), SEEK_SET);
        EXPECT_EQ(io::copy(in, out, c.n, "dst"), c.copied);
        std::fputc('!', out); // both positions moved on by what was copied
        EXPECT_EQ(std::ftell(in), long(c.from + c.copied));
        std::fclose(in);
        io::close(out, "dst");
        Bytes want(c.to, 0);
        want.insert(want.end(), src.begin() + long(c.from), src.begin() + long(c.from + c.copied));
        want.push_back('!');
        EXPECT_EQ(get("c:\\dst.bin"), want) << c.from << " " << c.to;
    }
}

TEST_F(Platform, LineReaderReadsCrLfAndLfLinesOfAnyLengthAndSeeksBack) {
    // A line across the 64 KiB buffer, one longer than it, a CR LF split by
    // it, a lone CR (kept, as text mode keeps it), a last line without LF.
    const std::string a(65530, 'a'), b(70000, 'b');
    put("c:\\lines.txt", "x\r\n" + a + "\n" + b + "\r\ny\rz\n\r\nlast");
    FILE* f = win::fopen("c:\\lines.txt", "rb");
    io::LineReader in(f);
    std::vector<std::pair<std::string, uint64_t>> got;
    for (std::string_view l; in.next(&l);) got.emplace_back(std::string(l), in.offset());
    const std::vector<std::pair<std::string, uint64_t>> want = {
        {"x", 0}, {a, 3}, {b, 65534}, {"y\rz", 135536}, {"", 135540}, {"last", 135542}};
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_TRUE(got[i].first == want[i].first) << "line " << i << " is " << got[i].first.size() << " bytes";
        EXPECT_EQ(got[i].second, want[i].second) << "line " << i;
    }
    EXPECT_FALSE(in.failed());
    // Back to a line read before, in the buffer and far behind it.
    for (size_t i : {5u, 2u, 0u}) {
        in.seek(want[i].second);
        std::string_view l;
        ASSERT_TRUE(in.next(&l));
        EXPECT_TRUE(l == want[i].first) << "line " << i;
        EXPECT_EQ(in.offset(), want[i].second);
    }
    std::fclose(f);
}

TEST_F(Platform, ReplacementKeepsTheOldFileUntilTheNewOneIsComplete) {
    put("c:\\r\\table.txt", "old content");
    {
        io::Replacement r("c:\\R\\TABLE.TXT", "wt");
        ASSERT_TRUE(r.ok());
        std::fputs("new\n", r.file());
        EXPECT_EQ(get_text("c:\\r\\table.txt"), "old content");
        r.commit();
    }
    EXPECT_EQ(get_text("c:\\r\\table.txt"), "new\r\n");
    {
        io::Replacement r("c:\\r\\table.txt", "wb");
        r.write("abandoned", 9);
    } // never committed
    EXPECT_EQ(get_text("c:\\r\\table.txt"), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(host("c:\\r")), fs::directory_iterator()), 1);

    // Where opening the file for writing would fail, so does the replacement:
    // a read-only file (even for root), a folder, a missing folder. A
    // leftover of a run that was killed is no obstacle.
    fs::permissions(host("c:\\r\\table.txt"), fs::perms::owner_read);
    EXPECT_FALSE(io::Replacement("c:\\r\\table.txt", "wb").ok());
    mkdirs("c:\\r\\dir");
    EXPECT_FALSE(io::Replacement("c:\\r\\dir", "wb").ok());
    EXPECT_FALSE(io::Replacement("c:\\nowhere\\x", "wb").ok());
    put("c:\\r\\t2.txt.locbench-new", "half");
    {
        io::Replacement r("c:\\r\\t2.txt", "wb");
        ASSERT_TRUE(r.ok());
        r.write("whole", 5);
        r.commit();
    }
    EXPECT_EQ(get_text("c:\\r\\t2.txt"), "whole");
    EXPECT_FALSE(has("c:\\r\\t2.txt.locbench-new"));
}

} // namespace
