// The LOD update jobs write a new archive from a source archive and a folder
// of ready header-first entry files: an entry with a ready file "%04d_%s.zl"
// takes that file's bytes and length, every other entry keeps its old data.
// The directory keeps its order and every field but the sizes and data
// offsets; the data follow the directory back to back in directory order.
#include "jobs/lod/lodjobs.hpp"

void updatelod_icons() {
    lodjobs::update_archive({"c:\\games\\ZUND7\\data\\icons1.lod", "c:\\games\\ZUND7\\data\\icons.lod",
                             "c:\\games\\zund7\\xfiles\\icons_ready\\", 4241});
}

void updatelod_events() {
    lodjobs::update_archive({"c:\\games\\ZUND7\\data\\events1.lod", "c:\\games\\ZUND7\\data\\events.lod",
                             "c:\\games\\zund7\\xfiles\\events_ready\\", 198});
}
