// The header-last converters turn header-first entry files (entry header,
// payload, palette) into header-last ones, whose packed payload starts at
// byte 0 for the unpacking tools:
//
// headlast_strs    the ".str" entry files of the icons folder, into strs\;
// headlast_icons1  every entry file of icons1\, each replaced in place;
// headlast_menu    the menu images of menu\, replaced in place as payload,
//                  palette, header, with each palette also written to an
//                  ".act" file of its own.
//
// The layouts carry no mark: a file already header-last is converted again.
#include "formats/bytes.hpp"
#include "formats/lod.hpp"
#include "jobs/lod/lodjobs.hpp"
#include "platform/io.hpp"
#include "platform/win.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

void headlast_strs() {
    lodjobs::convert_headlast("c:\\games\\zundfiles\\icons\\", "*.str.zl", "c:\\games\\zundfiles\\strs\\");
}

void headlast_icons1() {
    lodjobs::convert_headlast("c:\\games\\zundfiles\\icons1\\", "*.zl", "c:\\games\\zundfiles\\icons1\\");
}

void headlast_menu() {
    const std::string menu = "c:\\games\\zundfiles\\menu\\";
    lodjobs::walk_or_exit5(menu + "*.zl", [&](const win::FindData& n) {
        std::string path = menu + n.name;
        FILE* in = io::open_or_die(path.c_str(), "rb");
        std::vector<uint8_t> data = io::read_all(in);
        std::fclose(in);
        if (data.size() < lod::kHeaderSize) io::damaged(path, "shorter than its 48-byte entry header");
        // The header's stored size tells where the palette begins; a file
        // whose palette comes short stops the job and stays as it was.
        uint64_t stored = lod::field32(data, lod::kStoredSizeField);
        if (lod::kHeaderSize + stored + lod::kPaletteSize > data.size()) lodjobs::exit5();
        const uint8_t* header = data.data();
        const uint8_t* payload = header + lod::kHeaderSize;
        const uint8_t* palette = payload + stored;

        io::Replacement out(path, "wb");
        if (!out.ok()) io::cant_open();
        out.write(payload, size_t(stored));
        out.write(palette, lod::kPaletteSize); // bytes after the palette are dropped
        out.write(header, lod::kHeaderSize);
        out.commit();

        std::string palette_path = path.substr(0, path.size() - 3) + ".act";
        FILE* act = io::open_or_die(palette_path.c_str(), "wb");
        io::write(act, palette, lod::kPaletteSize, palette_path);
        io::close(act, palette_path);
    });
}
