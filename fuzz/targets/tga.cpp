// A TGA image that comes back from an image editor, imported by readtgas
// into its ".pl" file and raw pixel rows, on a scratch prefix beside an icons
// archive whose entry 0 gives the old entry header.
#include "formats/lod.hpp"
#include "support.hpp"

void readtgas();

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string lod(lod::block_size(1) + lod::kHeaderSize, '\0');
    bytes::put_u32(reinterpret_cast<uint8_t*>(lod.data()) + lod::kCountField, 1);
    lod.replace(lod::kHeadSize, 6, "icon_a");
    bytes::put_u32(reinterpret_cast<uint8_t*>(lod.data()) + lod::kHeadSize + lod::kDataOffsetField, lod::kEntrySize);
    bytes::put_u32(reinterpret_cast<uint8_t*>(lod.data()) + lod::kHeadSize + lod::kSizeField, lod::kHeaderSize);
    fuzz::put("c:\\games\\zund7\\data\\icons1.lod", lod);
    fuzz::put("c:\\games\\zund7\\xfiles\\readytga\\pack\\0000_icon_a", "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::put("c:\\games\\zund7\\xfiles\\readytga\\0000_icon_a.tga", fuzz::text(data, size));
    fuzz::until_exit(readtgas);
    return 0;
}
