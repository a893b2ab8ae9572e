// patchpak: rebuilds the second game's main archive with translated members.
//
// Run from a folder beside "main" and "rus" (the game's own folder layout):
// every member of main\pak0.pak is copied into main\pak1.pak, taken from the
// file of its flat member name in rus\ where one exists; the new directory is
// appended, and the new archive takes the old one's place.
#include "formats/bytes.hpp"
#include "formats/pak.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

void patchpak() {
    std::printf("Skyforge rusification plugin started...\nplease wait...\n");
    // Without its archive folder the job has nothing to work on (and must not
    // take a pak0.pak from whatever folder it was started in).
    if (win::chdir("..\\main") != 0) io::cant_open();
    FILE* in = io::open_or_die("pak0.pak", "rb");
    // The old directory is read before anything is created, so that a damaged
    // archive leaves no half-made new one behind.
    uint64_t in_size = io::size_of(in);
    pak::Directory dir = pak::read_directory(in, in_size, "pak0.pak");
    // The new archive is to take pak0.pak's place: when nothing can be
    // written there (a read-only archive), say so now, not after the copy.
    if (!win::can_take_file("pak0.pak")) io::cant_open();
    FILE* out = io::open_or_die("pak1.pak", "wb");
    const std::string out_path = "pak1.pak";
    // Without a replacement folder every member keeps its old data; the
    // archive folder is never searched for replacements.
    const bool have_replacements = win::chdir("..\\rus") == 0;

    // The fixed header; its directory fields are set to the real ones once the
    // members are written (for the game's own archive the bytes are the same).
    uint8_t header[pak::kHeaderSize] = {'P', 'A', 'C', 'K', 0x0B, 0xCC, 0xC9, 0x06, 0x00, 0x72, 0x00, 0x00};
    io::write(out, header, sizeof header, out_path);

    // Members kept from the old archive that lie back to back there are
    // copied in one go: the bytes are the same, the copy far quicker.
    struct Run {
        uint64_t from = 0, length = 0;
        std::vector<std::pair<std::string, uint64_t>> members; // name, length
    } run;
    auto copy_run = [&] {
        if (run.length == 0) return;
        std::fseek(in, long(run.from), SEEK_SET);
        uint64_t got = io::copy(in, out, run.length, out_path);
        for (const auto& [name, length] : run.members) {
            if (got < length) io::damaged("pak0.pak", "member " + name + " cannot be read");
            got -= length;
        }
        run = Run{};
    };

    uint64_t pos = sizeof header;
    for (size_t i = 0; i < dir.count(); ++i) {
        uint8_t* e = dir.entry(i);
        std::string name = pak::flat_name(e);
        uint32_t old_offset = bytes::get_u32(e + pak::kOffsetField);
        uint32_t old_length = bytes::get_u32(e + pak::kLengthField);
        uint64_t length = old_length;
        FILE* rep = have_replacements ? win::fopen(name.c_str(), "rb") : nullptr;
        if (rep) {
            copy_run();
            length = io::size_of(rep);
            if (pos > UINT32_MAX || length > UINT32_MAX)
                io::damaged(out_path, "the new archive would pass the 4 GiB that its directory can address");
            uint64_t got = io::copy(rep, out, length, out_path);
            io::write_zeros(out, length - got, out_path); // a file that shrank meanwhile
            std::fclose(rep);
        } else {
            if (uint64_t(old_offset) + old_length > in_size)
                io::damaged("pak0.pak", "member " + name + " lies past the end of the archive");
            if (pos > UINT32_MAX)
                io::damaged(out_path, "the new archive would pass the 4 GiB that its directory can address");
            if (run.from + run.length != old_offset) copy_run();
            if (run.length == 0) run.from = old_offset;
            run.length += length;
            run.members.emplace_back(name, length);
        }
        bytes::put_u32(e + pak::kOffsetField, uint32_t(pos));
        bytes::put_u32(e + pak::kLengthField, uint32_t(length));
        pos += length;
    }
    copy_run();
    std::printf("ok!\n");

    size_t dir_length = dir.count() * pak::kEntrySize;
    if (pos + dir_length > UINT32_MAX)
        io::damaged(out_path, "the new archive would pass the 4 GiB that its directory can address");
    io::write(out, dir.buf.data(), dir_length, out_path);
    bytes::put_u32(header + 4, uint32_t(pos));
    bytes::put_u32(header + 8, uint32_t(dir_length));
    std::fseek(out, 4, SEEK_SET);
    io::write(out, header + 4, 8, out_path);
    std::fclose(in);
    io::close(out, out_path);

    // Only a complete new archive replaces the old one, in one step: at every
    // instant pak0.pak is the whole old archive or the whole new one.
    if (win::replace("..\\main\\pak1.pak", "..\\main\\pak0.pak") != 0) io::cant_replace("..\\main\\pak0.pak");
}
