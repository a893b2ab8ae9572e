// patchpak and extractpak on damaged archives and full disks.
#include "support/hardening.hpp"

namespace {

// Three members, one of them with a translated replacement, the directory
// after the data.
Bytes sample_pak() {
    Buf b;
    b.raw("PACK").u32(12 + 300).u32(3 * 64);
    b.raw(pattern(100, 1)).raw(pattern(150, 2)).raw(pattern(50, 3));
    b.field("text/menu.txt", 56).u32(12).u32(100);
    b.field("sound/a.wav", 56).u32(112).u32(150);
    b.field("b", 56).u32(262).u32(50);
    return b.b;
}

// Structure boundaries and 32-bit fields of sample_pak().
const std::vector<size_t> kBoundaries = {4, 8, 12, 112, 262, 312, 376, 440, 504};
const std::vector<size_t> kFields = {4, 8, 312 + 56, 312 + 60, 376 + 56, 376 + 60, 440 + 56, 440 + 60};

std::vector<Scenario> pak_scenarios() {
    const std::string game = "c:\\games\\Skyforge\\";
    const std::string brassjaw = "c:\\games\\Brassjaw\\";
    return {
        {"patchpak", "patchpak", game + "bin",
         [=](JobTest& t) {
             t.put(game + "main\\pak0.pak", sample_pak());
             t.put(game + "rus\\sound+a.wav", pattern(77, 9));
             t.mkdirs(game + "bin");
         },
         {{game + "main\\pak0.pak", kBoundaries, kFields}}},
        {"extractpak", "extractpak", "c:\\",
         [=](JobTest& t) {
             t.put(brassjaw + "main\\pak0.pak", sample_pak());
             t.mkdirs(brassjaw + "xfiles\\pak");
         },
         {{brassjaw + "main\\pak0.pak", kBoundaries, kFields}}},
    };
}

INSTANTIATE_TEST_SUITE_P(Pak, Damage, ::testing::ValuesIn(pak_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Pak, FullDisk, ::testing::ValuesIn(pak_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(Pak, BlockedOutput, ::testing::ValuesIn(pak_scenarios()), scenario_name);

} // namespace
