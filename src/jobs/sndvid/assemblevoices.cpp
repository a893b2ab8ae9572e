// assemblevoices: gathers a complete set of translated voice files for the
// zund7 sounds "ZM1<nn><v>.wav" (nn from 01 to 47, v the variant character).
//
// Every such sound in the sound folder gets a file of its own name in the
// output folder, copied whole from the voice set's recording "<nn><v>.wav",
// else from its "<nn>a.wav", else from the game sound itself. An output file
// appears under its name only once it is complete: a run that fails part-way
// leaves the earlier file of that name as it was.
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

void assemblevoices() {
    const char* prefix = "ZM1";
    const char voice_set = '0';
    const std::string sounds = "c:\\games\\zund7\\xfiles\\sound";
    const std::string voices = io::format("c:\\games\\zund7\\xfiles\\voice2\\%c", voice_set);
    const std::string output = "c:\\games\\zund7\\xfiles\\sound_vr";

    for (int n = 1; n <= 47; ++n) {
        std::string pattern = sounds + "\\" + io::format("%s%02d?.wav", prefix, n);
        win::FindData fd;
        intptr_t ff = win::findfirst(pattern.c_str(), &fd);
        if (ff == -1) continue;
        do {
            const std::string& name = fd.name;
            // A name the pattern matches always has the variant before ".wav".
            char variant = name[name.size() - 5];
            std::string rec = io::format("%02d%c.wav", n, variant); // the file copied
            FILE* in = win::fopen((voices + "\\" + rec).c_str(), "rb");
            if (!in) {
                rec = io::format("%02da.wav", n);
                in = win::fopen((voices + "\\" + rec).c_str(), "rb");
            }
            if (!in) {
                std::printf("Can't open %s\n", rec.c_str());
                rec = name;
                in = win::fopen((sounds + "\\" + name).c_str(), "rb");
                if (!in) {
                    std::printf("Can't open %s\n", name.c_str());
                    std::exit(1);
                }
            }
            uint64_t size = io::size_of(in);
            const std::string out_path = output + "\\" + name;
            io::Replacement out(out_path, "wb");
            if (!out.ok()) {
                // Without its output the set would be incomplete: stop here.
                std::printf("Can't create %s\n", name.c_str());
                std::exit(1);
            }
            if (io::copy(in, out.file(), size, out_path) != size) io::damaged(rec, "cannot be read");
            std::fclose(in);
            out.commit();
        } while (win::findnext(ff, &fd) == 0);
        win::findclose(ff);
    }
}
