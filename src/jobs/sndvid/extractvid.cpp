// extractvid: writes every member of the zund7 video archive to a file of its
// own in the video folder, named by its member name: the bytes from its data
// offset up to the next member's, the last member's up to the end of the file.
//
// mixsmk takes every file of such a name as a prepared video: a file
// therefore appears under its name only once it is complete, and a run that
// fails part-way leaves the earlier file of that name as it was.
#include "formats/vid.hpp"
#include "platform/io.hpp"

#include <cstdint>
#include <cstdio>

namespace {

// A member name that names a file of its own in the video folder: not the
// folder itself or the one above it, and no path that leads elsewhere.
bool file_name(const std::string& name) {
    return io::plain_name(name) && !name.empty() && name != "." && name != "..";
}

} // namespace

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
        if (!file_name(name)) io::damaged(archive, "member name " + name + " is not a plain file name");
        vid::Member m = vid::member(dir, i, in_size, archive);
        io::Replacement out(path, "wb");
        if (!out.ok()) io::cant_create(path);
        std::fseek(in, long(m.offset), SEEK_SET);
        if (io::copy(in, out.file(), m.size, path) != m.size)
            io::damaged(archive, "member " + name + " cannot be read");
        out.commit();
    }
    std::fclose(in);
}
