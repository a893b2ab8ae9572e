// Lists a PAK archive's directory, or prints one member's bytes.
//
//   paklist <archive>            one line per member: offset, length, name
//   paklist <archive> <member>   the member's bytes on standard output
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

uint32_t u32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: paklist <archive> [member]\n");
        return 2;
    }
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::fprintf(stderr, "paklist: cannot open %s\n", argv[1]);
        return 1;
    }
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    unsigned char head[12];
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(head, 1, 12, f) != 12 || u32(head + 4) + uint64_t(u32(head + 8)) > uint64_t(size)) {
        std::fprintf(stderr, "paklist: %s is no PAK archive\n", argv[1]);
        return 1;
    }
    std::vector<unsigned char> dir(u32(head + 8));
    std::fseek(f, long(u32(head + 4)), SEEK_SET);
    if (std::fread(dir.data(), 1, dir.size(), f) != dir.size()) return 1;
    if (argc == 2) std::printf("%10s %10s  %s\n", "offset", "length", "name");
    for (size_t i = 0; i + 64 <= dir.size(); i += 64) {
        std::string name(reinterpret_cast<const char*>(&dir[i]), strnlen(reinterpret_cast<const char*>(&dir[i]), 56));
        uint32_t off = u32(&dir[i + 56]), len = u32(&dir[i + 60]);
        if (argc == 2) {
            std::printf("%10u %10u  %s\n", off, len, name.c_str());
        } else if (name == argv[2]) {
            if (off + uint64_t(len) > uint64_t(size)) return 1;
            std::vector<char> buf(len);
            std::fseek(f, long(off), SEEK_SET);
            size_t got = std::fread(buf.data(), 1, len, f);
            std::fwrite(buf.data(), 1, got, stdout);
            return 0;
        }
    }
    if (argc == 3) {
        std::fprintf(stderr, "paklist: no member %s\n", argv[2]);
        return 1;
    }
    return 0;
}
