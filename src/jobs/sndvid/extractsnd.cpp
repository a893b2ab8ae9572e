// extractsnd: writes every member of the zund7 sound archive to an entry file
// of its own, "<name>.wav.zl" in the ready-sound folder, holding exactly the
// member's stored bytes.
//
// updatesnd takes every file of such a name as a prepared member: an entry
// file therefore appears under its name only once it is complete, and a run
// that fails part-way leaves the earlier file of that name as it was.
#include "formats/bytes.hpp"
#include "formats/snd.hpp"
#include "platform/io.hpp"

#include <cstdint>
#include <cstdio>

void extractsnd() {
    const std::string archive = "c:\\games\\zund7\\sounds\\Audio1.snd";
    FILE* in = io::open_or_die(archive.c_str(), "rb");
    uint64_t in_size = io::size_of(in);
    snd::Directory dir = snd::read_directory(in, in_size, archive);
    for (size_t i = 0; i < dir.count; ++i) {
        const uint8_t* e = dir.entry(i);
        std::string name = snd::name(e);
        io::report_error(in);
        std::string path = "c:\\games\\zund7\\xfiles\\sound_ready\\" + name + ".wav.zl";
        std::printf("%s\n", path.c_str());
        if (!io::plain_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        snd::check_member(e, in_size, archive);
        io::Replacement out(path, "wb");
        if (!out.ok()) io::cant_create(path);
        uint32_t offset = bytes::get_u32(e + snd::kOffsetField);
        uint32_t stored = bytes::get_u32(e + snd::kStoredField);
        std::fseek(in, long(offset), SEEK_SET);
        if (io::copy(in, out.file(), stored, path) != stored)
            io::damaged(archive, "member " + name + " cannot be read");
        out.commit();
    }
    std::fclose(in);
}
