// mixsmk: builds the game's video archive, c:\games\zund7\Anims\Velor7.vid,
// from the original one on d:, which stays as it is.
//
// The archive is taken to hold 14 entries. Each member is taken from the file
// of its name in the video folder when one exists, else from the original
// archive. The members go to Anims\Velor7.tmp back to back in directory order;
// then the 620-byte table with the renumbered data offsets and the temporary
// file make up the new archive, and the temporary file is removed. Prepared
// videos and the temporary file are copied in chunks of 2,048,000 bytes.
#include "formats/bytes.hpp"
#include "formats/vid.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr size_t kEntries = 14;
constexpr size_t kChunk = 2048000;

// Copies `in` to its end: each read takes up to one chunk and writes what it
// got; the first read that gets less than a whole chunk ends the copy (it
// gets 0 bytes when the size is a multiple of the chunk). Returns the bytes
// copied.
uint64_t copy_chunks(FILE* in, FILE* out, std::vector<uint8_t>& buf, const std::string& in_path,
                     const std::string& out_path) {
    uint64_t total = 0;
    size_t rsz;
    do {
        rsz = io::read(in, buf.data(), buf.size());
        io::write(out, buf.data(), rsz, out_path);
        total += rsz;
    } while (rsz == buf.size());
    if (std::ferror(in)) io::damaged(in_path, "cannot be read");
    return total;
}

} // namespace

void mixsmk() {
    const std::string archive = "d:\\Anims\\Velor7.vid";
    const std::string temp = "c:\\games\\zund7\\Anims\\Velor7.tmp";
    const std::string target = "c:\\games\\zund7\\Anims\\Velor7.vid";

    FILE* in = io::open_or_die(archive.c_str(), "rb");
    uint64_t in_size = io::size_of(in);
    vid::Directory tab = vid::read_fixed(in, in_size, kEntries, archive);
    FILE* out = io::open_or_die(temp.c_str(), "wb");
    std::vector<uint8_t> buf(kChunk);

    uint64_t pos = 0; // position in the temporary file
    for (size_t k = 0; k < kEntries; ++k) {
        std::string name = vid::name(tab.entry(k));
        std::string path = "c:\\games\\zund7\\xfiles\\smk\\" + name;
        std::printf("%s\n", path.c_str());
        // A name that holds a path would take a file from another folder.
        if (!io::plain_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        uint64_t at = tab.buf.size() + pos; // the member's offset in the new archive
        if (at > UINT32_MAX)
            io::damaged(target, "the new archive would pass the 4 GiB that its directory can address");

        win::FindData fd;
        intptr_t ff = win::findfirst(path.c_str(), &fd);
        if (ff == -1) {
            vid::Member m = vid::member(tab, k, in_size, archive);
            std::fseek(in, long(m.offset), SEEK_SET);
            if (io::copy(in, out, m.size, temp) != m.size)
                io::damaged(archive, "member " + name + " cannot be read");
            pos += m.size;
        } else {
            FILE* in1 = win::fopen(path.c_str(), "rb");
            if (!in1) io::cant_create(path);
            pos += copy_chunks(in1, out, buf, path, temp);
            std::fclose(in1);
            win::findclose(ff);
        }
        bytes::put_u32(tab.entry(k) + vid::kOffsetField, uint32_t(at));
    }
    std::fclose(in);
    io::close(out, temp);

    // The table (the count word as read), then the members. The new archive
    // takes the place of the game's old one only once complete.
    FILE* members = io::open_or_die(temp.c_str(), "rb");
    io::Replacement rep(target, "wb");
    if (!rep.ok()) io::cant_open();
    rep.write(tab.buf.data(), tab.buf.size());
    copy_chunks(members, rep.file(), buf, temp, target);
    std::fclose(members);
    rep.commit();
    win::remove(temp.c_str());
}
