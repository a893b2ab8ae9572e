// The PAK chain as a translator runs it: extract the members, translate
// one, patch the archive with the folder of replacements.
#include "support/jobtest.hpp"

namespace {

class PakChain : public JobTest {};

TEST_F(PakChain, ExtractTranslateAndPatch) {
    const std::string game = "c:\\games\\Brassjaw\\";
    struct Member {
        std::string name;
        Bytes data;
    };
    std::vector<Member> members = {{"text/menu.txt", to_bytes("New game\r\nQuit\r\n")},
                                   {"text/dialog.txt", to_bytes("Hello.\r\n")},
                                   {"sound/voice/hello.wav", pattern(5000, 1)},
                                   {"empty", {}}};
    Buf data, dir;
    for (const auto& m : members) {
        dir.field(m.name, 56).u32(uint32_t(12 + data.size())).u32(uint32_t(m.data.size()));
        data.raw(m.data);
    }
    Bytes original = Buf().raw("PACK").u32(uint32_t(12 + data.size())).u32(uint32_t(dir.size())).raw(data.b).raw(dir.b).b;
    put(game + "main\\pak0.pak", original);
    mkdirs(game + "xfiles\\pak");
    mkdirs(game + "bin");

    RunResult r = run("extractpak");
    ASSERT_EQ(r.exit_code, 0);
    ASSERT_EQ(r.lines().size(), members.size());

    // The extracted files as replacements give back the original archive.
    std::filesystem::copy(host(game + "xfiles\\pak"), host(game + "rus"));
    ASSERT_EQ(run("patchpak", game + "bin").exit_code, 0);
    EXPECT_EQ(get(game + "main\\pak0.pak"), original);

    // One translated member: only that member changes; the others move by
    // the difference in size and keep their bytes.
    std::filesystem::remove_all(host(game + "rus"));
    Bytes menu_rus = to_bytes("\xCD\xEE\xE2\xE0\xFF \xE8\xE3\xF0\xE0\r\n\xC2\xFB\xF5\xEE\xE4\r\n");
    put(game + "rus\\text+menu.txt", menu_rus);
    ASSERT_EQ(run("patchpak", game + "bin").exit_code, 0);
    Buf want_data, want_dir;
    for (const auto& m : members) {
        const Bytes& bytes = m.name == "text/menu.txt" ? menu_rus : m.data;
        want_dir.field(m.name, 56).u32(uint32_t(12 + want_data.size())).u32(uint32_t(bytes.size()));
        want_data.raw(bytes);
    }
    EXPECT_EQ(get(game + "main\\pak0.pak"),
              Buf().raw("PACK").u32(uint32_t(12 + want_data.size())).u32(uint32_t(want_dir.size()))
                  .raw(want_data.b).raw(want_dir.b).b);

    // Extracting the patched archive gives the translation back.
    ASSERT_EQ(run("extractpak").exit_code, 0);
    EXPECT_EQ(get(game + "xfiles\\pak\\text+menu.txt"), menu_rus);
    EXPECT_EQ(get(game + "xfiles\\pak\\sound+voice+hello.wav"), pattern(5000, 1));
}

} // namespace
