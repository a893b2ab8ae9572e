// extractpak: writes every member of the second game's main archive to a file
// of its own, named by its flat member name, in one flat folder. These are
// the names under which patchpak looks for translated members.
#include "formats/bytes.hpp"
#include "formats/pak.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>

void extractpak() {
    const std::string archive = "c:\\games\\Brassjaw\\main\\pak0.pak";
    FILE* in = io::open_or_die(archive.c_str(), "rb");
    uint64_t in_size = io::size_of(in);
    pak::Directory dir = pak::read_directory(in, in_size, archive);
    for (size_t i = 0; i < dir.count(); ++i) {
        const uint8_t* e = dir.entry(i);
        std::string name = pak::flat_name(e);
        std::string path = "c:\\games\\Brassjaw\\xfiles\\pak\\" + name;
        uint32_t offset = bytes::get_u32(e + pak::kOffsetField);
        uint32_t length = bytes::get_u32(e + pak::kLengthField);
        std::printf("%s\n", path.c_str());
        if (!io::plain_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        if (uint64_t(offset) + length > in_size)
            io::damaged(archive, "member " + name + " lies past the end of the archive");
        FILE* out = win::fopen(path.c_str(), "wb");
        if (!out) io::cant_create(path);
        std::fseek(in, long(offset), SEEK_SET);
        if (io::copy(in, out, length, path) != length)
            io::damaged(archive, "member " + name + " cannot be read");
        io::close(out, path);
    }
    std::fclose(in);
}
