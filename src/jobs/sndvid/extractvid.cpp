// extractvid: writes every member of the zund7 video archive to a file of its
// own in the video folder, named by its member name: the bytes from its data
// offset up to the next member's, the last member's up to the end of the file.
#include "formats/vid.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>

void extractvid() {
    const std::string archive = "d:\\Anims\\Velor7.vid";
    FILE* in = io::open_or_die(archive.c_str(), "rb");
    uint64_t in_size = io::size_of(in);
    vid::Directory dir = vid::read_directory(in, in_size, archive);
    for (size_t i = 0; i < dir.count; ++i) {
        std::string name = vid::name(dir.entry(i));
        io::report_error(in);
        std::string path = "c:\\games\\zund7\\xfiles\\smk\\" + name;
        std::printf("%s\n", path.c_str());
        vid::Member m = vid::member(dir, i, in_size, archive);
        FILE* out = win::fopen(path.c_str(), "wb");
        if (!out) io::cant_create(path);
        std::fseek(in, long(m.offset), SEEK_SET);
        if (io::copy(in, out, m.size, path) != m.size)
            io::damaged(archive, "member " + name + " cannot be read");
        io::close(out, path);
    }
    std::fclose(in);
}
