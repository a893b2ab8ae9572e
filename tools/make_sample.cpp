// Writes the bundled sample game tree: a small PAK archive of the second game
// in Brassjaw/main and one translated member in Brassjaw/rus, the folder that
// patchpak takes its replacements from. All data is made up here.
//
//   make_sample <folder>     writes <folder>/Brassjaw/...
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void put_u32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
}

bool write_file(const fs::path& p, const std::string& data) {
    fs::create_directories(p.parent_path());
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample <folder>\n");
        return 2;
    }
    fs::path game = fs::path(argv[1]) / "Brassjaw";
    struct Member {
        std::string name, data;
    };
    std::string wav = "RIFF";
    put_u32(wav, 36 + 8);
    wav += "WAVEfmt ";
    put_u32(wav, 16);
    wav += std::string("\x01\x00\x01\x00\x22\x56\x00\x00\x22\x56\x00\x00\x01\x00\x08\x00", 16);
    wav += "data";
    put_u32(wav, 8);
    wav += "\x80\x90\xa0\x90\x80\x70\x60\x70";
    std::vector<Member> members = {
        {"text/menu.txt", "New game\r\nLoad game\r\nOptions\r\nQuit\r\n"},
        {"text/dialog.txt", "Welcome to Brassjaw, stranger.\r\nThe gates close at dusk.\r\n"},
        {"sound/voice/hello.wav", wav},
        {"scripts/init.cfg", "lang english\r\nsubtitles 1\r\n"},
    };
    std::string data, dir;
    for (const Member& m : members) {
        std::string field = m.name;
        field.resize(56, '\0');
        dir += field;
        put_u32(dir, uint32_t(12 + data.size()));
        put_u32(dir, uint32_t(m.data.size()));
        data += m.data;
    }
    std::string pak = "PACK";
    put_u32(pak, uint32_t(12 + data.size()));
    put_u32(pak, uint32_t(dir.size()));
    pak += data + dir;

    // The translated menu, in the Windows-1251 code page the game reads.
    const std::string menu_rus =
        "\xCD\xEE\xE2\xE0\xFF \xE8\xE3\xF0\xE0\r\n"                 // new game
        "\xC7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC\r\n"                  // load
        "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8\r\n"                  // options
        "\xC2\xFB\xF5\xEE\xE4\r\n";                                 // quit
    bool ok = write_file(game / "main" / "pak0.pak", pak) &&
              write_file(game / "rus" / "text+menu.txt", menu_rus);
    fs::create_directories(game / "bin");
    if (!ok) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", game.c_str());
        return 1;
    }
    return 0;
}
