// placevoices: puts the numbered recordings of voice set 4 of the second game
// (voice\4\000.wav to 143.wav) under the sound file names that the list file
// s4.txt gives, one line per recording: a leading character that is skipped,
// then the path below the sound folder. The folders along each path are
// created; each recording is copied whole. A sound file appears under its
// name only once it is complete: a run that fails part-way leaves the
// earlier file of that name as it was.
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

void placevoices() {
    const std::string list = "c:\\games\\Brassjaw\\xfiles\\s4.txt";
    const std::string voices = "c:\\games\\Brassjaw\\xfiles\\voice\\4";
    const std::string root = "c:\\games\\Brassjaw\\xfiles\\sound";
    const int kLines = 144;

    // The whole list is read and checked first: a list that cannot say where
    // every recording goes places none of them.
    FILE* lst = io::open_or_die(list.c_str(), "rt");
    std::vector<std::string> paths; // below the sound folder, one per line
    std::vector<char> line(1024);
    std::string fault;
    for (int i = 0; i < kLines && fault.empty(); ++i) {
        if (!std::fgets(line.data(), int(line.size()), lst)) {
            fault = io::format("the list ends before line %d of %d", i + 1, kLines);
            break;
        }
        size_t len = std::strlen(line.data());
        if (len > 0 && line[len - 1] == '\n') line[--len] = '\0';
        // The path starts after the leading character: a shorter line has none.
        if (len < 2) fault = io::format("line %d names no file", i + 1);
        else paths.emplace_back(line.data() + 1);
    }
    std::fclose(lst);
    if (!fault.empty()) io::damaged(list, fault);

    for (int i = 0; i < kLines; ++i) {
        std::string rec = voices + "\\" + io::format("%03d.wav", i);
        FILE* in = io::open_or_die(rec.c_str(), "rb");
        // Each folder along the path is made (an existing one is fine) and the
        // file created in the last; a folder that could not be made leaves the
        // file uncreatable rather than put somewhere else.
        std::string path = root;
        const char* p = paths[size_t(i)].c_str();
        while (const char* bs = std::strchr(p, '\\')) {
            path.append(1, '\\').append(p, bs);
            win::mkdir(path.c_str());
            p = bs + 1;
        }
        path.append(1, '\\').append(p);
        io::Replacement out(path, "wb");
        if (!out.ok()) io::cant_open();
        uint64_t size = io::size_of(in);
        if (io::copy(in, out.file(), size, path) != size) io::damaged(rec, "cannot be read");
        std::fclose(in);
        out.commit();
    }
}
