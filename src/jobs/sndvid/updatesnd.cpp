// updatesnd: builds a new zund7 sound archive, Sounds\Audio.snd, from the old
// one, Sounds\Audio1.snd, which stays as it is.
//
// Each member is taken from "<name>.wav.zl" in the ready-sound folder when
// that file exists (its size becomes the stored size, and the size of the
// "<name>.wav" beside it the unpacked size), else from the old archive. The
// members go to Sounds\temp.snd back to back in directory order; then the
// directory with the renumbered data offsets and the temporary file make up
// the new archive, and the temporary file is removed.
#include "formats/bytes.hpp"
#include "formats/snd.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

const char* const kTooLarge = "the new archive would pass the 4 GiB that its directory can address";

} // namespace

void updatesnd() {
    const std::string archive = "C:\\games\\zund7\\Sounds\\Audio1.snd";
    const std::string temp = "c:\\games\\zund7\\Sounds\\temp.snd";
    const std::string temp_again = "C:\\games\\zund7\\Sounds\\temp.snd";
    const std::string target = "c:\\games\\zund7\\Sounds\\Audio.snd";

    FILE* in = io::open_or_die(archive.c_str(), "rb");
    uint64_t in_size = io::size_of(in);
    snd::Directory dir = snd::read_directory(in, in_size, archive);
    FILE* out = io::open_or_die(temp.c_str(), "wb");

    const std::string ready = "c:\\games\\zund7\\xfiles\\sound_ready\\";
    uint64_t pos = 0; // position in the temporary file
    for (size_t i = 0; i < dir.count; ++i) {
        uint8_t* e = dir.entry(i);
        std::string name = snd::name(e);
        std::string zl = ready + name + ".wav.zl";
        std::printf("%s\n", zl.c_str());
        // A name that holds a path would take a file from another folder.
        if (!io::plain_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        uint64_t at = dir.buf.size() + pos; // the member's offset in the new archive
        if (at > UINT32_MAX) io::damaged(target, kTooLarge);

        win::FindData fd;
        intptr_t ff = win::findfirst(zl.c_str(), &fd); // is there a ready file?
        if (ff == -1) {
            snd::check_member(e, in_size, archive);
            uint32_t stored = bytes::get_u32(e + snd::kStoredField);
            std::fseek(in, long(bytes::get_u32(e + snd::kOffsetField)), SEEK_SET);
            if (io::copy(in, out, stored, temp) != stored)
                io::damaged(archive, "member " + name + " cannot be read");
            pos += stored;
        } else {
            std::string wav = zl.substr(0, zl.size() - 3);
            FILE* w = win::fopen(wav.c_str(), "rb");
            if (!w) io::cant_create(wav);
            uint64_t unpacked = io::size_of(w);
            std::fclose(w);
            FILE* z = win::fopen(zl.c_str(), "rb");
            if (!z) io::cant_create(zl);
            uint64_t stored = io::size_of(z);
            if (unpacked > UINT32_MAX || stored > UINT32_MAX) io::damaged(target, kTooLarge);
            if (io::copy(z, out, stored, temp) != stored) io::damaged(zl, "cannot be read");
            std::fclose(z);
            win::findclose(ff);
            bytes::put_u32(e + snd::kStoredField, uint32_t(stored));
            bytes::put_u32(e + snd::kUnpackedField, uint32_t(unpacked));
            pos += stored;
        }
        bytes::put_u32(e + snd::kOffsetField, uint32_t(at));
    }
    std::fclose(in);
    io::close(out, temp);

    // The directory, then the members as the temporary file holds them. The
    // new archive takes the place of an older "Audio.snd" only once complete.
    FILE* members = io::open_or_die(temp_again.c_str(), "rb");
    io::Replacement rep(target, "wb");
    if (!rep.ok()) io::cant_open();
    rep.write(dir.buf.data(), dir.buf.size());
    uint64_t size = io::size_of(members);
    if (io::copy(members, rep.file(), size, target) != size) io::damaged(temp, "cannot be read");
    std::fclose(members);
    rep.commit();
    win::remove(temp_again.c_str());
}
